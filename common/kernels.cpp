#include "kernels.h"

#include <cstring>

namespace {

constexpr double kPi2 = 9.869604401089358;       // pi^2
constexpr double kTwoPi2 = 19.739208802178716;   // 2 pi^2
constexpr double kChesler0 = 0.07433940817883111;   // 1/8 - 1/(2 pi^2)
constexpr double kChesler1 = 0.011839408178831112;  // 1/16 - 1/(2 pi^2)

bool IsOdd(long long n) { return n % 2 != 0; }

}  // namespace

Real Ramachandran(long long n) {
    if (n == 0) return 0.25;
    if (IsOdd(n)) {
        Real x = static_cast<Real>(n);
        return -1 / ((kPi2 * x) * x);
    }
    return 0;
}

Real Shepp(long long n) {
    Real x = static_cast<Real>(n);
    return 2 / ((1 - (4 * x) * x) * kPi2);
}

Real Chesler(long long n) {
    if (n == 0) return kChesler0;
    if (n == 1 || n == -1) return kChesler1;
    Real x = static_cast<Real>(n);
    if (IsOdd(n)) return -1 / ((kTwoPi2 * x) * x);
    double s = x * x;
    Real sm1 = static_cast<Real>(s) - 1;
    return -(static_cast<Real>(s) + 1) / (sm1 * (kTwoPi2 * sm1));
}

bool KernelByName(const char *name, Kernel *kernel) {
    if (std::strcmp(name, "chesler") == 0) {
        *kernel = Kernel::kChesler;
    } else if (std::strcmp(name, "shepp") == 0) {
        *kernel = Kernel::kShepp;
    } else if (std::strcmp(name, "ramachandran") == 0) {
        *kernel = Kernel::kRamachandran;
    } else {
        return false;
    }
    return true;
}

Status KernelArgument(const char *text, Kernel *kernel) {
    if (!KernelByName(text, kernel)) return Failure("unknown kernel (chesler, shepp or ramachandran).");
    return Success();
}

double KernelValue(Kernel kernel, long long n) {
    switch (kernel) {
        case Kernel::kShepp:
            return static_cast<double>(Shepp(n));
        case Kernel::kRamachandran:
            return static_cast<double>(Ramachandran(n));
        case Kernel::kChesler:
            break;
    }
    return static_cast<double>(Chesler(n));
}
