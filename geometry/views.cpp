#include "views.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>
#include <string>
#include <vector>

#include "memory.h"
#include "real.h"

namespace {

// Directions closer than this (radians) are one direction seen twice.
constexpr double kSameDirection = 1e-9;

Status Allocate(int count, ViewSet *views) {
    *views = ViewSet{count, nullptr, nullptr, nullptr, nullptr, false, 0};
    // One array of four parts: angles, cosines, sines, weights.
    double *block = static_cast<double *>(AllocateArray(4 * static_cast<std::size_t>(count), sizeof(double)));
    if (block == nullptr) return Failure("memory allocation error.");
    views->angles = block;
    views->cosines = block + count;
    views->sines = block + 2 * static_cast<std::size_t>(count);
    views->weights = block + 3 * static_cast<std::size_t>(count);
    return Success();
}

// The directions modulo pi, in [0, pi), sorted.
std::vector<double> SortedDirections(const ViewSet &views) {
    std::vector<double> d(static_cast<std::size_t>(views.count));
    for (int k = 0; k < views.count; ++k) {
        double a = std::fmod(views.angles[k], kPi);
        if (a < 0) a += kPi;
        if (a >= kPi) a = 0;
        d[static_cast<std::size_t>(k)] = a;
    }
    std::sort(d.begin(), d.end());
    return d;
}

// How many distinct directions the sorted directions hold.
int DistinctDirections(const std::vector<double> &d) {
    int distinct = 0;
    for (std::size_t i = 0; i < d.size(); ++i) {
        double gap = i + 1 < d.size() ? d[i + 1] - d[i] : d[0] + kPi - d[i];
        if (gap > kSameDirection) ++distinct;
    }
    return distinct;
}

// The mean gap between distinct directions.
double MeanDistinctGap(const std::vector<double> &d) {
    int distinct = DistinctDirections(d);
    return kPi / (distinct > 0 ? distinct : 1);
}

}  // namespace

Status EvenHalfTurn(int count, ViewSet *views) {
    Status allocated = Allocate(count, views);
    if (!allocated.ok()) return allocated;
    double step = static_cast<Real>(kPi) / count;
    for (int k = 0; k < count; ++k) {
        double theta = k * step;
        views->angles[k] = theta;
        views->cosines[k] = std::cos(theta);
        views->sines[k] = std::sin(theta);
        views->weights[k] = step;
    }
    views->even = true;
    views->step = step;
    return Success();
}

Status EvenFullTurn(int count, ViewSet *views) {
    Status allocated = Allocate(count, views);
    if (!allocated.ok()) return allocated;
    double step = static_cast<Real>(2 * kPi) / count;
    for (int k = 0; k < count; ++k) views->angles[k] = k * step;
    CompleteViews(views);
    return Success();
}

double RadiansOfDegrees(double degrees) { return static_cast<Real>(degrees) * kPi / 180; }

Status ViewsFromDegrees(const double *degrees, int count, ViewSet *views) {
    for (int k = 0; k < count; ++k) {
        if (!std::isfinite(degrees[k])) return Failure("bad angle.");
    }
    Status allocated = Allocate(count, views);
    if (!allocated.ok()) return allocated;
    for (int k = 0; k < count; ++k) views->angles[k] = RadiansOfDegrees(degrees[k]);
    CompleteViews(views);
    return Success();
}

Status ViewsFromRadians(const double *radians, int count, ViewSet *views) {
    Status allocated = Allocate(count, views);
    if (!allocated.ok()) return allocated;
    std::copy(radians, radians + count, views->angles);
    CompleteViews(views);
    return Success();
}

int EvenHalfTurnStart(const double *angles, int count) {
    if (count < 2) return 0;
    const double first_step = angles[1] - angles[0];
    if (!(std::fabs(first_step) > 0)) return 0;
    const double sign = first_step > 0 ? 1 : -1;
    // The half turn ends before the first view that looks the opposite way
    // (within half a step of pi from view 0), or with the last view.
    int half = count;
    for (int k = 1; k < count; ++k) {
        if (sign * (angles[k] - angles[0]) >= kPi - 0.5 * std::fabs(first_step)) {
            half = k;
            break;
        }
    }
    if (half < 2) return 0;
    const double step = sign * kPi / half;
    double origin = 0;
    for (int k = 0; k < half; ++k) origin += angles[k] - k * step;
    origin /= half;
    for (int k = 0; k < half; ++k)
        if (!(std::fabs(angles[k] - (origin + k * step)) <= kEvenTolerance * std::fabs(step))) return 0;
    return half;
}

void DirectionOrder(const ViewSet &views, std::vector<double> *direction, std::vector<int> *order) {
    const int m = views.count;
    direction->assign(static_cast<std::size_t>(m), 0);
    order->assign(static_cast<std::size_t>(m), 0);
    for (int k = 0; k < m; ++k) {
        double a = std::fmod(views.angles[k], kPi);
        if (a < 0) a += kPi;
        if (a >= kPi) a = 0;
        (*direction)[static_cast<std::size_t>(k)] = a;
    }
    std::iota(order->begin(), order->end(), 0);
    const std::vector<double> &d = *direction;
    std::stable_sort(order->begin(), order->end(), [&](int a, int b) { return d[a] < d[b]; });
}

void CompleteViews(ViewSet *views) {
    int m = views->count;
    for (int k = 0; k < m; ++k) {
        views->cosines[k] = std::cos(views->angles[k]);
        views->sines[k] = std::sin(views->angles[k]);
    }
    // Each view's direction modulo pi, in order around the half circle; a
    // view stands for half the gap before it and half the gap after it.
    std::vector<double> direction;
    std::vector<int> order;
    DirectionOrder(*views, &direction, &order);
    for (int i = 0; i < m; ++i) {
        double here = direction[order[i]];
        double before = i > 0 ? direction[order[i - 1]] : direction[order[m - 1]] - kPi;
        double after = i + 1 < m ? direction[order[i + 1]] : direction[order[0]] + kPi;
        views->weights[order[i]] = m == 1 ? kPi : 0.5 * ((here - before) + (after - here));
    }
    views->even = false;
    views->step = 0;
}

void ReleaseViews(ViewSet *views) {
    ReleaseArray(views->angles);
    *views = ViewSet{};
}

double LargestGap(const ViewSet &views, double *from) {
    std::vector<double> d = SortedDirections(views);
    double largest = -1;
    for (std::size_t i = 0; i < d.size(); ++i) {
        double gap = i + 1 < d.size() ? d[i + 1] - d[i] : d[0] + kPi - d[i];
        if (gap > largest) {
            largest = gap;
            *from = d[i];
        }
    }
    return largest;
}

bool LimitedRange(const ViewSet &views) {
    if (views.even) return false;
    double from = 0;
    double largest = LargestGap(views, &from);
    // Views all in one direction leave the gap of a half turn, and no mean
    // gap of others to hold it against.
    std::vector<double> d = SortedDirections(views);
    return OneDirection(views) || largest > 3 * MeanDistinctGap(d);
}

bool OneDirection(const ViewSet &views) { return DistinctDirections(SortedDirections(views)) < 2; }

bool CoversFullTurn(const ViewSet &views) {
    // One direction (however many views, at 0 and 180 degrees too) covers
    // no turn.
    if (views.count < 2 || DistinctDirections(SortedDirections(views)) < 2) return false;
    // Directions modulo 2 pi, sorted: a full turn has no gap much wider than
    // the mean gap of its directions modulo pi (twice it when an odd count
    // interleaves the two halves); a half turn leaves one of pi.
    std::vector<double> d(static_cast<std::size_t>(views.count));
    for (int k = 0; k < views.count; ++k) {
        double a = std::fmod(views.angles[k], 2 * kPi);
        if (a < 0) a += 2 * kPi;
        d[static_cast<std::size_t>(k)] = a;
    }
    std::sort(d.begin(), d.end());
    double largest = d[0] + 2 * kPi - d.back();
    for (std::size_t i = 0; i + 1 < d.size(); ++i) largest = std::max(largest, d[i + 1] - d[i]);
    return largest <= 4 * MeanDistinctGap(SortedDirections(views));
}

std::string LimitedRangeWarning(const ViewSet &views, const char *remedy) {
    if (!LimitedRange(views)) return "";
    double from = 0;
    double gap = LargestGap(views, &from);
    char line[300];
    std::snprintf(line, sizeof line, "warning: limited range: the views leave a gap of %g degrees after %g degrees; "
                  "%s suits limited ranges.",
                  gap * 180 / kPi, from * 180 / kPi, remedy);
    return line;
}
