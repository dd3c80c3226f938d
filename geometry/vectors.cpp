#include "vectors.h"

#include <vector>

#include "threads.h"

namespace {

// Samples a thread takes at a time, and the pieces a sum is cut into.
constexpr std::size_t kPiece = 1 << 14;

long long Pieces(std::size_t count) { return static_cast<long long>((count + kPiece - 1) / kPiece); }

}  // namespace

double Dot(const double *a, const double *b, std::size_t count) {
    long long pieces = Pieces(count);
    std::vector<double> partial(static_cast<std::size_t>(pieces), 0.0);
#pragma omp parallel for schedule(static) num_threads(ThreadsFor(pieces))
    for (long long p = 0; p < pieces; ++p) {
        std::size_t first = static_cast<std::size_t>(p) * kPiece;
        std::size_t last = first + kPiece < count ? first + kPiece : count;
        double sum = 0;
        for (std::size_t i = first; i < last; ++i) sum += a[i] * b[i];
        partial[static_cast<std::size_t>(p)] = sum;
    }
    double sum = 0;
    for (double s : partial) sum += s;
    return sum;
}

// Applies `step` to every index, the pieces shared among threads.
template <typename Step>
void ForEach(std::size_t count, Step &&step) {
    long long pieces = Pieces(count);
#pragma omp parallel for schedule(static) num_threads(ThreadsFor(pieces))
    for (long long p = 0; p < pieces; ++p) {
        std::size_t first = static_cast<std::size_t>(p) * kPiece;
        std::size_t last = first + kPiece < count ? first + kPiece : count;
        for (std::size_t i = first; i < last; ++i) step(i);
    }
}

void AddScaled(double *y, double scale, const double *x, std::size_t count) {
    ForEach(count, [&](std::size_t i) { y[i] += scale * x[i]; });
}

void ScaleAndAdd(double *y, double scale, const double *x, std::size_t count) {
    ForEach(count, [&](std::size_t i) { y[i] = x[i] + scale * y[i]; });
}

void Difference(const double *a, const double *b, double *out, std::size_t count) {
    ForEach(count, [&](std::size_t i) { out[i] = a[i] - b[i]; });
}

void InvertPositive(double *x, std::size_t count) {
    ForEach(count, [&](std::size_t i) { x[i] = x[i] > 0 ? 1 / x[i] : 0; });
}

void Multiply(double *x, const double *w, std::size_t count) {
    ForEach(count, [&](std::size_t i) { x[i] *= w[i]; });
}

void ClampNegative(double *x, std::size_t count) {
    ForEach(count, [&](std::size_t i) {
        if (x[i] < 0) x[i] = 0;
    });
}

void Fill(double *x, double value, std::size_t count) {
    ForEach(count, [&](std::size_t i) { x[i] = value; });
}
