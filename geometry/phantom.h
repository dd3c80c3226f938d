// Ellipse phantoms: a sum of ellipses, each adding its value inside it, in
// the plane of grid.h (detector intervals from the rotation axis, y up).
//
// A phantom is read from a text file, one ellipse a line,
//     xC yC a b angle value
// (center and half-axes in detector intervals, a along the direction at
// `angle` degrees counter-clockwise from the x axis, b across it), '#'
// starting a comment up to the end of its line; or it is the modified
// Shepp-Logan head, named by the word "shepp-logan:R".
#pragma once

#include <string>

#include "real.h"
#include "status.h"

struct Ellipse {
    double xc, yc;  // center
    double a, b;    // half-axes, above zero
    double angle;   // degrees, counter-clockwise from the x axis to a
    double value;   // added inside
};

struct Phantom {
    int count;
    Ellipse *ellipses;  // in the order their values are summed
};

// The largest magnitude of a center coordinate, half-axis or value: far
// from the double range, so that no sum or square of them overflows.
inline constexpr double kPhantomLimit = 1e100;

// Whether the numbers make an ellipse: all finite, the half-axes above
// zero, the center, half-axes and value at most kPhantomLimit in size.
bool EllipseValid(const Ellipse &ellipse);

// The word that names the Shepp-Logan head, before its radius.
inline constexpr const char *kSheppLogan = "shepp-logan:";

// The modified Shepp-Logan head with the higher-contrast values: its ten
// ellipses scaled so that its unit circle has the given radius (detector
// intervals), centered on the axis. Fails with "bad shepp-logan radius."
// unless the radius is above zero and at most kPhantomLimit, and with
// "memory allocation error.".
Status SheppLoganPhantom(double radius, Phantom *phantom);

// The phantom a PHANTOM argument names: "shepp-logan:R" (R wholly a number,
// else "bad shepp-logan radius: R."), or a file ('-' for standard input). Fails with
// "<file>: file not found.", "<file>: line <n>: data read error." (a word
// that is not a whole number, or a line without exactly six numbers; also
// a failed read), "<file>: line <n>: bad ellipse." (EllipseValid),
// "<file>: no ellipses." or "memory allocation error."; for standard input
// the file is called "phantom".
Status ReadPhantom(const char *name, Phantom *phantom);

// The ellipses of a file's text held in memory, with the messages of
// ReadPhantom about a file called "phantom".
Status PhantomFromText(const std::string &text, Phantom *phantom);

void ReleasePhantom(Phantom *phantom);

// Pi to the extended type's precision: an ellipse's turn, and so its
// boundary far from its center, keeps its digits (the double kPi would move
// the boundary of an ellipse 1e4 wide by 1e-12).
inline constexpr Real kExtendedPi = 3.14159265358979323846264338327950288L;

// The cosine and sine of an angle in degrees, exact for multiples of 90
// degrees (so that an ellipse turned a right angle is exactly the ellipse
// with its half-axes exchanged), in the extended type otherwise.
void DegreesCosineSine(double degrees, Real *cosine, Real *sine);
