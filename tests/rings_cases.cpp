#include "rings_cases.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "fbp.h"
#include "phantom.h"
#include "phantom_pixels.h"
#include "phantom_rays.h"
#include "views.h"

namespace {

// A small deterministic generator (xorshift64*): the same case on every
// machine.
struct Draw {
    std::uint64_t state;
    explicit Draw(unsigned seed) : state(0x9E3779B97F4A7C15ull ^ (static_cast<std::uint64_t>(seed) * 0xD1B54A32D192ED03ull)) {
        for (int i = 0; i < 4; ++i) Next();
    }
    std::uint64_t Next() {
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        return state * 2685821657736338717ull;
    }
    double Uniform() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }
    double Between(double low, double high) { return low + (high - low) * Uniform(); }
    double LogBetween(double low, double high) { return low * std::pow(high / low, Uniform()); }
    double Sign() { return Uniform() < 0.5 ? -1.0 : 1.0; }
    int Integer(int low, int high) { return low + static_cast<int>(Uniform() * (high - low + 1)); }
    double Normal() {
        double u = std::max(Uniform(), 1e-300), v = Uniform();
        return std::sqrt(-2 * std::log(u)) * std::cos(2 * 3.14159265358979323846 * v);
    }
};

// The ellipses of a case's object, sizes in units of s = 0.4 columns (the
// large object fills most of the field of view).
std::vector<Ellipse> ObjectEllipses(RingObject object, double s, Draw *draw) {
    std::vector<Ellipse> e;
    double j = 0.05 * s;  // how far the seed moves a feature
    auto jitter = [&] { return draw->Between(-j, j); };
    switch (object) {
        case RingObject::kCentred:
            e.push_back({0, 0, draw->Between(0.85, 0.95) * s, draw->Between(0.6, 0.75) * s, draw->Between(0, 180), 1.0});
            e.push_back({0.35 * s + jitter(), 0.2 * s + jitter(), 0.15 * s, 0.08 * s, draw->Between(0, 180), 0.8});
            e.push_back({-0.3 * s + jitter(), -0.15 * s + jitter(), 0.1 * s, 0.1 * s, 0, -0.5});
            e.push_back({0.05 * s + jitter(), -0.35 * s + jitter(), 0.06 * s, 0.12 * s, draw->Between(0, 180), 1.5});
            break;
        case RingObject::kOffAxis: {
            double xc = draw->Between(0.15, 0.3) * s * draw->Sign(), yc = draw->Between(0.1, 0.25) * s * draw->Sign();
            e.push_back({xc, yc, 0.65 * s, 0.45 * s, draw->Between(0, 180), 1.0});
            e.push_back({xc + 0.3 * s + jitter(), yc + jitter(), 0.12 * s, 0.07 * s, draw->Between(0, 180), -0.6});
            e.push_back({xc - 0.25 * s + jitter(), yc + 0.1 * s + jitter(), 0.08 * s, 0.08 * s, 0, 1.2});
            e.push_back({xc + jitter(), yc - 0.25 * s + jitter(), 0.05 * s, 0.1 * s, draw->Between(0, 180), 0.7});
            break;
        }
        case RingObject::kHead: {
            Phantom head;
            if (SheppLoganPhantom(draw->Between(0.9, 1.05) * s, &head).ok()) {
                e.assign(head.ellipses, head.ellipses + head.count);
                ReleasePhantom(&head);
            }
            break;
        }
        case RingObject::kDisk: {
            const double r = draw->Between(0.7, 0.95) * s;
            e.push_back({0, 0, r, r, 0, 1.0});
            e.push_back({0.35 * s + jitter(), 0.2 * s + jitter(), 0.15 * s, 0.08 * s, draw->Between(0, 180), 0.8});
            e.push_back({-0.3 * s + jitter(), -0.15 * s + jitter(), 0.1 * s, 0.1 * s, 0, -0.5});
            break;
        }
        case RingObject::kTube: {
            // A capillary on the axis, its wall a ring, with a body and a
            // small feature inside it: the wall's edges stay at the same
            // columns in every view.
            const double r = draw->Between(0.7, 0.95) * s, wall = draw->Between(0.03, 0.08) * s;
            e.push_back({0, 0, r, r, 0, 2.0});
            e.push_back({0, 0, r - wall, r - wall, 0, -2.0});
            e.push_back({draw->Between(-0.1, 0.1) * s, draw->Between(-0.1, 0.1) * s, 0.5 * s, 0.4 * s,
                         draw->Between(0, 180), 0.5});
            e.push_back({draw->Between(-0.2, 0.2) * s, draw->Between(-0.2, 0.2) * s, 0.08 * s, 0.08 * s, 0, 1.0});
            break;
        }
        case RingObject::kGrains: {
            // A matrix off the axis with grains in and around it.
            e.push_back({draw->Between(-0.2, 0.2) * s, draw->Between(-0.2, 0.2) * s, 0.7 * s, 0.6 * s,
                         draw->Between(0, 180), 0.5});
            for (int g = 0; g < 7; ++g) {
                double r = draw->Between(0.1, 0.85) * s, phi = draw->Between(0, 2 * 3.14159265358979323846);
                e.push_back({r * std::cos(phi), r * std::sin(phi), draw->Between(0.02, 0.08) * s,
                             draw->Between(0.02, 0.08) * s, draw->Between(0, 180), draw->Between(0.5, 3.0)});
            }
            break;
        }
    }
    return e;
}

// The columns the object covers in most views: the candidates for stripes
// that ring through it.
std::vector<int> CoveredColumns(const std::vector<double> &clean, int columns, int rows, double level) {
    std::vector<int> covered;
    for (int j = 2; j < columns - 2; ++j) {
        int seen = 0;
        for (int k = 0; k < rows; ++k) seen += clean[static_cast<std::size_t>(k) * columns + j] > 0.05 * level;
        if (seen > rows / 2) covered.push_back(j);
    }
    return covered;
}

// The column where the large object's shadow begins, in views where its
// shadow is widest and narrowest: its edge dwells between them.
void EdgeColumns(const std::vector<double> &clean, int columns, int rows, int *outer, int *inner) {
    int widest = columns, narrowest = 0;
    for (int k = 0; k < rows; ++k) {
        int first = 0;
        while (first < columns && clean[static_cast<std::size_t>(k) * columns + first] <= 0) ++first;
        widest = std::min(widest, first);
        narrowest = std::max(narrowest, first);
    }
    *outer = widest;
    *inner = narrowest;
}

struct Stripe {
    int column;
    double offset;  // added, in units of the level
    double gain;    // the sample multiplied by 1 + gain
    int first = 0, last = -1;  // views touched (last < 0: all)
    bool drift = false;        // the offset grows linearly over the views touched
    bool constant = false;     // the column reads `offset` alone (dead, saturated)
};

std::vector<Stripe> MakeStripes(RingStripes kind, const std::vector<int> &covered, int columns, int rows, int outer,
                                int inner, Draw *draw) {
    std::vector<Stripe> s;
    std::vector<char> used(columns, 0);
    // A column at least `gap` from those used already.
    auto pick = [&](int gap) {
        for (int tries = 0; tries < 1000; ++tries) {
            int j = covered[draw->Integer(0, static_cast<int>(covered.size()) - 1)];
            bool free = true;
            for (int d = -gap; d <= gap; ++d)
                if (j + d >= 0 && j + d < columns && used[j + d]) free = false;
            if (free) {
                used[j] = 1;
                return j;
            }
        }
        return covered[0];
    };
    switch (kind) {
        case RingStripes::kWeakOffsets:
        case RingStripes::kStrongOffsets: {
            double low = kind == RingStripes::kWeakOffsets ? 0.001 : 0.01;
            for (int i = 0; i < 8; ++i) s.push_back({pick(6), draw->Sign() * draw->LogBetween(low, 5 * low), 0});
            if (kind == RingStripes::kStrongOffsets) s.back().offset = 0.1 * draw->Sign();
            break;
        }
        case RingStripes::kWeakGains:
        case RingStripes::kStrongGains: {
            double low = kind == RingStripes::kWeakGains ? 0.001 : 0.01;
            for (int i = 0; i < 6; ++i) s.push_back({pick(6), 0, draw->Sign() * draw->LogBetween(low, 5 * low)});
            if (kind == RingStripes::kStrongGains) s.back().gain = 0.1 * draw->Sign();
            break;
        }
        case RingStripes::kClusters:
            for (int c = 0; c < 2; ++c) {
                int j = pick(10);
                int members = draw->Integer(3, 4);
                int placed[4] = {0, 1, 2, 4};
                if (draw->Uniform() < 0.5) placed[2] = 3;
                for (int m = 0; m < members; ++m) {
                    int col = std::min(columns - 3, j + placed[m]);
                    used[col] = 1;
                    double strength = draw->Sign() * draw->LogBetween(0.003, 0.05);
                    if (draw->Uniform() < 0.5) s.push_back({col, strength, 0});
                    else s.push_back({col, 0, strength});
                }
            }
            break;
        case RingStripes::kEdge: {
            // At the outermost reach of the shadow's edge, one and two
            // columns inside it, where its edge dwells, and mirrored.
            int spots[] = {outer, outer + 1, outer + 3, inner, inner - 1, columns - 1 - outer, columns - 1 - inner};
            for (int j : spots) {
                if (j < 1 || j > columns - 2 || used[j]) continue;
                used[j] = 1;
                double strength = draw->Sign() * draw->LogBetween(0.003, 0.05);
                if (draw->Uniform() < 0.6) s.push_back({j, strength, 0});
                else s.push_back({j, 0, strength});
            }
            break;
        }
        case RingStripes::kPartial:
            for (int i = 0; i < 6; ++i) {
                Stripe p{pick(6), draw->Sign() * draw->LogBetween(0.003, 0.05), 0};
                int length = draw->Integer(rows / 5, 3 * rows / 4);
                p.first = draw->Integer(0, rows - length);
                p.last = p.first + length - 1;
                p.drift = i % 2 == 1;
                if (p.drift && draw->Uniform() < 0.5) p.last = rows - 1;
                s.push_back(p);
            }
            break;
        case RingStripes::kDead: {
            for (int i = 0; i < 3; ++i) s.push_back({pick(6), 0, 0, 0, -1, false, true});
            int pair = pick(8);
            if (pair + 1 < columns) {
                used[pair + 1] = 1;
                s.push_back({pair, 0, 0, 0, -1, false, true});
                s.push_back({pair + 1, 0, 0, 0, -1, false, true});
            }
            for (int i = 0; i < 2; ++i) s.push_back({pick(6), draw->Between(0.9, 1.1), 0, 0, -1, false, true});
            break;
        }
        case RingStripes::kMixed: {
            for (int i = 0; i < 8; ++i) s.push_back({pick(6), draw->Sign() * draw->LogBetween(0.001, 0.01), 0});
            for (int i = 0; i < 6; ++i) s.push_back({pick(6), 0, draw->Sign() * draw->LogBetween(0.002, 0.05)});
            // Two of them joined by a third within five columns.
            int j = s[0].column;
            if (j + 4 < columns && !used[j + 2] && !used[j + 4]) {
                used[j + 2] = used[j + 4] = 1;
                s.push_back({j + 2, 0, draw->Sign() * 0.03});
                s.push_back({j + 4, draw->Sign() * 0.005, 0});
            }
            if (outer > 1 && !used[outer]) s.push_back({outer, draw->Sign() * 0.008, 0});
            break;
        }
    }
    return s;
}

const char *ObjectName(RingObject object) {
    switch (object) {
        case RingObject::kCentred: return "centred";
        case RingObject::kOffAxis: return "off-axis";
        case RingObject::kHead: return "head";
        case RingObject::kGrains: return "grains";
        case RingObject::kDisk: return "disk";
        case RingObject::kTube: return "capillary";
    }
    return "";
}

const char *StripesName(RingStripes stripes) {
    switch (stripes) {
        case RingStripes::kWeakOffsets: return "weak offsets";
        case RingStripes::kStrongOffsets: return "strong offsets";
        case RingStripes::kWeakGains: return "weak gains";
        case RingStripes::kStrongGains: return "strong gains";
        case RingStripes::kClusters: return "clusters";
        case RingStripes::kEdge: return "edge";
        case RingStripes::kPartial: return "partial";
        case RingStripes::kDead: return "dead";
        case RingStripes::kMixed: return "mixed";
    }
    return "";
}

}  // namespace

std::string RingCaseName(const RingCaseShape &shape) {
    std::string name = std::string(StripesName(shape.stripes)) + ", " + ObjectName(shape.object) + ", " +
                       std::to_string(shape.columns) + "x" + std::to_string(shape.rows) + ", seed " +
                       std::to_string(shape.seed);
    if (shape.noise > 0) name += ", noisy";
    return name;
}

RingCase MakeRingCase(const RingCaseShape &shape) {
    RingCase c;
    c.name = RingCaseName(shape);
    c.columns = shape.columns;
    c.rows = shape.rows;
    const int n = shape.columns, m = shape.rows;
    Draw draw(shape.seed * 131 + static_cast<unsigned>(shape.stripes) * 17 + static_cast<unsigned>(shape.object));
    std::vector<Ellipse> ellipses = ObjectEllipses(shape.object, 0.4 * n, &draw);
    Phantom phantom{static_cast<int>(ellipses.size()), ellipses.data()};
    ViewSet views;
    if (!EvenHalfTurn(m, &views).ok()) return c;
    double axis = (n - 1) / 2.0;
    c.clean.assign(static_cast<std::size_t>(n) * m, 0.0);
    for (int k = 0; k < m; ++k)
        PhantomView(phantom, views.cosines[k], views.sines[k], axis, n, c.clean.data() + static_cast<std::size_t>(k) * n);
    ReleaseViews(&views);
    double level = *std::max_element(c.clean.begin(), c.clean.end());
    // The object's edge, found before the noise: in noise the air reads
    // above nothing somewhere in most views, and the edge's stripes went
    // to the detector's ends.
    int outer = 0, inner = 0;
    EdgeColumns(c.clean, n, m, &outer, &inner);
    if (shape.noise > 0)
        for (double &v : c.clean) v += shape.noise * level * draw.Normal();

    std::vector<EllipseFrame> frames;
    for (const Ellipse &e : ellipses) frames.push_back(FrameOf(e));
    c.truth.assign(static_cast<std::size_t>(n) * n, 0.0);
    std::vector<Real> sums(n);
    Grid grid = AxisGrid(n);
    for (int r = 0; r < n; ++r)
        PhantomImageRow(frames.data(), static_cast<int>(frames.size()), grid, r, sums.data(),
                        c.truth.data() + static_cast<std::size_t>(r) * n);

    std::vector<int> covered = CoveredColumns(c.clean, n, m, level);
    c.striped = c.clean;
    for (const Stripe &s : MakeStripes(shape.stripes, covered, n, m, outer, inner, &draw)) {
        int last = s.last < 0 ? m - 1 : s.last;
        for (int k = s.first; k <= last; ++k) {
            double &v = c.striped[static_cast<std::size_t>(k) * n + s.column];
            double offset = s.offset * level;
            if (s.drift) offset *= (k - s.first + 1.0) / (last - s.first + 1.0);
            v = s.constant ? offset : v * (1 + s.gain) + offset;
        }
    }
    return c;
}

std::vector<double> RingReconstruct(const std::vector<double> &samples, int columns, int rows) {
    std::vector<double> image(static_cast<std::size_t>(columns) * columns, 0.0);
    ViewSet views;
    ViewFilter filter;
    if (!EvenHalfTurn(rows, &views).ok()) return image;
    if (MakeViewFilter(columns, Kernel::kShepp, 2, &filter)) {
        std::vector<double> copy = samples;
        ReconstructImage(filter, copy.data(), views, Detector{columns, (columns - 1) / 2.0}, AxisGrid(columns), 1.0,
                         image.data());
    }
    ReleaseViews(&views);
    return image;
}

double FieldRms(const std::vector<double> &image, int columns) {
    double half = (columns - 1) / 2.0, radius = columns / 2.0 - 2, sum = 0;
    long count = 0;
    for (int r = 0; r < columns; ++r)
        for (int j = 0; j < columns; ++j) {
            if ((r - half) * (r - half) + (j - half) * (j - half) > radius * radius) continue;
            double d = image[static_cast<std::size_t>(r) * columns + j];
            sum += d * d;
            ++count;
        }
    return std::sqrt(sum / count);
}

namespace {

std::vector<double> Difference(const std::vector<double> &a, const std::vector<double> &b) {
    std::vector<double> d(a.size());
    for (std::size_t i = 0; i < a.size(); ++i) d[i] = a[i] - b[i];
    return d;
}

}  // namespace

RingMeasure MeasureRingCase(const RingCase &c, const std::vector<double> &cleaned,
                            const std::vector<double> &clean_cleaned) {
    // Filtered back-projection is linear: the reconstruction of a
    // difference is the difference of the reconstructions.
    RingMeasure m{};
    m.striped_error = FieldRms(RingReconstruct(Difference(c.striped, c.clean), c.columns, c.rows), c.columns);
    if (!cleaned.empty())
        m.ring_ratio =
            FieldRms(RingReconstruct(Difference(cleaned, c.clean), c.columns, c.rows), c.columns) / m.striped_error;
    if (!clean_cleaned.empty()) {
        m.clean_error =
            FieldRms(Difference(RingReconstruct(c.clean, c.columns, c.rows), c.truth), c.columns);
        m.clean_ratio =
            FieldRms(RingReconstruct(Difference(clean_cleaned, c.clean), c.columns, c.rows), c.columns) / m.clean_error;
    }
    return m;
}
