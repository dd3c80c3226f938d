// Arithmetic on long vectors (images, sinograms) shared among threads.
// Sums are taken over fixed pieces and the pieces added in order, so every
// result is the same for any number of threads.
#pragma once

#include <cstddef>

#include "threads.h"

// Elements a thread takes at a time, and the pieces a sum is cut into.
inline constexpr std::size_t kVectorPiece = 1 << 14;

inline long long VectorPieces(std::size_t count) {
    return static_cast<long long>((count + kVectorPiece - 1) / kVectorPiece);
}

// Applies `step` to every index, the pieces shared among threads: for
// steps whose elements do not depend on one another.
template <typename Step>
void ForEach(std::size_t count, Step &&step) {
    long long pieces = VectorPieces(count);
#pragma omp parallel for schedule(static) num_threads(ThreadsFor(pieces))
    for (long long p = 0; p < pieces; ++p) {
        std::size_t first = static_cast<std::size_t>(p) * kVectorPiece;
        std::size_t last = first + kVectorPiece < count ? first + kVectorPiece : count;
        for (std::size_t i = first; i < last; ++i) step(i);
    }
}

// The sum of a[i] b[i].
double Dot(const double *a, const double *b, std::size_t count);

// The sum of |x[i]|, and that of (a[i] - b[i])^2.
double SumOfMagnitudes(const double *x, std::size_t count);
double SquaredDistance(const double *a, const double *b, std::size_t count);

// y[i] += scale x[i].
void AddScaled(double *y, double scale, const double *x, std::size_t count);

// y[i] = x[i] + scale y[i].
void ScaleAndAdd(double *y, double scale, const double *x, std::size_t count);

// out[i] = a[i] - b[i].
void Difference(const double *a, const double *b, double *out, std::size_t count);

// x[i] = 1 / x[i] where x[i] > 0, else 0: the weights of a row or column
// sum, rays and pixels that meet nothing weighing nothing.
void InvertPositive(double *x, std::size_t count);

// x[i] *= w[i].
void Multiply(double *x, const double *w, std::size_t count);

// x[i] = max(x[i], 0).
void ClampNegative(double *x, std::size_t count);

// x[i] = value.
void Fill(double *x, double value, std::size_t count);
