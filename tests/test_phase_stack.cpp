// Phase retrieval (formats/phase.h) against phase_stack's propagation: a
// plate of one material, propagated by the angular-spectrum method and
// retrieved, gives back its projected thickness and loses its fringes;
// the filter's rows do not depend on the rows read with them, nor on the
// threads; the simulator's thickness and transmission are the closed
// forms; the options' numbers are checked.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "oracle/phase_oracle.h"
#include "phase.h"
#include "phase_stack/propagate.h"

namespace {

// delta/beta 1000, 10 keV, 0.1 m, 5 micrometre pixels: the pixel's
// Fresnel number pixel^2 / (lambda z) is 2, the 48-pixel plate's 4800.
const Material kMaterial{5e-8, 5e-11, 0.1, 10, 5e-6};
constexpr int kSide = 96, kLow = 24, kHigh = 72;  // the plate: [24, 72) squared
constexpr double kPlate = 20;                     // its thickness, pixels

std::vector<double> PlateThickness() {
    std::vector<double> t(kSide * kSide, 0.0);
    for (int y = kLow; y < kHigh; ++y)
        for (int x = kLow; x < kHigh; ++x) t[y * kSide + x] = kPlate;
    return t;
}

// mu t of the plate: 4 pi beta / lambda times its thickness in metres.
double PlateLineIntegral() {
    return 4 * 3.14159265358979 * kMaterial.beta / WavelengthOfEnergy(kMaterial.energy) * kPlate * kMaterial.pixel;
}

std::vector<double> Intensity(const Material &material, const std::vector<double> &thickness) {
    Propagator propagator;
    EXPECT_TRUE(MakePropagator(material, kSide, 1, &propagator).ok());
    std::vector<double> intensity(kSide * kSide);
    Propagate(propagator, 0, thickness.data(), intensity.data());
    ReleasePropagator(&propagator);
    return intensity;
}

// Rows [first, first + count) of one view retrieved with delta/beta.
std::vector<double> Retrieved(const std::vector<double> &intensity, double delta_beta, int threads = 1,
                              int first = 0, int count = kSide, int views = 1) {
    PhaseSettings settings{delta_beta, kMaterial.distance, kMaterial.energy, kMaterial.pixel};
    PhaseFilter filter;
    EXPECT_TRUE(MakePhaseFilter(settings, kSide, kSide, threads, &filter).ok());
    int window_first = 0;
    int window_rows = PhaseWindow(filter.margin, filter.tile, kSide, first, count, &window_first);
    // The band layout: row j of view v at (j * views + v) * columns.
    std::vector<double> window(static_cast<std::size_t>(window_rows) * views * kSide);
    for (int j = 0; j < window_rows; ++j)
        for (int v = 0; v < views; ++v)
            std::memcpy(&window[(static_cast<std::size_t>(j) * views + v) * kSide],
                        &intensity[static_cast<std::size_t>(window_first + j) * kSide], kSide * sizeof(double));
    std::vector<double> out(static_cast<std::size_t>(count) * views * kSide);
    EXPECT_EQ(RetrievePhase(filter, window.data(), window_first, views, nullptr, nullptr, first, count,
                            out.data()),
              0);
    ReleasePhaseFilter(&filter);
    return out;
}

struct Figures {
    double interior;   // largest |p / (mu t) - 1| at least 8 pixels inside the plate
    double overshoot;  // largest excursion beyond [0, mu t], over mu t
    double edge;       // 10 % to 90 % rise of the middle row, pixels
};

Figures Measure(const std::vector<double> &p) {
    double step = PlateLineIntegral();
    Figures f{0, 0, 0};
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            double value = p[y * kSide + x] / step;
            if (y >= kLow + 8 && y < kHigh - 8 && x >= kLow + 8 && x < kHigh - 8)
                f.interior = std::fmax(f.interior, std::fabs(value - 1));
            f.overshoot = std::fmax(f.overshoot, std::fmax(value - 1, -value));
        }
    const double *row = &p[(kSide / 2) * kSide];
    int x10 = 0, x90 = 0;
    while (x10 < kSide / 2 && row[x10] < 0.1 * step) ++x10;
    while (x90 < kSide / 2 && row[x90] < 0.9 * step) ++x90;
    f.edge = x90 - x10;
    return f;
}

TEST(PhaseRetrieval, APropagatedPlateComesBackWithoutFringes) {
    std::vector<double> intensity = Intensity(kMaterial, PlateThickness());
    std::vector<double> absorption(intensity.size());
    for (std::size_t i = 0; i < intensity.size(); ++i) absorption[i] = -std::log(intensity[i]);
    // What the logarithm alone gives: fringes far beyond the step.
    Figures plain = Measure(absorption);
    EXPECT_GT(plain.overshoot, 1.0);
    double true_ratio = kMaterial.delta / kMaterial.beta;
    struct Case {
        double factor;  // times the true delta/beta
        double interior_most, overshoot_least, overshoot_most, edge_least, edge_most;
    } const cases[] = {
        {1.0, 0.02, 0, 0.05, 0, 2},
        // Too large: the edge blurs over many pixels, and the blur reaches
        // 8 pixels inside.
        {2.0, 1, 0, 0.05, 10, 100},
        // Too small: fringes remain.
        {0.5, 1, 0.3, 1, 0, 2},
    };
    for (const Case &c : cases) {
        Figures f = Measure(Retrieved(intensity, c.factor * true_ratio));
        std::printf("delta/beta x %.1f: interior %.4f, overshoot %.4f, edge %.0f pixels (absorption: overshoot %.2f)\n",
                    c.factor, f.interior, f.overshoot, f.edge, plain.overshoot);
        EXPECT_LT(f.interior, c.interior_most) << c.factor;
        EXPECT_GE(f.overshoot, c.overshoot_least) << c.factor;
        EXPECT_LT(f.overshoot, c.overshoot_most) << c.factor;
        EXPECT_GE(f.edge, c.edge_least) << c.factor;
        EXPECT_LE(f.edge, c.edge_most) << c.factor;
    }
}

// A plate that the detector's left edge cuts: its columns there, and the
// empty ones at the right edge, are retrieved as the middle ones are (a
// transform without padding would join the two edges).
TEST(PhaseRetrieval, AnObjectCutByTheDetectorsEdgeKeepsItsEdgeColumns) {
    std::vector<double> t(kSide * kSide, 0.0);
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide / 2; ++x) t[y * kSide + x] = kPlate;
    std::vector<double> p = Retrieved(Intensity(kMaterial, t), kMaterial.delta / kMaterial.beta);
    double step = PlateLineIntegral();
    for (int y = 0; y < kSide; y += 5)
        for (int x : {0, 1, 20, 75, 94, 95})
            EXPECT_NEAR(p[y * kSide + x] / step, x < kSide / 2, 0.02) << y << " " << x;
}

// delta/beta 1: a margin of 4 rows and tiles of 32, so that 96 rows are
// three tiles; rows retrieved in pieces, or by three threads, are the rows
// retrieved at once, to the bit.
TEST(PhaseRetrieval, RowsDoNotDependOnTheRowsReadWithThemNorOnThreads) {
    std::vector<double> intensity = Intensity(kMaterial, PlateThickness());
    std::vector<double> whole = Retrieved(intensity, 1, 1, 0, kSide, 3);
    EXPECT_EQ(std::memcmp(whole.data(), Retrieved(intensity, 1, 3, 0, kSide, 3).data(), whole.size() * 8), 0);
    std::size_t row = 3 * kSide;
    for (int first : {0, 5, 30, 31, 64, 90}) {
        int count = first + 7 <= kSide ? 7 : kSide - first;
        std::vector<double> piece = Retrieved(intensity, 1, 2, first, count, 3);
        EXPECT_EQ(std::memcmp(piece.data(), whole.data() + first * row, piece.size() * 8), 0) << first;
    }
}

// Counts I = ratio (F - D) + D against mean flat and dark rows are the
// ratios filtered; a sample that is not a number counts once as clamped.
TEST(PhaseRetrieval, FlatsAndDarksNormaliseBeforeTheFilter) {
    std::vector<double> intensity = Intensity(kMaterial, PlateThickness());
    double ratio = kMaterial.delta / kMaterial.beta;
    std::vector<double> expected = Retrieved(intensity, ratio);
    std::vector<double> counts(intensity.size()), flat(intensity.size(), 1000.0), dark(intensity.size(), 100.0);
    for (std::size_t i = 0; i < counts.size(); ++i) counts[i] = intensity[i] * 900 + 100;
    PhaseSettings settings{ratio, kMaterial.distance, kMaterial.energy, kMaterial.pixel};
    PhaseFilter filter;
    ASSERT_TRUE(MakePhaseFilter(settings, kSide, kSide, 1, &filter).ok());
    std::vector<double> got(counts.size());
    EXPECT_EQ(RetrievePhase(filter, counts.data(), 0, 1, flat.data(), dark.data(), 0, kSide, got.data()), 0);
    for (std::size_t i = 0; i < got.size(); ++i) ASSERT_NEAR(got[i], expected[i], 1e-12) << i;
    counts[5 * kSide + 7] = std::nan("");
    EXPECT_EQ(RetrievePhase(filter, counts.data(), 0, 1, flat.data(), dark.data(), 0, kSide, got.data()), 1);
    ReleasePhaseFilter(&filter);
}

// Tiles with their margins against the whole projection filtered at
// once: 300 rows, delta/beta 100 (margins of 32 rows, tiles of 64: five
// tiles); the line integrals differ by the kernel's weight beyond the
// margin, 6e-7, times the ratios' range (0.7) over the smallest ratio
// (0.3): 1.4e-6 and so.
TEST(PhaseRetrieval, TilesAreTheWholeProjectionFilteredAtOnce) {
    constexpr int kRows = 300, kColumns = 40;
    PhaseSettings settings{100, kMaterial.distance, kMaterial.energy, kMaterial.pixel};
    std::vector<double> ratio(kRows * kColumns);
    for (int y = 0; y < kRows; ++y)
        for (int x = 0; x < kColumns; ++x) {
            // Plates of different thickness with sharp edges, and a slope.
            double p = 0.3 * ((y / 37) % 3) + 0.2 * (x > 13 && x < 29 && y % 90 > 20) + 0.001 * y;
            ratio[y * kColumns + x] = std::exp(-p);
        }
    std::vector<double> expected(ratio.size());
    PaganinWholeProjection(ratio.data(), kRows, kColumns, PaganinCoefficient(settings), settings.pixel,
                           expected.data());
    PhaseFilter filter;
    ASSERT_TRUE(MakePhaseFilter(settings, kRows, kColumns, 1, &filter).ok());
    ASSERT_EQ(filter.margin, 32);
    std::vector<double> got(ratio.size());
    EXPECT_EQ(RetrievePhase(filter, ratio.data(), 0, 1, nullptr, nullptr, 0, kRows, got.data()), 0);
    ReleasePhaseFilter(&filter);
    double worst = 0;
    for (std::size_t i = 0; i < got.size(); ++i) worst = std::fmax(worst, std::fabs(got[i] - expected[i]));
    std::printf("largest difference from the whole projection: %.2e (range 0.9)\n", worst);
    EXPECT_LT(worst, 3e-6);
}

// The simulator's closed forms: a ball's thickness is its chord; with no
// distance the detector sees the transmission exp(-mu t), t in metres.
TEST(PhaseStack, ThicknessAndTransmissionAreTheClosedForms) {
    Ellipse ball{0, 0, 20, 20, 0, 1};
    Phantom phantom{1, &ball};
    std::vector<double> t(kSide * kSide);
    ProjectedThickness(phantom, 1, 0, kSide, t.data());
    // Row r at height 47.5 - r, column i at i - 47.5.
    for (int r : {30, 47, 60})
        for (int i : {40, 47, 52}) {
            double h = 47.5 - r, x = i - 47.5;
            EXPECT_NEAR(t[r * kSide + i], 2 * std::sqrt(400 - h * h - x * x), 1e-9) << r << " " << i;
        }
    EXPECT_EQ(t[27 * kSide + 47], 0);  // 20.5 above the middle
    Material contact = kMaterial;
    contact.distance = 0;
    std::vector<double> intensity = Intensity(contact, t);
    double mu = 4 * 3.14159265358979 * kMaterial.beta / WavelengthOfEnergy(kMaterial.energy);
    for (std::size_t i = 0; i < t.size(); ++i)
        ASSERT_NEAR(intensity[i], std::exp(-mu * t[i] * kMaterial.pixel), 1e-12) << i;
}

TEST(PhaseArguments, EachNumberIsCheckedAndNamed) {
    struct Case {
        const char *text, *message;  // "" for success
    } const cases[] = {
        {"1000,0.1,10,5e-6", ""},
        {"1000,0.1,10", "bad phase retrieval (-P DELTA_BETA,DISTANCE,ENERGY,PIXEL)."},
        {"1000,0.1,10,5e-6,1", "bad phase retrieval (-P DELTA_BETA,DISTANCE,ENERGY,PIXEL)."},
        {"0,0.1,10,5e-6", "bad delta/beta (-P)."},
        {"1000,-1,10,5e-6", "bad distance (-P)."},
        {"1000,0.1,inf,5e-6", "bad energy (-P)."},
        {"1000,0.1,10,nan", "bad pixel (-P)."},
        {"1000,0.1,10,x", "bad pixel (-P): x."},
        {"1000,0.1,20keV,5e-6", "bad energy (-P): 20keV."},
        {"0x10,0.1,10,5e-6", "bad delta/beta (-P): 0x10."},
        {"1000,0,1,10,5e-6", "bad phase retrieval (-P DELTA_BETA,DISTANCE,ENERGY,PIXEL)."},
        {"1000,,10,5e-6", "bad distance (-P): ."},
    };
    for (const Case &c : cases) {
        PhaseSettings settings{};
        EXPECT_EQ(PhaseArgument(c.text, &settings).message, c.message) << c.text;
    }
    PhaseSettings settings{};
    ASSERT_TRUE(PhaseArgument("1000,0.1,10,5e-6", &settings).ok());
    EXPECT_EQ(settings.delta_beta, 1000);
    EXPECT_EQ(settings.distance, 0.1);
    EXPECT_EQ(settings.energy, 10);
    EXPECT_EQ(settings.pixel, 5e-6);
    // 16 decay lengths sqrt(pi lambda z delta/beta) / (2 pi) of 6.28 pixels.
    EXPECT_EQ(PhaseMarginRows(settings), 101);
}

}  // namespace
