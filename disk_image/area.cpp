#include "area.h"

#include <algorithm>
#include <cmath>

namespace {

// sqrt(R^2 - x^2) as sqrt((R - x)(R + x)), accurate near |x| = R; 0 outside.
double HalfChord(double x, double radius) {
    double d = (radius - x) * (radius + x);
    return d > 0 ? std::sqrt(d) : 0;
}

}  // namespace

double HalfChordIntegral(double a, double b, double radius) {
    double ha = HalfChord(a, radius);
    double hb = HalfChord(b, radius);
    // The angle between the radii to (a, ha) and (b, hb), from its sine and
    // cosine (times R^2): no difference of two arcsines, which would lose
    // the digits of a short interval. Near the angle pi (a < 0 < b) both
    // terms of the sine are positive or zero, so it cannot round below zero
    // and turn pi into -pi; elsewhere a rounding below zero costs nothing.
    double sine = b * ha - a * hb;
    double angle = std::atan2(sine, a * b + ha * hb);
    return 0.5 * (b * hb - a * ha) + 0.5 * radius * radius * angle;
}

double RectangleDiskArea(double u0, double u1, double v0, double v1, double radius) {
    double lo = std::max(u0, -radius);
    double hi = std::min(u1, radius);
    if (!(lo < hi)) return 0;

    // Where the circle crosses the lines y = v0 and y = v1.
    double cuts[6];
    int n = 0;
    cuts[n++] = lo;
    for (double v : {v0, v1}) {
        if (std::fabs(v) <= radius) {  // a tangent line cuts at 0
            double w = HalfChord(v, radius);
            if (-w > lo && -w < hi) cuts[n++] = -w;
            if (w > lo && w < hi) cuts[n++] = w;
        }
    }
    cuts[n++] = hi;
    // At most six values: an insertion sort.
    for (int i = 1; i < n; ++i) {
        double value = cuts[i];
        int k = i;
        for (; k > 0 && cuts[k - 1] > value; --k) cuts[k] = cuts[k - 1];
        cuts[k] = value;
    }

    double area = 0;
    for (int i = 0; i + 1 < n; ++i) {
        double a = cuts[i];
        double b = cuts[i + 1];
        if (!(a < b)) continue;
        // Between two cuts the top of the covered part is either v1 or the
        // upper half-circle all along, and its bottom v0 or the lower one.
        double h = HalfChord(0.5 * (a + b), radius);
        bool top_on_circle = h < v1;
        bool bottom_on_circle = -h > v0;
        double top = top_on_circle ? h : v1;
        double bottom = bottom_on_circle ? -h : v0;
        if (!(top > bottom)) continue;
        double constant = (top_on_circle ? 0 : v1) - (bottom_on_circle ? 0 : v0);
        double piece = constant * (b - a);
        int half_chords = static_cast<int>(top_on_circle) + static_cast<int>(bottom_on_circle);
        if (half_chords > 0) piece += half_chords * HalfChordIntegral(a, b, radius);
        area += piece;
    }
    return area;
}
