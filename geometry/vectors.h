// Arithmetic on long vectors (images, sinograms) shared among threads.
// Sums are taken over fixed pieces and the pieces added in order, so every
// result is the same for any number of threads.
#pragma once

#include <cstddef>

// The sum of a[i] b[i].
double Dot(const double *a, const double *b, std::size_t count);

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
