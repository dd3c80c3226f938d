#include "portable_math.h"

#include <cmath>
#include <limits>

namespace {

// ln 2 split so that k ln2_hi is exact for |k| < 2^20: its low bits are zero.
constexpr double kLn2Hi = 6.93147180369123816490e-01;
constexpr double kLn2Lo = 1.90821492927058770002e-10;
constexpr double kInverseLn2 = 1.44269504088896338700e+00;
constexpr double kSqrtHalf = 0.70710678118654752440;

}  // namespace

double PortableExp(double x) {
    if (x > 709.78) return std::numeric_limits<double>::infinity();
    if (x < -745.2) return 0;
    // x = k ln 2 + r, |r| <= ln 2 / 2 (a little more from rounding), and
    // e^r from its Taylor series: the 14th term is below 4e-18.
    double k = std::floor(x * kInverseLn2 + 0.5);
    double r = (x - k * kLn2Hi) - k * kLn2Lo;
    double p = 1;
    for (int n = 14; n >= 2; --n) p = 1 + r * p / n;
    return std::ldexp(1 + r * p, static_cast<int>(k));
}

double PortableLog(double x) {
    // x = m 2^e with m in [sqrt(1/2), sqrt(2)); ln m = ln(1 + f) from the
    // series of 2 atanh(s), s = f / (2 + f), |s| < 0.172:
    // ln(1 + f) = f - f^2/2 + s (f^2/2 + R), R = sum 2 s^(2j) / (2j + 1),
    // twelve terms, the last below 1e-18 of the result.
    int e = 0;
    double m = std::frexp(x, &e);
    if (m < kSqrtHalf) {
        m *= 2;
        --e;
    }
    double f = m - 1;
    double s = f / (2 + f);
    double z = s * s;
    double r = 0;
    for (int j = 12; j >= 1; --j) r = (r + 2.0 / (2 * j + 1)) * z;
    double half_square = 0.5 * f * f;
    double k = e;
    return k * kLn2Hi - ((half_square - (s * (half_square + r) + k * kLn2Lo)) - f);
}
