// The consistency criterion of a rotation centre, in the Fourier domain.
//
// A sinogram of the half turn and its mirror image about a trial centre c,
// placed after it, make a sinogram of the whole turn. When c is the axis,
// that sinogram is consistent: an object within radius R of the axis leaves
// no energy at angular harmonics |kappa| > R |omega| (omega the detector
// frequency in radians per pixel), the "double wedge" of its 2-D transform.
// A wrong centre breaks every trajectory where the mirrored half begins and
// fills the wedge. The wedge's energy as a function of c is a constant plus
//     X(c) = sum_j Re(conj(H_j) exp(-2 i omega_j c)),
// a Fourier series whose weights H_j come from the half-turn data alone, so
// one pass of transforms gives the criterion at every c, to any fraction of
// a detector, without resampling the data.
#pragma once

#include <complex>
#include <cstddef>

#include "owned.h"
#include "outliers.h"

// Buffers and sizes for one sinogram; every array is allocated by
// AllocateWedgeWork and never resized.
struct WedgeWork {
    int detectors;                   // N
    int views;                       // M, over the half turn
    int length;                      // L >= 2N, the longest detector transform
    int capacity;                    // frequencies the table holds
    int block_columns;               // frequencies per block, at most the capacity
    Owned<double> row;                     // L samples
    Owned<std::complex<double>> spectrum;  // L/2 + 1 coefficients of one view
    Owned<std::complex<double>> table;     // M views of `capacity` coefficients
    Owned<std::complex<double>> block;     // 2M rows of block_columns frequencies
};

// Harmonics kept clear of the object's reach on top of R |omega|: the
// window's own spread in frequency and the angular sampling.
inline constexpr double kHarmonicMargin = 8;

// Lowest harmonic |kappa| of the wedge at detector frequency omega (radians
// per pixel) for data within `radius` pixels of the axis; the extra 2
// pixels cover a trial centre off the window's middle.
double WedgeStart(double radius, double omega);

// Transform lengths of the search: products of 2, 3 and 5 only.
inline constexpr int kLargestPrime = 5;

// The transform length for a trial center anywhere in the field: the
// criterion repeats with period L/2 in the center, so L >= 2N.
int DetectorTransformLength(int detectors);

// Frequencies 0 .. count-1 that have a wedge for data within `radius`
// pixels of the axis: those where a harmonic below `views` lies outside the
// object's reach. At most length / 2.
int WedgeFrequencyCount(int length, int views, double radius);

// Allocates the buffers for transforms up to DetectorTransformLength and a
// table of `capacity` frequencies. Returns false when memory cannot be had
// or the transforms would leave the int range (nothing is left allocated
// then).
bool AllocateWedgeWork(WedgeWork *work, int detectors, int views, int capacity);

// The weights H_j, j = 0 .. count-1 (H_0 = 0: the mean of each view does not
// move with c), of the sinogram (views x detectors samples, view 0 first)
// multiplied view by view by `window` (detectors values) and zero-padded
// to `length` (at most work->length), for data within `radius` of the
// axis, with the outliers replaced. `weights` holds work->capacity values;
// the count (at most the capacity) is returned.
int WedgeWeights(const double *samples, const Outliers &outliers, const double *window, double radius, int length,
                 WedgeWork *work, std::complex<double> *weights);

// X(c) for weights from WedgeWeights.
double WedgeCriterion(const std::complex<double> *weights, int count, int length, double center);
