#include "vectors.h"

#include <cmath>
#include <vector>

#include "threads.h"

namespace {

// The sum of terms(i) over every index, in fixed pieces added in order.
template <typename Term>
double SumOf(std::size_t count, Term &&term) {
    long long pieces = VectorPieces(count);
    std::vector<double> partial(static_cast<std::size_t>(pieces), 0.0);
#pragma omp parallel for schedule(static) num_threads(ThreadsFor(pieces))
    for (long long p = 0; p < pieces; ++p) {
        std::size_t first = static_cast<std::size_t>(p) * kVectorPiece;
        std::size_t last = first + kVectorPiece < count ? first + kVectorPiece : count;
        double sum = 0;
        for (std::size_t i = first; i < last; ++i) sum += term(i);
        partial[static_cast<std::size_t>(p)] = sum;
    }
    double sum = 0;
    for (double s : partial) sum += s;
    return sum;
}

}  // namespace

double Dot(const double *a, const double *b, std::size_t count) {
    return SumOf(count, [&](std::size_t i) { return a[i] * b[i]; });
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

double SumOfMagnitudes(const double *x, std::size_t count) {
    return SumOf(count, [&](std::size_t i) { return std::fabs(x[i]); });
}

double SquaredDistance(const double *a, const double *b, std::size_t count) {
    return SumOf(count, [&](std::size_t i) { return (a[i] - b[i]) * (a[i] - b[i]); });
}
