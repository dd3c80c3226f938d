// Where SG2's columns fall in SG0: SG0's frame scaled by dr0/dr1, rotated by
// ot degrees and shifted by (dx, dy) SG1 pixels; the extent of SG2 on both
// sides of SG1's columns; and, per view, the SG0 row pair and the detector
// mapping i -> i s + base.
#pragma once

#include "real.h"
#include "status.h"

// What SG0's header, SG1 and the command line give.
struct GraftInputs {
    int n0, m0;      // SG0 detectors and views
    double c0;       // SG0 rotation center
    int n1, m1;      // SG1 detectors and views, also SG2's views
    double c1;       // SG1 rotation center
    double ratio;    // dr0 / dr1
    double ot;       // SG0's rotation, degrees
    double dx, dy;   // SG0's shift, SG1 pixels
};

// What is computed from them.
struct GraftGeometry {
    GraftInputs in;
    double theta0;   // SG0's rotation, radians in (0, 4 pi)
    double px, py;   // corner (-h0, -h0) of SG0's field in SG1's frame
    double dphi;     // pi / M1
    double emin, emax;
    int pad;         // SG2 columns before SG1's first
    double c2;       // SG2's rotation center, pad + c1
    int end1;        // pad + N1
    int width;       // W, SG2's detectors
};

// Computes the geometry from the inputs (the counts, centers and ratio
// already checked). Fails for a geometry without a meaningful result: "bad
// rotation angle." or "bad shift." (not finite), "SG2 too large." (an
// extent beyond the 32-bit range).
Status ComputeGeometry(const GraftInputs &in, GraftGeometry *g);

// One view of SG2 in SG0: rows row and row + 1 at fraction fy, and column i
// at detector position i * s + base (rounded to a double).
struct ViewPlacement {
    int row;
    double fy;
    double s;
    double base;
};

ViewPlacement PlaceView(const GraftGeometry &g, int k);

// The row pair and fraction of a row position P in [0, M0]: r = P truncated,
// fy = P - r; P rounded up to M0 itself gives r = M0 - 1 and fy = 1, so that
// the sample never needs a row beyond the mirrored row M0.
void SplitRowPosition(Real p, int m0, int *row, double *fy);
