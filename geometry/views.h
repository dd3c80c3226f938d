// The views of a parallel-beam scan: where each one looks, and how much of
// the half turn it stands for.
//
// A view at angle theta sees the object along the lines
// s = axis + x cos(theta) + y sin(theta) (detector position s, y up, the
// object turning clockwise as theta grows). A view at theta + pi sees the
// same lines from the other side: its detector axis runs backwards.
#pragma once

#include <string>
#include <vector>

#include "status.h"

struct ViewSet {
    int count;
    double *angles;   // radians, in the sinogram's row order
    double *cosines;  // cos and sin of each angle
    double *sines;
    // The angle each view stands for, radians: half the gaps to its
    // neighbours with the views taken modulo pi, so that a full turn weighs
    // each of its two views of a line a half. An even half turn has pi / M
    // for every view.
    double *weights;
    // Evenly over the half turn, view k at k pi / M: the weights are equal
    // and back-projection multiplies once by the step instead of per view.
    bool even;
    double step;  // pi / M for an even half turn
};

// View k at k dtheta for k = 0 ... count - 1, dtheta = pi / count formed in
// the extended type and rounded once, k dtheta rounded to double: the
// toolkit's half turn. Fails with "memory allocation error.".
Status EvenHalfTurn(int count, ViewSet *views);

// The same views over the whole turn: view k at k 2 pi / count.
Status EvenFullTurn(int count, ViewSet *views);

// An angle in degrees as the views keep it: radians, the product formed in
// the extended type (what ReadAngles, formats/angles_file.h, does with each
// number).
double RadiansOfDegrees(double degrees);

// Views at the angles in degrees of an array: the views of an angle list
// (ReadAngles, formats/angles_file.h). Fails with "bad angle." (not
// finite) or "memory allocation error.".
Status ViewsFromDegrees(const double *degrees, int count, ViewSet *views);

// Views at any angles (radians, in the sinogram's row order), with their
// cosines, sines and weights. Fails with "memory allocation error.".
Status ViewsFromRadians(const double *radians, int count, ViewSet *views);

// Fills cosines, sines and weights from the angles (radians), for a set
// that is not an even half turn.
void CompleteViews(ViewSet *views);

// Each view's direction modulo pi (in [0, pi)) into `direction`, and the
// views in the order of their directions (equal ones in view order) into
// `order`: the order around the half circle CompleteViews weighs them in.
void DirectionOrder(const ViewSet &views, std::vector<double> *direction, std::vector<int> *order);

// How far an angle may lie from its place in an even half turn and still
// count as there: a hundredth of the step.
inline constexpr double kEvenTolerance = 0.01;

// The even half turn the angles (radians, in row order) begin with: H views
// at origin + k step, H |step| = pi, rising or falling, each within
// kEvenTolerance of a step of its place. Returns H (at least 2): all the
// views, or the first half of a longer run (0 ... 180 inclusive, a full
// turn); 0 when the angles do not begin with one.
int EvenHalfTurnStart(const double *angles, int count);

void ReleaseViews(ViewSet *views);

// The largest gap between the views' directions (angles modulo pi), in
// radians, and the angle (modulo pi, in [0, pi)) where it starts. A half
// turn of evenly spread views has gaps of pi / M; a limited range (views
// over 0 ... 120 degrees) leaves one of 60 degrees.
double LargestGap(const ViewSet &views, double *from);

// Whether the views leave a gap that filtered back-projection cannot
// bridge: one wider than three times the mean gap of their distinct
// directions, or views all in one direction (the gap of a half turn). A
// set with that gap is reconstructed, with a warning.
bool LimitedRange(const ViewSet &views);

// Whether every view looks one way (angles equal modulo pi): one direction
// cannot be reconstructed, whatever the method.
bool OneDirection(const ViewSet &views);

// For a limited range, the warning line that names the gap and the method
// that suits it ("warning: limited range: the views leave a gap of 61
// degrees after 119 degrees; sino_iter's total variation suits limited
// ranges."); empty otherwise. The programs print it (Warn, error.h).
// `remedy` names what suits limited ranges where the warning is read.
std::string LimitedRangeWarning(const ViewSet &views, const char *remedy = "sino_iter's total variation");

// Whether the views cover the whole turn: no gap between their angles
// (modulo 2 pi) wider than a few times their mean spacing, so that every
// direction is seen from both sides. One direction covers no turn.
bool CoversFullTurn(const ViewSet &views);
