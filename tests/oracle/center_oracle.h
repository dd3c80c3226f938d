// The wedge criterion of sino_center evaluated the straightforward way: the
// whole-turn sinogram built sample by sample for one trial centre, its 2-D
// discrete Fourier transform summed term by term, and the energy inside the
// wedge added up.
#pragma once

#include <vector>

#include "center.h"
#include "opposite.h"

// Energy of the wedge for the trial centre twice_center / 2 (a whole or
// half detector, so that the mirror maps samples onto samples). The views
// (m x n samples) are multiplied by `window`, zero-padded to `length`
// (periodic, as the transform sees them), and the mirrored view k is
// q(s) = row_k((twice_center - s) mod length). Frequencies 1 <= |j| < count
// and harmonics WedgeStart(radius, omega_j) <= |kappa| < m count.
double WedgeEnergyOracle(const double *samples, const double *window, int n, int m, int length, double radius,
                         int count, int twice_center);

// A disk of the phantoms: centre (x, y) in detector intervals from the
// axis, y up, radius, density (negative to subtract).
struct OracleDisk {
    double x, y, radius, density;
};

// Disks with no symmetry, the centre searches' object: a large disk off
// the axis, a hole in it and two small dense disks; at scale 1 they reach
// 68 detector intervals from the axis.
std::vector<OracleDisk> AsymmetricDisks(double scale);

// The analytic sinogram of disks seen at the given angles (radians, one
// view each, any order and range): the point (x, y) projects onto
// axis + x cos(theta) + y sin(theta), and a ray at distance d from a
// disk's centre crosses it along 2 sqrt(r^2 - d^2). Each detector takes the
// mean of `subsamples` rays evenly spread over its width (1: the ray
// through its centre, as disk_sino samples). Views first, n samples each.
std::vector<double> DiskProjections(int n, double axis, const std::vector<double> &angles,
                                    const std::vector<OracleDisk> &disks, int subsamples);

// Angles k * turn / m for k = 0 .. m-1 (turn pi: a half turn, 2 pi: a
// full one).
std::vector<double> EvenAngles(int m, double turn);

// The mismatch of opposite views at the center twice_center / 2, summed
// term by term: for each pair, q the opposite view ((1 - weight) of view
// `first` plus weight of view `second`) and p the view itself,
//     sum W(s) W(t-s) (q(s) - p(t-s))^2 / sum W(s) W(t-s) (q(s)^2 + p(t-s)^2)
// over the detectors s with t - s on the detector too, t = twice_center.
double OppositeMismatchOracle(const double *samples, int n, const OppositePair *pairs, int count,
                              const double *window, int twice_center);

// For the tests of the centre searches: the half-turn search on a sinogram
// of n detectors and m views, its work allocated and given back; and
// Gaussian noise of the given share of the largest sample, from a seed.
CenterEstimate HalfTurnCenter(const std::vector<double> &samples, int n, int m);
void AddNoise(std::vector<double> *samples, double share, unsigned seed);
