#include "rings.h"

#include <cstddef>
#include <cstring>
#include <string>

#include "args.h"
#include "checks.h"

namespace {

// The angular harmonics fft takes as stripes: a Gaussian of one harmonic
// (weights 1, 0.61 and 0.14 for harmonics 0, 1 and 2), enough for a gain
// that follows the object's slow changes, and little of the object.
constexpr double kSigma = 1.0;

}  // namespace

Status MethodArgument(const char *text, StripeMethod *method) {
    if (std::strcmp(text, "auto") == 0) *method = StripeMethod::kAuto;
    else if (std::strcmp(text, "detect") == 0) *method = StripeMethod::kDetect;
    else if (std::strcmp(text, "sort") == 0) *method = StripeMethod::kSort;
    else if (std::strcmp(text, "fft") == 0) *method = StripeMethod::kFft;
    else return Failure("unknown method (auto, detect, sort or fft).");
    return Success();
}

int DefaultSize(StripeMethod method) {
    if (method == StripeMethod::kAuto) return 11;
    return method == StripeMethod::kDetect ? 7 : 5;
}

Status SizeArgument(const char *text, int *size) {
    Status read = StrictInt(text, "bad size.", size);
    if (!read.ok()) return read;
    if (*size < 3 || *size > kLargestSize || *size % 2 == 0) return Failure("bad size.");
    return Success();
}

Status SizeFitsDetector(StripeMethod method, int size, int columns) {
    if (size <= columns || size <= DefaultSize(method)) return Success();
    return Failure("bad size: " + std::to_string(size) + " is wider than the detector (" + std::to_string(columns) +
                   " columns).");
}

bool AllocateRingsWork(StripeMethod method, int columns, int rows, int size, int threads, RingsWork *work) {
    *work = RingsWork{};
    work->method = method;
    switch (method) {
        case StripeMethod::kSort: return AllocateSortWork(columns, rows, size, threads, &work->sort);
        case StripeMethod::kFft: return AllocateFourierWork(columns, rows, size, kSigma, threads, &work->fourier);
        case StripeMethod::kDetect: return AllocateStripeWork(columns, rows, size / 2, threads, &work->stripes);
        case StripeMethod::kAuto: return AllocateAutoWork(columns, rows, threads, &work->automatic);
    }
    return false;
}

int RemoveStripes(double *samples, int size, RingsWork *work) {
    switch (work->method) {
        case StripeMethod::kSort: SortFilter(samples, size, &work->sort); return 0;
        case StripeMethod::kFft: FourierFilter(samples, size, &work->fourier); return 0;
        case StripeMethod::kDetect: {
            int found = FindStripeColumns(samples, size / 2, &work->stripes);
            CorrectStripeColumns(samples, &work->stripes);
            return found;
        }
        case StripeMethod::kAuto: {
            AutoWork &automatic = work->automatic;
            FindAutoStripes(samples, size, &automatic);
            KeepConcentric(samples, &automatic);
            MendAutoStripes(samples, &automatic);
            FindPartialStripes(samples, size, &automatic);
            MendPartialStripes(samples, size, &automatic);
            MendLeftOver(samples, &automatic);
            if (FindStepStripes(samples, size, &automatic) > 0) MendStepStripes(samples, size, &automatic);
            MendConcentric(samples, &automatic);
            int found = 0;
            for (int j = 0; j < automatic.columns; ++j)
                found += automatic.stripes[j] || automatic.partial[j] || automatic.steps[j];
            return found;
        }
    }
    return 0;
}

Status RemoveRings(double *samples, int columns, int rows, StripeMethod method, int size, int threads, int *found) {
    RingsWork work;
    if (!AllocateRingsWork(method, columns, rows, size, threads, &work)) return Failure("memory allocation error.");
    int count = RemoveStripes(samples, size, &work);
    if (found != nullptr) *found = count;
    if (!AllFinite(samples, static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows)))
        return Failure("result out of range.");
    return Success();
}
