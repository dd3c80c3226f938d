// The area of a disk inside an axis-parallel rectangle, in closed form.
#pragma once

// Area of the part of the rectangle [u0, u1] x [v0, v1] (u0 <= u1, v0 <= v1)
// that lies inside the disk of radius `radius` (> 0, finite) centered at the
// origin. The rectangle is cut at the abscissae where the circle crosses
// its top and bottom lines; on each piece the covered height is a constant
// or a constant plus one or two half-chords, whose integral is exact.
double RectangleDiskArea(double u0, double u1, double v0, double v1, double radius);

// The integral of sqrt(R^2 - x^2) over [a, b], -R <= a <= b <= R, written
// so that a short interval near the rim or the middle keeps its digits.
double HalfChordIntegral(double a, double b, double radius);
