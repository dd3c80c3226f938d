#include "turn.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "real.h"

namespace {

// Whether the M views after the first M each look half a turn away from
// their partner, within the tolerance of an even half turn.
bool Opposite(const double *angles, int pairs) {
    double step = std::fabs(angles[1] - angles[0]);
    for (int k = 0; k < pairs; ++k)
        if (!(std::fabs(std::fabs(angles[k + pairs] - angles[k]) - kPi) <= kEvenTolerance * step)) return false;
    return true;
}

// A number as "%lf" prints it and a reader takes it back.
double AsPrinted(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%lf", value);
    return std::strtod(text, nullptr);
}

}  // namespace

Status DescribeTurn(bool told_full, const ViewSet &views, int images, Turn *turn) {
    *turn = Turn{};
    if (told_full) {
        turn->full = turn->even = true;
        turn->images = images;
        turn->pairs = images / 2;
        return EvenFullTurn(images, &turn->whole);
    }
    if (!CoversFullTurn(views)) return Success();
    turn->full = true;
    turn->images = views.count;
    int half = EvenHalfTurnStart(views.angles, views.count);
    if (half > 0 && 2 * half <= views.count && Opposite(views.angles, half)) turn->pairs = half;
    return ViewsFromRadians(views.angles, views.count, &turn->whole);
}

void ReleaseTurn(Turn *turn) {
    if (turn->full) ReleaseViews(&turn->whole);
    turn->full = false;
}

bool NeedsFold(const Turn &turn, int detectors, const std::vector<double> &centers) {
    if (!turn.full) return false;
    for (double c : centers)
        if (!NearMiddle(detectors, c)) return true;
    return false;
}

Status CheckPartTurn(const Turn &turn, const ViewSet &views, int detectors, const std::vector<double> &centers) {
    if (turn.full || views.count < 2) return Success();
    std::vector<double> d(static_cast<std::size_t>(views.count));
    for (int k = 0; k < views.count; ++k) {
        double a = std::fmod(views.angles[k], 2 * kPi);
        d[static_cast<std::size_t>(k)] = a < 0 ? a + 2 * kPi : a;
    }
    std::sort(d.begin(), d.end());
    double largest = d[0] + 2 * kPi - d.back();
    for (std::size_t i = 0; i + 1 < d.size(); ++i) largest = std::max(largest, d[i + 1] - d[i]);
    if (largest >= kPi / 2) return Success();
    for (double c : centers)
        if (!NearMiddle(detectors, c))
            return Failure("the views cover most of the turn with gaps and the axis lies off the middle (half "
                           "acquisition?): give a whole turn, or the views of a half turn with -a.");
    return Success();
}

Status MakeFold(const Turn &turn, int detectors, const std::vector<double> &centers, Fold *fold) {
    if (turn.pairs == 0)
        return Failure("a full turn with its axis off the middle is folded from views in opposite pairs "
                       "(view k + M half a turn from view k): the angles are not.");
    fold->active = true;
    fold->pairs = turn.pairs;
    fold->detectors = detectors;
    fold->rows.assign(centers.size(), FoldGeometry{});
    // The frame: the largest pad, and the farthest right end.
    int pad = 0;
    long long right = 0;
    for (std::size_t i = 0; i < centers.size(); ++i) {
        if (!MakeFoldGeometry(detectors, centers[i], &fold->rows[i])) return Failure("memory allocation error.");
        if (fold->rows[i].pad > pad) pad = fold->rows[i].pad;
    }
    for (const FoldGeometry &g : fold->rows) {
        long long end = static_cast<long long>(pad) - g.pad + g.width;
        if (end > right) right = end;
    }
    if (right > 0x3fffffff) return Failure("memory allocation error.");
    fold->pad = pad;
    fold->width = static_cast<int>(right);
    fold->axes.clear();
    for (double c : centers) fold->axes.push_back(AsPrinted(c + pad));
    std::size_t samples = static_cast<std::size_t>(fold->pairs) * static_cast<std::size_t>(fold->width);
    if (!fold->scratch.Allocate(samples)) return Failure("memory allocation error.");
    return Success();
}

Status FoldedViews(const Fold &fold, ViewSet *views) {
    if (views->count == fold.pairs) return Success();
    ViewSet first;
    Status made = ViewsFromRadians(views->angles, fold.pairs, &first);
    if (!made.ok()) return made;
    ReleaseViews(views);
    *views = first;
    return Success();
}

std::size_t FoldStride(const Fold &fold) {
    std::size_t read = 2 * static_cast<std::size_t>(fold.pairs) * static_cast<std::size_t>(fold.detectors);
    std::size_t folded = static_cast<std::size_t>(fold.pairs) * static_cast<std::size_t>(fold.width);
    return read > folded ? read : folded;
}

void FoldRow(const Fold &fold, int which, const double *read, double *folded) {
    const FoldGeometry &g = fold.rows[static_cast<std::size_t>(which)];
    const std::size_t n = static_cast<std::size_t>(fold.detectors), w = static_cast<std::size_t>(fold.width);
    const std::size_t m = static_cast<std::size_t>(fold.pairs);
    const std::size_t shift = static_cast<std::size_t>(fold.pad - g.pad);
    for (std::size_t k = 0; k < m; ++k) {
        double *out = folded + k * w;
        for (std::size_t x = 0; x < w; ++x) out[x] = 0;
        FoldView(read + k * n, read + (k + m) * n, g, out + shift);
    }
}

void FoldBand(Fold *fold, int first, int rows, double *band) {
    const std::size_t read = 2 * static_cast<std::size_t>(fold->pairs) * static_cast<std::size_t>(fold->detectors);
    const std::size_t folded = static_cast<std::size_t>(fold->pairs) * static_cast<std::size_t>(fold->width);
    // Row j's folded views overwrite only rows already folded when they
    // are narrower than what was read; wider ones go from the last row.
    for (int i = 0; i < rows; ++i) {
        int j = folded <= read ? i : rows - 1 - i;
        FoldRow(*fold, first + j, band + static_cast<std::size_t>(j) * read, fold->scratch);
        double *to = band + static_cast<std::size_t>(j) * folded;
        for (std::size_t t = 0; t < folded; ++t) to[t] = fold->scratch[t];
    }
}
