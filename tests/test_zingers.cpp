// The zinger filters: the decision in closed form, a band against the
// filter written as it reads, the false alarms and catches on simulated
// photon counts of phantom scans, and the flat and dark levels.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <omp.h>

#include "cli/run.h"
#include "cli/tiff_stack.h"
#include "flat_levels.h"
#include "images.h"
#include "phantom.h"
#include "phantom_rays.h"
#include "real.h"
#include "zingers.h"

namespace {

// Hand-worked decisions. The slope: a plane 1000 + 100 column with 4 added
// above and taken below the sample: median 1000, every prediction 1000,
// residuals 0 0 4/3 4/3 4/3 4/3 8/3 8/3 about the fitted plane, so
// s = 1.4826 sqrt(8/5) 4/3 = 2.50048; for counts the noise is
// sqrt(1000) = 31.6228.
TEST(Zingers, TheDecisionInClosedForm) {
    const double slope[8] = {900, 1004, 1100, 900, 1100, 900, 996, 1100};
    const double level[8] = {10, 10, 10, 10, 10, 10, 10, 10};
    const double plane[8] = {900, 1000, 1100, 900, 1100, 900, 1000, 1100};
    const double zero[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    // Within its own view: columns -2, -1, 1, 2.
    const int own_views[4] = {0, 0, 0, 0}, own_columns[4] = {-2, -1, 1, 2};
    // A zinger beside the sample (column -1) is passed over for column -2;
    // median 1000, noise sqrt(1000), prediction 1000.
    const double beside[4] = {1000, 5000, 997, 1000};
    // An edge: the sample on the high side is predicted by column 1;
    // median 550, noise sqrt(550) = 23.4521.
    const double edge[4] = {98, 100, 1000, 1002};
    // A steep edge that holds still over the views, the sample on its
    // slope: the diagonal pairs straddle it (their means 13500), the pair in
    // the sample's column agrees and predicts 11750; median 11750, noise
    // sqrt(11750) = 108.397, so 6 noises are 650.38 (counts).
    const double across[8] = {20000, 11800, 7000, 20000, 7000, 20000, 11700, 7000};
    struct Case {
        const char *name;
        const double *values;
        bool ring;
        double sample, threshold;
        bool counts, floor, zinger;
        double median;
    } cases[] = {
        {"slope, spread", slope, true, 1010, 4, false, false, false, 0},
        {"slope, spread", slope, true, 1010.01, 4, false, false, true, 1000},
        {"slope, counts", slope, true, 1126, 4, true, false, false, 0},
        {"slope, counts", slope, true, 1127, 4, true, false, true, 1000},
        // On a plane the spread is 0: nothing is replaced, counts or not,
        // at any threshold; a flat's photon noise still judges.
        {"plane", plane, true, 1e9, 1e-300, false, false, false, 0},
        {"plane, counts", plane, true, 1e9, 1e-300, true, false, false, 0},
        {"noise-free line integrals", zero, true, 1.459, 1e-300, false, false, false, 0},
        {"flat, photon floor", level, true, 10 + 6 * std::sqrt(10.0) - 0.01, 6, true, true, false, 0},
        {"flat, photon floor", level, true, 10 + 6 * std::sqrt(10.0) + 0.01, 6, true, true, true, 10},
        {"edge across the diagonals, counts", across, true, 12400, 6, true, false, false, 0},
        {"edge across the diagonals, counts", across, true, 12401, 6, true, false, true, 11750},
        // Not counts: every pair's mean may be the sample's (13500).
        {"edge across the diagonals", across, true, 13051, 6, false, false, false, 0},
        {"zinger beside", beside, false, 1189, 6, true, false, false, 0},
        {"zinger beside", beside, false, 1190, 6, true, false, true, 1000},
        {"edge", edge, false, 1090, 4, true, false, false, 0},
        {"edge", edge, false, 1100, 4, true, false, true, 550},
        // Not a number never; +infinity wherever the spread is above zero.
        {"not a number", slope, true, NAN, 4, true, false, false, 0},
        {"infinity", slope, true, INFINITY, 1e300, false, false, true, 1000},
        {"infinity on a plane", plane, true, INFINITY, 1, true, false, false, 0},
    };
    for (const Case &c : cases) {
        double median = 0;
        bool zinger = c.ring ? IsZinger(c.sample, c.values, kRingViews, kRingColumns, 8,
                                        ZingerNoise{c.threshold, c.counts, c.floor}, &median)
                             : IsZinger(c.sample, c.values, own_views, own_columns, 4,
                                        ZingerNoise{c.threshold, c.counts, c.floor}, &median);
        EXPECT_EQ(zinger, c.zinger) << c.name << " " << c.sample;
        if (c.zinger) {
            EXPECT_EQ(median, c.median) << c.name;
        }
    }
    double median = 0;
    EXPECT_FALSE(IsZinger(INFINITY, slope, kRingViews, kRingColumns, 0, ZingerNoise{1, true}, &median));
    // No column beside it within two (those not finite): no prediction.
    const int far_columns[4] = {-4, -3, 3, 4};
    EXPECT_FALSE(IsZinger(1e9, edge, own_views, far_columns, 4, ZingerNoise{6, true}, &median));
}

// RemoveZingers written as the header reads, on a copy as read: the
// neighbours of each sample gathered one by one, IsZinger deciding.
std::vector<double> FilteredAsRead(const std::vector<double> &band, int rows, int views, int columns,
                                   const std::vector<double> &angles, ZingerNoise noise, long long *replaced) {
    std::vector<double> out = band;
    *replaced = 0;
    for (int j = 0; j < rows; ++j)
        for (int v = 0; v < views; ++v)
            for (int c = 0; c < columns; ++c) {
                auto at = [&](int view, int column) {
                    return band[(static_cast<std::size_t>(j) * views + view) * columns + column];
                };
                bool up = v > 0 && ViewsClose(angles[v - 1], angles[v], columns);
                bool down = v + 1 < views && ViewsClose(angles[v], angles[v + 1], columns);
                double values[8];
                int dv[8], dc[8], n = 0;
                auto add = [&](int view_offset, int column_offset) {
                    int w = v + view_offset, k = c + column_offset;
                    if (k < 0 || k >= columns || !std::isfinite(at(w, k))) return;
                    values[n] = at(w, k), dv[n] = view_offset, dc[n] = column_offset;
                    ++n;
                };
                if (!up && !down) {
                    for (int k : {-4, -3, -2, -1, 1, 2, 3, 4}) add(0, k);
                } else {
                    for (int i = 0; i < 8; ++i)
                        if ((kRingViews[i] < 0 && up) || kRingViews[i] == 0 || (kRingViews[i] > 0 && down))
                            add(kRingViews[i], kRingColumns[i]);
                }
                double median = 0;
                if (IsZinger(at(v, c), values, dv, dc, n, noise, &median)) {
                    out[(static_cast<std::size_t>(j) * views + v) * columns + c] = median;
                    ++*replaced;
                }
            }
    return out;
}

TEST(Zingers, ABandEqualsTheFilterAsWrittenAndBandsDoNotMatter) {
    const int rows = 3, views = 17, columns = 13;
    // Views 1 degree apart, then a jump of 20 degrees (far for 13 columns:
    // the views beside it are judged on one side or within their own).
    std::vector<double> angles(views);
    for (int v = 0; v < views; ++v) angles[v] = (v + (v >= 9 ? 20 : 0) + (v >= 13 ? 20 : 0)) * kPi / 180;
    std::mt19937 random(11);
    std::uniform_real_distribution<double> chance(0, 1);
    std::vector<double> band(static_cast<std::size_t>(rows) * views * columns);
    for (std::size_t i = 0; i < band.size(); ++i) {
        std::poisson_distribution<int> counts(1000 + 800 * std::sin(0.7 * static_cast<double>(i % columns)));
        band[i] = counts(random);
        // 3 % zingers, some of them side by side, a few not finite.
        if (chance(random) < 0.03) band[i] *= 3;
        if (i == 40) band[i] = INFINITY;
        if (i == 41) band[i] = std::nan("");
    }
    for (bool counts : {true, false}) {
        ZingerNoise noise{4, counts};
        long long expected_count = 0;
        std::vector<double> expected = FilteredAsRead(band, rows, views, columns, angles, noise, &expected_count);
        std::vector<double> whole = band;
        long long count = 0;
        ASSERT_TRUE(RemoveZingers(whole.data(), rows, views, columns, angles.data(), noise, &count).ok());
        EXPECT_EQ(count, expected_count);
        EXPECT_GT(count, 10);
        for (std::size_t i = 0; i < band.size(); ++i) {
            if (std::isnan(expected[i])) continue;
            ASSERT_EQ(whole[i], expected[i]) << i;
        }
        EXPECT_TRUE(std::isnan(whole[41]));
        EXPECT_TRUE(std::isfinite(whole[40]));
        // One thread: the same.
        std::vector<double> alone = band;
        omp_set_num_threads(1);
        ASSERT_TRUE(RemoveZingers(alone.data(), rows, views, columns, angles.data(), noise, &count).ok());
        omp_set_num_threads(omp_get_num_procs());
        EXPECT_EQ(std::memcmp(alone.data(), whole.data(), band.size() * sizeof(double)), 0);
        // One sinogram at a time: the same.
        std::vector<double> apart = band;
        long long total = 0;
        for (int j = 0; j < rows; ++j) {
            long long one = 0;
            ASSERT_TRUE(RemoveZingers(apart.data() + static_cast<std::size_t>(j) * views * columns, 1, views, columns,
                                      angles.data(), noise, &one)
                            .ok());
            total += one;
        }
        EXPECT_EQ(total, count);
        EXPECT_EQ(std::memcmp(apart.data(), whole.data(), band.size() * sizeof(double)), 0);
    }
}

TEST(Zingers, EveryThreadCountGivesTheSameBand) {
    // Each thread keeps the views it reads in scratch of its own: shared,
    // one thread's views would be judged with another's. Many sinograms
    // and more threads than cores, so that threads run at the same time
    // whatever the machine's load; every count the bytes of one thread.
    const int rows = 32, views = 180, columns = 192;
    std::mt19937 random(29);
    std::uniform_real_distribution<double> chance(0, 1);
    std::vector<double> band(static_cast<std::size_t>(rows) * views * columns);
    for (std::size_t i = 0; i < band.size(); ++i) {
        std::poisson_distribution<int> counts(2000 + 1500 * std::sin(0.05 * static_cast<double>(i % columns)));
        band[i] = counts(random) * (chance(random) < 0.01 ? 2.0 : 1.0);
    }
    const ZingerNoise noise{4, true};
    std::vector<double> alone = band;
    long long alone_count = 0;
    omp_set_num_threads(1);
    ASSERT_TRUE(RemoveZingers(alone.data(), rows, views, columns, nullptr, noise, &alone_count).ok());
    EXPECT_GT(alone_count, 1000);
    for (int threads : {2, 3, 8, 16}) {
        omp_set_num_threads(threads);
        std::vector<double> many = band;
        long long count = 0;
        ASSERT_TRUE(RemoveZingers(many.data(), rows, views, columns, nullptr, noise, &count).ok());
        EXPECT_EQ(count, alone_count) << threads << " threads";
        EXPECT_EQ(std::memcmp(many.data(), alone.data(), band.size() * sizeof(double)), 0) << threads << " threads";
    }
    omp_set_num_threads(omp_get_num_procs());
}

// Photon counts of phantom scans, 20,000 in the open beam and down to
// 20,000 e^-2 behind the object: the usual threshold replaces under
// 0.01 % of a zinger-free scan, and catches zingers of 10 to 12 photon-noise
// spreads added to 0.1 % of the samples: every one that stands alone away
// from the object's edges, and at least 97 % of all (a zinger on an edge
// that moves fast through the views, or beside another one, may hide).
TEST(Zingers, FalseAlarmsAndCatchesOnSimulatedCounts) {
    struct Case {
        const char *name;
        bool shepp;
        int columns, views;
    } cases[] = {
        {"shepp-logan, close views", true, 256, 720},
        {"ellipses, close views", false, 256, 720},
        {"shepp-logan, 90 views", true, 256, 90},
        {"ellipses, 45 views", false, 256, 45},
    };
    for (const Case &c : cases) {
        const int n = c.columns, m = c.views;
        Phantom phantom;
        std::vector<Ellipse> ellipses = {{0, 0, 0.4 * n, 0.3 * n, 20, 1},
                                         {-0.2 * n, 0.1 * n, 0.05 * n, 0.05 * n, 0, 0.5},
                                         {0.15 * n, -0.1 * n, 0.03 * n, 0.06 * n, 30, -0.3}};
        if (c.shepp) {
            ASSERT_TRUE(SheppLoganPhantom(0.45 * n, &phantom).ok());
        } else {
            phantom = Phantom{3, ellipses.data()};
        }
        std::vector<double> p(static_cast<std::size_t>(m) * n), angles(m);
        for (int k = 0; k < m; ++k) {
            angles[k] = k * kPi / m;
            PhantomView(phantom, std::cos(angles[k]), std::sin(angles[k]), (n - 1) / 2.0, n, p.data() + k * n);
        }
        if (c.shepp) ReleasePhantom(&phantom);
        double largest = *std::max_element(p.begin(), p.end());
        std::vector<double> level(p.size()), counts(p.size());
        std::mt19937 random(7);
        for (std::size_t i = 0; i < p.size(); ++i) {
            level[i] = 20000 * std::exp(-2 * p[i] / largest);
            std::poisson_distribution<int> photons(level[i]);
            counts[i] = photons(random);
        }
        ZingerNoise noise{kUsualZingerThreshold, true};
        std::vector<double> clean = counts;
        long long false_alarms = 0;
        ASSERT_TRUE(RemoveZingers(clean.data(), 1, m, n, angles.data(), noise, &false_alarms).ok());
        // Zingers; a place is at an edge where the true counts around it
        // (two columns and one view each way) span over 10 photon-noise
        // spreads.
        std::vector<double> struck = counts;
        std::vector<std::size_t> at;
        std::vector<char> hit_place(counts.size(), 0);
        std::uniform_int_distribution<std::size_t> anywhere(0, counts.size() - 1);
        std::uniform_real_distribution<double> size(10, 12);
        for (std::size_t z = 0; z < counts.size() / 1000; ++z) {
            std::size_t i = anywhere(random);
            struck[i] += size(random) * std::sqrt(level[i]);
            at.push_back(i);
            hit_place[i] = 1;
        }
        // A zinger stands alone off the edges when no other one lies there.
        auto alone = [&](std::size_t i) {
            int v = static_cast<int>(i / n), col = static_cast<int>(i % n);
            double low = level[i], high = level[i];
            int others = 0;
            for (int dv = -1; dv <= 1; ++dv)
                for (int dc = -2; dc <= 2; ++dc) {
                    int w = v + dv, k = col + dc;
                    if (w < 0 || w >= m || k < 0 || k >= n) continue;
                    std::size_t there = static_cast<std::size_t>(w) * n + k;
                    low = std::min(low, level[there]);
                    high = std::max(high, level[there]);
                    others += there != i && hit_place[there];
                }
            return others == 0 && high - low <= 10 * std::sqrt(level[i]);
        };
        std::vector<double> filtered = struck;
        long long replaced = 0;
        ASSERT_TRUE(RemoveZingers(filtered.data(), 1, m, n, angles.data(), noise, &replaced).ok());
        int caught = 0, inside = 0, caught_inside = 0;
        for (std::size_t i : at) {
            bool hit = filtered[i] != struck[i];
            caught += hit;
            if (alone(i)) ++inside, caught_inside += hit;
        }
        double rate = 100.0 * false_alarms / static_cast<double>(counts.size());
        std::printf("%-26s %4d x %3d: %lld false alarms (%.4f %%); caught %d of %zu zingers, %d of %d alone off the edges\n",
                    c.name, n, m, false_alarms, rate, caught, at.size(), caught_inside, inside);
        EXPECT_LT(rate, 0.01) << c.name;
        EXPECT_EQ(caught_inside, inside) << c.name;
        EXPECT_GE(caught, 0.97 * static_cast<double>(at.size())) << c.name;
    }
}

// The flat and dark levels, from TIFF images of 6 x 4 pixels.
TEST(FlatLevels, SeveralImagesLeaveTheirZingersOutAndOneImageIsFiltered) {
    Scratch scratch;
    const int columns = 6, rows = 4;
    const std::size_t pixels = columns * rows;
    std::mt19937 random(3);
    std::normal_distribution<double> photon(0, 100);
    auto flat = [&] {
        std::vector<double> page(pixels);
        for (double &v : page) v = std::round(10000 + photon(random));
        return page;
    };
    struct Case {
        const char *name;
        int images;
        int struck_image;  // -1: none
        double threshold;
        long long removed;
    } cases[] = {
        {"five flats", 5, 2, 6, 1},
        {"two flats", 2, 1, 6, 1},
        {"one flat", 1, 0, 6, 1},
        {"five flats, no threshold", 5, 2, 0, 0},
        {"five clean flats", 5, -1, 6, 0},
    };
    for (const Case &c : cases) {
        std::vector<std::vector<double>> pages;
        for (int k = 0; k < c.images; ++k) pages.push_back(flat());
        std::vector<std::vector<double>> clean = pages;
        // A zinger of 50 photon-noise spreads at row 1, column 2.
        if (c.struck_image >= 0) pages[c.struck_image][1 * columns + 2] += 5000;
        ASSERT_TRUE(WriteTiff(scratch.Path("f.tif"), pages, columns, rows, SampleKind::kF64));
        Images images;
        std::string name = scratch.Path("f.tif");  // the stack keeps the name
        ASSERT_TRUE(TiffImages({name.c_str()}, &images).ok());
        // The level of rows 1 and 2, with room for every image's two rows.
        std::vector<double> level(2 * columns), page(2 * columns), work(2 * columns * 5);
        long long removed = 0;
        Status read = FlatLevel(images, 1, 2, ZingerNoise{c.threshold, false}, level.data(), page.data(), work.data(),
                                work.size(), &removed);
        ASSERT_TRUE(read.ok()) << read.message;
        EXPECT_EQ(removed, c.removed) << c.name;
        for (int j = 0; j < 2; ++j)
            for (int col = 0; col < columns; ++col) {
                std::size_t i = static_cast<std::size_t>(j + 1) * columns + col;
                double mean = 0, mean_clean = 0;
                for (int k = 0; k < c.images; ++k) mean += pages[k][i], mean_clean += clean[k][i];
                mean /= c.images, mean_clean /= c.images;
                double got = level[static_cast<std::size_t>(j) * columns + col];
                if (c.threshold == 0 || (c.images > 1 && c.struck_image < 0)) {
                    EXPECT_EQ(got, mean) << c.name;
                } else if (c.images > 1 && i != 1 * columns + 2) {
                    EXPECT_EQ(got, mean) << c.name << " " << i;
                } else if (c.images > 1) {
                    // The struck image left out of the struck pixel's mean.
                    double rest = (mean * c.images - pages[c.struck_image][i]) / (c.images - 1);
                    EXPECT_DOUBLE_EQ(got, rest) << c.name;
                } else if (i == 1 * columns + 2) {
                    EXPECT_LT(std::fabs(got - 10000), 400) << c.name;  // a neighbours' median
                } else {
                    EXPECT_EQ(got, pages[0][i]) << c.name << " " << i;
                }
            }
    }
}

}  // namespace
