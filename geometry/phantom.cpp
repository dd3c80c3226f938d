#include "phantom.h"

#include <cmath>

#include "memory.h"

namespace {

// The modified Shepp-Logan head (higher contrast), on its unit circle:
// xC yC a b angle value.
constexpr double kSheppLoganTable[10][6] = {
    {0, 0, 0.69, 0.92, 0, 1},
    {0, -0.0184, 0.6624, 0.874, 0, -0.8},
    {0.22, 0, 0.11, 0.31, -18, -0.2},
    {-0.22, 0, 0.16, 0.41, 18, -0.2},
    {0, 0.35, 0.21, 0.25, 0, 0.1},
    {0, 0.1, 0.046, 0.046, 0, 0.1},
    {0, -0.1, 0.046, 0.046, 0, 0.1},
    {-0.08, -0.605, 0.046, 0.023, 0, 0.1},
    {0, -0.605, 0.023, 0.023, 0, 0.1},
    {0.06, -0.605, 0.023, 0.046, 0, 0.1},
};

bool Within(double x) { return std::fabs(x) <= kPhantomLimit; }

}  // namespace

bool EllipseValid(const Ellipse &e) {
    return Within(e.xc) && Within(e.yc) && e.a > 0 && Within(e.a) && e.b > 0 && Within(e.b) &&
           std::isfinite(e.angle) && Within(e.value);
}

Status SheppLoganPhantom(double radius, Phantom *phantom) {
    *phantom = Phantom{0, nullptr};
    if (!(radius > 0) || !Within(radius)) return Failure("bad shepp-logan radius.");
    phantom->ellipses = static_cast<Ellipse *>(AllocateArray(10, sizeof(Ellipse)));
    if (phantom->ellipses == nullptr) return Failure("memory allocation error.");
    for (const double *row : kSheppLoganTable) {
        phantom->ellipses[phantom->count++] =
            Ellipse{row[0] * radius, row[1] * radius, row[2] * radius, row[3] * radius, row[4], row[5]};
    }
    return Success();
}

void ReleasePhantom(Phantom *phantom) {
    ReleaseArray(phantom->ellipses);
    *phantom = Phantom{0, nullptr};
}

void DegreesCosineSine(double degrees, Real *cosine, Real *sine) {
    // The remainder is exact, so every multiple of 90 degrees is found.
    double turn = std::fmod(degrees, 360.0);
    const double rights[] = {0, 90, 180, 270, -90, -180, -270};
    const int cosines[] = {1, 0, -1, 0, 0, -1, 0};
    const int sines[] = {0, 1, 0, -1, -1, 0, 1};
    for (int r = 0; r < 7; ++r) {
        if (turn == rights[r]) {
            *cosine = cosines[r];
            *sine = sines[r];
            return;
        }
    }
    Real radians = static_cast<Real>(turn) * kExtendedPi / 180;
    *cosine = std::cos(radians);
    *sine = std::sin(radians);
}
