#include "phantom_pixels.h"

#include <cmath>

namespace {

// Extents are widened by this fraction of the ellipse's size: far above the
// rounding of their square roots near the top and bottom of the ellipse
// (about the square root of the extended type's precision), far below a
// pixel of any useful size.
constexpr Real kMarginScale = 1e-8;

// A run of pixels is taken as inside without its fraction when the corners
// at both its ends lie inside the disk frame's circle by this much in the
// squared radius: rounding cannot then put a corner between them outside.
constexpr Real kInsideSlack = 1e-12;

struct Point {
    Real x, y;
};

Real Clamp(Real x, Real lo, Real hi) { return x < lo ? lo : (x > hi ? hi : x); }

// The point (x, y) in the ellipse's own frame, where it is the unit disk.
Point DiskPoint(const EllipseFrame &f, double x, double y) {
    Real dx = x - f.xc;
    Real dy = y - f.yc;
    return Point{(dx * f.cos_phi + dy * f.sin_phi) / f.a, (dy * f.cos_phi - dx * f.sin_phi) / f.b};
}

bool Within(const EllipseFrame &f, double x, double y, Real limit) {
    Point p = DiskPoint(f, x, y);
    return p.x * p.x + p.y * p.y <= limit;
}

bool CornersWithin(const EllipseFrame &f, double left, double right, double bottom, double top, Real limit) {
    return Within(f, left, bottom, limit) && Within(f, right, bottom, limit) && Within(f, right, top, limit) &&
           Within(f, left, top, limit);
}

// The signed area of the part of the triangle (origin, p, p + d) inside the
// unit disk; *entered becomes true when the edge from p along d has a part
// inside the open disk. Where the edge is outside, the part is the disk's
// sector between the edge's ends (half the angle between them); inside, the
// triangle itself. Every cross product is a multiple of p x d, formed once
// from the edge's own vector: p x q would cancel two products near 1 down
// to the edge's length, and lose the digits of a pixel far smaller than
// the ellipse.
Real TriangleInDisk(Point p, Point d, bool *entered) {
    Real cross = p.x * d.y - p.y * d.x;
    Point q{p.x + d.x, p.y + d.y};
    Real a = d.x * d.x + d.y * d.y;
    Real b = p.x * d.x + p.y * d.y;
    Real c = p.x * p.x + p.y * p.y - 1;
    Real disc = b * b - a * c;
    if (a > 0 && disc > 0) {
        Real root = std::sqrt(disc);
        Real t0 = Clamp((-b - root) / a, 0, 1);
        Real t1 = Clamp((-b + root) / a, 0, 1);
        if (t0 < t1) {
            *entered = true;
            Point in{p.x + t0 * d.x, p.y + t0 * d.y};
            Point out{p.x + t1 * d.x, p.y + t1 * d.y};
            Real before = std::atan2(t0 * cross, p.x * in.x + p.y * in.y);
            Real after = std::atan2((1 - t1) * cross, out.x * q.x + out.y * q.y);
            return (before + (t1 - t0) * cross + after) / 2;
        }
    }
    return std::atan2(cross, p.x * q.x + p.y * q.y) / 2;
}

// The horizontal half-chord at height dy above the center (0 beyond the
// ellipse).
Real HalfChord(const EllipseFrame &f, Real dy) {
    Real q = dy / f.wy;
    Real s = (1 - q) * (1 + q);
    return s > 0 ? f.width * std::sqrt(s) : 0;
}

Real LeftAt(const EllipseFrame &f, Real dy) { return f.xc + f.slope * dy - HalfChord(f, dy); }
Real RightAt(const EllipseFrame &f, Real dy) { return f.xc + f.slope * dy + HalfChord(f, dy); }

// The ellipse's extent in x within the strip bottom <= y <= top, widened by
// the margin; false when the strip misses it by more than the margin. The
// right edge is concave in the height and greatest at the rightmost point,
// the left edge convex and least at the leftmost one.
bool StripExtent(const EllipseFrame &f, double bottom, double top, Real *lo, Real *hi) {
    Real d0 = bottom - f.yc;
    Real d1 = top - f.yc;
    if (d1 < -f.wy - f.margin || d0 > f.wy + f.margin) return false;
    Real e0 = Clamp(d0, -f.wy, f.wy);
    Real e1 = Clamp(d1, -f.wy, f.wy);
    *hi = RightAt(f, Clamp(f.rightmost, e0, e1)) + f.margin;
    *lo = LeftAt(f, Clamp(-f.rightmost, e0, e1)) - f.margin;
    return true;
}

// The fraction of a rectangle of the strip whose extent is [lo, hi].
Real FractionInStrip(const EllipseFrame &f, Real lo, Real hi, double left, double right, double bottom, double top) {
    if (right < lo || left > hi) return 0;
    if (CornersWithin(f, left, right, bottom, top, 1)) return 1;
    // Counter-clockwise, and still so in the disk frame (a turn and two
    // positive scales); the edges' vectors from the rectangle's sides.
    Point corner[4] = {DiskPoint(f, left, bottom), DiskPoint(f, right, bottom), DiskPoint(f, right, top),
                       DiskPoint(f, left, top)};
    Real width = static_cast<Real>(right) - left;
    Real height = static_cast<Real>(top) - bottom;
    Point along{width * f.cos_phi / f.a, -width * f.sin_phi / f.b};
    Point up{height * f.sin_phi / f.a, height * f.cos_phi / f.b};
    Point edge[4] = {along, up, Point{-along.x, -along.y}, Point{-up.x, -up.y}};
    Real sum = 0;
    bool entered = false;
    for (int k = 0; k < 4; ++k) sum += TriangleInDisk(corner[k], edge[k], &entered);
    Real area = width * height;
    if (!entered) {
        // No edge meets the ellipse: it lies wholly inside the rectangle, or
        // wholly outside.
        bool inside = left <= f.xc && f.xc <= right && bottom <= f.yc && f.yc <= top;
        return inside ? kExtendedPi * f.a * f.b / area : 0;
    }
    return Clamp(sum * f.a * f.b / area, 0, 1);
}

// The column whose pixel holds x, as a real number clamped to [-1, K].
Real ColumnAt(const Grid &grid, Real x) {
    Real column = std::floor((x - grid.x0) / grid.pixel + 0.5 * grid.size);
    return Clamp(column, -1, grid.size);
}

// Adds the ellipse's value times its fraction of each pixel of the row.
void AddEllipseToRow(const EllipseFrame &f, const Grid &grid, int row, Real *sums) {
    double top = RowEdge(grid, row);
    double bottom = RowEdge(grid, row + 1);
    Real lo, hi;
    if (!StripExtent(f, bottom, top, &lo, &hi)) return;
    // A column of slack each side: every pixel left out has its right edge
    // below lo or its left edge above hi, where the fraction is 0.
    int first = static_cast<int>(Clamp(ColumnAt(grid, lo) - 1, 0, grid.size - 1));
    int last = static_cast<int>(Clamp(ColumnAt(grid, hi) + 1, 0, grid.size - 1));

    // The pixels whose four corners lie inside: between the chords of the
    // strip's two lines, checked at both ends of the run.
    int in_first = last + 1;
    int in_last = last;
    Real d0 = bottom - f.yc;
    Real d1 = top - f.yc;
    if (d0 > -f.wy && d1 < f.wy) {
        Real in_lo = LeftAt(f, d0) > LeftAt(f, d1) ? LeftAt(f, d0) : LeftAt(f, d1);
        Real in_hi = RightAt(f, d0) < RightAt(f, d1) ? RightAt(f, d0) : RightAt(f, d1);
        Real a = std::ceil((in_lo + f.margin - grid.x0) / grid.pixel + 0.5 * grid.size);
        Real b = std::floor((in_hi - f.margin - grid.x0) / grid.pixel + 0.5 * grid.size) - 1;
        in_first = static_cast<int>(Clamp(a, first, last + 1));
        in_last = static_cast<int>(Clamp(b, first - 1, last));
        Real limit = 1 - kInsideSlack;
        while (in_first <= in_last &&
               !CornersWithin(f, ColumnEdge(grid, in_first), ColumnEdge(grid, in_first + 1), bottom, top, limit))
            ++in_first;
        while (in_last >= in_first &&
               !CornersWithin(f, ColumnEdge(grid, in_last), ColumnEdge(grid, in_last + 1), bottom, top, limit))
            --in_last;
    }
    for (int j = first; j <= last; ++j) {
        if (j >= in_first && j <= in_last) {
            sums[j] += f.value;
        } else {
            sums[j] += f.value * FractionInStrip(f, lo, hi, ColumnEdge(grid, j), ColumnEdge(grid, j + 1), bottom, top);
        }
    }
}

}  // namespace

EllipseFrame FrameOf(const Ellipse &e) {
    EllipseFrame f;
    DegreesCosineSine(e.angle, &f.cos_phi, &f.sin_phi);
    f.xc = e.xc;
    f.yc = e.yc;
    f.a = e.a;
    f.b = e.b;
    f.value = e.value;
    Real a2 = f.a * f.a;
    Real b2 = f.b * f.b;
    Real c2 = f.cos_phi * f.cos_phi;
    Real s2 = f.sin_phi * f.sin_phi;
    f.wx = std::sqrt(a2 * c2 + b2 * s2);
    f.wy = std::sqrt(a2 * s2 + b2 * c2);
    Real cross = (a2 - b2) * f.sin_phi * f.cos_phi;
    f.rightmost = cross / f.wx;
    f.slope = cross / (f.wy * f.wy);
    f.width = f.a * f.b / f.wy;
    f.margin = kMarginScale * (std::fabs(f.xc) + std::fabs(f.yc) + f.a + f.b);
    return f;
}

bool PixelMeansExact(const Ellipse &e, double pixel) {
    double least = kThinnestHalfAxis * pixel, most = kLongestHalfAxis * pixel;
    return e.a >= least && e.b >= least && e.a <= most && e.b <= most;
}

double ColumnEdge(const Grid &grid, int j) { return grid.x0 + (j - 0.5 * grid.size) * grid.pixel; }

double RowEdge(const Grid &grid, int r) { return grid.y0 + (0.5 * grid.size - r) * grid.pixel; }

Real EllipseFraction(const EllipseFrame &frame, double left, double right, double bottom, double top) {
    Real lo, hi;
    if (!StripExtent(frame, bottom, top, &lo, &hi)) return 0;
    return FractionInStrip(frame, lo, hi, left, right, bottom, top);
}

double PhantomPixelMean(const EllipseFrame *frames, int count, const Grid &grid, int column, int row) {
    double left = ColumnEdge(grid, column);
    double right = ColumnEdge(grid, column + 1);
    double top = RowEdge(grid, row);
    double bottom = RowEdge(grid, row + 1);
    Real sum = 0;
    for (int e = 0; e < count; ++e) sum += frames[e].value * EllipseFraction(frames[e], left, right, bottom, top);
    return static_cast<double>(sum);
}

void PhantomImageRow(const EllipseFrame *frames, int count, const Grid &grid, int row, Real *sums, double *pixels) {
    for (int j = 0; j < grid.size; ++j) sums[j] = 0;
    for (int e = 0; e < count; ++e) AddEllipseToRow(frames[e], grid, row, sums);
    for (int j = 0; j < grid.size; ++j) pixels[j] = static_cast<double>(sums[j]);
}
