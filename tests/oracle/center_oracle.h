// The wedge criterion of sino_center evaluated the straightforward way: the
// whole-turn sinogram built sample by sample for one trial centre, its 2-D
// discrete Fourier transform summed term by term, and the energy inside the
// wedge added up.
#pragma once

// Energy of the wedge for the trial centre twice_center / 2 (a whole or
// half detector, so that the mirror maps samples onto samples). The views
// (m x n samples) are multiplied by `window`, zero-padded to `length`
// (periodic, as the transform sees them), and the mirrored view k is
// q(s) = row_k((twice_center - s) mod length). Frequencies 1 <= |j| < count
// and harmonics WedgeStart(radius, omega_j) <= |kappa| < m count.
double WedgeEnergyOracle(const double *samples, const double *window, int n, int m, int length, double radius,
                         int count, int twice_center);
