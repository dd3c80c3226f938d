// Propagation-based phase contrast of an object of one material: its
// projected thickness t gives the wave behind it,
//     U = exp(-k (beta + i delta) t),  k = 2 pi / lambda,
// which travels the distance z to the detector by the angular-spectrum
// method, U(u) times exp(i k z (sqrt(1 - lambda^2 |u|^2) - 1)) in Fourier
// space (u in cycles per metre); the detector records |U|^2, the
// intensity relative to the open beam.
#pragma once

#include <fftw3.h>

#include "phantom.h"
#include "status.h"

// The projected thickness of the phantom's ellipsoids in one view, in
// detector intervals times their values: an n x n image, row r at height
// (n - 1) / 2 - r and column i at i - (n - 1) / 2 from the rotation axis.
// Each ellipse of the phantom is the middle section of an ellipsoid whose
// vertical half-axis is the smaller of its half-axes (a disk makes a ball),
// centred on the middle row.
void ProjectedThickness(const Phantom &phantom, double cosine, double sine, int n, double *image);

// The material and the setup: delta and beta of the refractive index
// 1 - delta + i beta, the distance in metres, the energy in keV and the
// pixel in metres.
struct Material {
    double delta, beta, distance, energy, pixel;
};

// Reads "DELTA,BETA,DISTANCE,ENERGY,PIXEL", each field wholly a number
// (StrictReal, args.h; one that is not is named: "bad energy: 20keV."): delta,
// beta, the energy and the pixel finite and above zero, the distance
// finite and not negative. Fails with "bad material (DELTA,BETA,DISTANCE,
// ENERGY,PIXEL)." when there are not five numbers, else "bad delta.", "bad
// beta.", "bad distance.", "bad energy." or "bad pixel.".
Status MaterialArgument(const char *text, Material *material);

// The transforms for n x n images, continued by reflection to 2n x 2n
// (so that an object that reaches an edge meets its mirror image, not the
// opposite edge), with the work arrays of `threads` threads.
struct Propagator {
    int n = 0, padded = 0, threads = 0;
    double attenuation = 0, retardation = 0;  // k beta pixel, k delta pixel
    fftw_complex *transfer = nullptr;         // exp(i k z (sqrt(...) - 1)) / padded^2
    fftw_complex **work = nullptr;
    fftw_plan forward = nullptr, backward = nullptr;
};

// Fails with "memory allocation error.".
Status MakePropagator(const Material &material, int n, int threads, Propagator *propagator);
void ReleasePropagator(Propagator *propagator);

// The intensity behind the object of the given thickness (n x n, in
// pixels), with thread slot `slot`'s work array.
void Propagate(const Propagator &propagator, int slot, const double *thickness, double *intensity);
