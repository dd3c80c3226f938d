// Ellipse phantoms in the geometry library: the reader's every answer, the
// Shepp-Logan table, line integrals and pixel fractions against closed
// forms, and the fast image row against the pixel-by-pixel sum (the fast
// views against the straightforward evaluation are in test_phantom_sino).
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli/run.h"
#include "oracle/disk_image_oracle.h"
#include "phantom.h"
#include "phantom_file.h"
#include "phantom_pixels.h"
#include "phantom_rays.h"

namespace {

const double kPi = 3.141592653589793;

// The phantom of a file with these bytes, or the reader's message.
struct ReadResult {
    Phantom phantom;
    std::string message;
};

ReadResult ReadFile(const std::string &bytes) {
    Scratch scratch;
    scratch.Write("p.txt", bytes);
    ReadResult result;
    std::string path = scratch.Path("p.txt");
    Status status = ReadPhantom(path.c_str(), &result.phantom);
    // Messages name the file by its path; keep its last part.
    result.message = status.message;
    std::size_t at = result.message.find(path);
    if (at != std::string::npos) result.message.replace(at, path.size(), "p.txt");
    return result;
}

TEST(PhantomReader, EveryFileHasItsAnswer) {
    // Files that give the same answer share a row.
    struct Case {
        std::vector<std::string> files;
        int count;  // ellipses read, or -1
        const char *message;
    };
    const Case cases[] = {
        {{"1 -2 3 4 30 0.5\n", "1 -2 3 4 30 0.5",  // no final line feed
          "1 -2 3 4 30 0.5#comment right after\n", "0 0 1 1 1e300 1\n",  // any finite angle
          "0x10 0 1 1 0 1\n",                                              // strtod's hexadecimal
          "1e100 -1e100 1e100 1e-300 0 1e100\n"},                          // at the limits
         1, ""},
        {{"# head\n\n  1 -2 3 4 30 0.5   # skull\r\n\t0 0 1 1 0 -1\n#"}, 2, ""},
        {{"", "# nothing\n\n   \n"}, -1, "p.txt: no ellipses."},
        {{"1 2 3 4 5\n", "1 2 3 4 5 6 7\n", "1 2 3 4 5 x\n", "1 2 3 4 5 6x\n", "1 2 3 4 5 6,5\n"},
         -1, "p.txt: line 1: data read error."},
        {{"0 0 1 1 0 1\n0 0 1\0 1 0 1\n", "1 2 3 4 5 6\n1 2 3\n4 5 6\n"},  // one ellipse, one line
         -1, "p.txt: line 2: data read error."},
        {{"\n# c\n0 0 1 1 0 1\n\n0 0 1 1 0\n"}, -1, "p.txt: line 5: data read error."},
        {{"0 0 0 1 0 1\n", "0 0 1 -1 0 1\n", "nan 0 1 1 0 1\n", "0 inf 1 1 0 1\n", "0 0 1 1 -inf 1\n",
          "0 0 1 1 0 nan\n", "0 0 1e101 1 0 1\n", "0 0 1 1 0 -2e100\n"},
         -1, "p.txt: line 1: bad ellipse."},
        {{"0 0 1 1 0 1\n1.1e100 0 1 1 0 1\n"}, -1, "p.txt: line 2: bad ellipse."},
    };
    for (const Case &c : cases) {
        for (const std::string &file : c.files) {
            ReadResult r = ReadFile(file);
            EXPECT_EQ(r.message, c.message) << file;
            EXPECT_EQ(r.phantom.count, c.count < 0 ? 0 : c.count) << file;
            if (c.count < 0) {
                EXPECT_EQ(r.phantom.ellipses, nullptr) << file;
            }
            ReleasePhantom(&r.phantom);
        }
    }
}

TEST(PhantomReader, NumbersInTheirPlaces) {
    ReadResult r = ReadFile("# x y a b angle value\n1.5 -2 3 4 30 0.25\n-7 8e-1 9 10 -45.5 -1\n");
    ASSERT_EQ(r.phantom.count, 2);
    const Ellipse &e = r.phantom.ellipses[1];
    EXPECT_EQ(r.phantom.ellipses[0].xc, 1.5);
    EXPECT_EQ(r.phantom.ellipses[0].value, 0.25);
    EXPECT_EQ(e.xc, -7);
    EXPECT_EQ(e.yc, 0.8);
    EXPECT_EQ(e.a, 9);
    EXPECT_EQ(e.b, 10);
    EXPECT_EQ(e.angle, -45.5);
    EXPECT_EQ(e.value, -1);
    ReleasePhantom(&r.phantom);
}

TEST(PhantomReader, MissingFileAndTheSheppLoganWord) {
    Phantom phantom;
    EXPECT_EQ(ReadPhantom("no/such/phantom.txt", &phantom).message, "no/such/phantom.txt: file not found.");
    for (const char *word : {"shepp-logan:0", "shepp-logan:-5", "shepp-logan:nan", "shepp-logan:inf",
                             "shepp-logan:1.1e100"}) {
        EXPECT_EQ(ReadPhantom(word, &phantom).message, "bad shepp-logan radius.") << word;
        EXPECT_EQ(phantom.count, 0);
    }
    // R must be the whole rest of the word.
    for (const char *radius : {"", "head", "0x40", "100px", "99,5"}) {
        EXPECT_EQ(ReadPhantom((std::string("shepp-logan:") + radius).c_str(), &phantom).message,
                  std::string("bad shepp-logan radius: ") + radius + ".")
            << radius;
        EXPECT_EQ(phantom.count, 0);
    }
    ASSERT_TRUE(ReadPhantom("shepp-logan:100", &phantom).ok());
    ASSERT_EQ(phantom.count, 10);
    // The table scaled by 100: the skull, the brain, the two ventricles,
    // the three small ones at the bottom.
    const Ellipse expected[] = {
        {0, 0, 69, 92, 0, 1},           {0, -1.84, 66.24, 87.4, 0, -0.8}, {22, 0, 11, 31, -18, -0.2},
        {-22, 0, 16, 41, 18, -0.2},     {0, 35, 21, 25, 0, 0.1},          {0, 10, 4.6, 4.6, 0, 0.1},
        {0, -10, 4.6, 4.6, 0, 0.1},     {-8, -60.5, 4.6, 2.3, 0, 0.1},    {0, -60.5, 2.3, 2.3, 0, 0.1},
        {6, -60.5, 2.3, 4.6, 0, 0.1},
    };
    for (int k = 0; k < 10; ++k) {
        const Ellipse &e = phantom.ellipses[k];
        EXPECT_NEAR(e.xc, expected[k].xc, 1e-13) << k;
        EXPECT_NEAR(e.yc, expected[k].yc, 1e-13) << k;
        EXPECT_NEAR(e.a, expected[k].a, 1e-13) << k;
        EXPECT_NEAR(e.b, expected[k].b, 1e-13) << k;
        EXPECT_EQ(e.angle, expected[k].angle) << k;
        EXPECT_EQ(e.value, expected[k].value) << k;
    }
    ReleasePhantom(&phantom);
}

TEST(PhantomReader, RightAnglesAreExact) {
    struct Case {
        double degrees, cosine, sine;
    };
    const Case cases[] = {{0, 1, 0},    {90, 0, 1},    {180, -1, 0}, {270, 0, -1}, {-90, 0, -1},
                          {-270, 0, 1}, {450, 0, 1},   {-720, 1, 0}, {3.6e9, 1, 0},  {-180, -1, 0}};
    for (const Case &c : cases) {
        Real cosine, sine;
        DegreesCosineSine(c.degrees, &cosine, &sine);
        EXPECT_EQ(static_cast<double>(cosine), c.cosine) << c.degrees;
        EXPECT_EQ(static_cast<double>(sine), c.sine) << c.degrees;
    }
    Real cosine, sine;
    DegreesCosineSine(30, &cosine, &sine);
    EXPECT_NEAR(static_cast<double>(sine), 0.5, 1e-18);
    EXPECT_NEAR(static_cast<double>(cosine), std::sqrt(3.0) / 2, 2e-16);
    DegreesCosineSine(-390, &cosine, &sine);
    EXPECT_NEAR(static_cast<double>(sine), -0.5, 1e-16);
}

// A phantom of these ellipses, kept in the vector.
Phantom Of(std::vector<Ellipse> &ellipses) { return Phantom{static_cast<int>(ellipses.size()), ellipses.data()}; }

TEST(PhantomRays, ClosedFormChords) {
    // a = 5 along x, b = 3, value 2, at the origin; the axis at detector 10.
    std::vector<Ellipse> axis_aligned{{0, 0, 5, 3, 0, 2}};
    Phantom p = Of(axis_aligned);
    // Theta = 0: the rays are the lines x = i - 10; through the center the
    // chord is 2b, at x = 3 it is 2b sqrt(1 - 9/25) = 4.8.
    EXPECT_EQ(PhantomRaySum(p, 1, 0, 10, 10), 12);
    EXPECT_NEAR(PhantomRaySum(p, 1, 0, 10, 13), 9.6, 1e-14);
    EXPECT_NEAR(PhantomRaySum(p, 1, 0, 10, 7), 9.6, 1e-14);
    // Theta = 90 degrees: the lines y = i - 10, chords 2a sqrt(1 - y^2/9).
    EXPECT_EQ(PhantomRaySum(p, 0, 1, 10, 10), 20);
    EXPECT_NEAR(PhantomRaySum(p, 0, 1, 10, 11.8), 16, 1e-14);
    // Tangent rays get nothing; a ray just inside does.
    EXPECT_EQ(PhantomRaySum(p, 1, 0, 10, 15), 0);
    EXPECT_EQ(PhantomRaySum(p, 0, 1, 10, 7), 0);
    EXPECT_GT(PhantomRaySum(p, 0, 1, 10, 7.0001), 0);

    // Turned 30 degrees, centered at (2, -1). Seen along its a axis
    // (theta = 30 degrees) the ray through the center crosses 2b = 6, the
    // ray 3 away 2b sqrt(1 - 9/25) = 4.8; seen along its b axis (theta =
    // 120 degrees) 2a = 10 through the center, 2a sqrt(1 - 2.4^2/9) = 6 at
    // 2.4 away.
    std::vector<Ellipse> turned{{2, -1, 5, 3, 30, 1}};
    p = Of(turned);
    struct Ray {
        double theta, away, chord;
    };
    for (Ray ray : {Ray{30, 0, 6}, Ray{30, 3, 4.8}, Ray{30, -3, 4.8}, Ray{120, 0, 10}, Ray{120, 2.4, 6}}) {
        double c = std::cos(ray.theta * kPi / 180), s = std::sin(ray.theta * kPi / 180);
        double center = 2 * c - s;  // where the center projects
        EXPECT_NEAR(PhantomRaySum(p, c, s, 4, 4 + center + ray.away), ray.chord, 1e-13) << ray.theta << " " << ray.away;
    }
}

TEST(PhantomRays, ValuesAddAndTheProjectionHoldsTheArea) {
    // Two ellipses overlapping: their terms add. And every view of an
    // ellipse integrates, over the detector, to value pi a b: sampled at
    // unit steps across shadows 20 to 120 wide, the sum is within 1e-3.
    std::vector<Ellipse> two{{3, 4, 60, 40, 25, 1.5}, {-5, 2, 20, 10, -70, -0.5}};
    Phantom p = Of(two);
    std::vector<Ellipse> first{two[0]}, second{two[1]};
    Phantom p1 = Of(first), p2 = Of(second);
    const int n = 301;
    std::vector<double> view(n);
    for (double theta = 0; theta < 3.1; theta += 0.37) {
        double c = std::cos(theta), s = std::sin(theta);
        PhantomView(p, c, s, 150, n, view.data());
        double sum = 0;
        for (int i = 0; i < n; ++i) {
            sum += view[i];
            double separate = PhantomRaySum(p1, c, s, 150, i) + PhantomRaySum(p2, c, s, 150, i);
            EXPECT_NEAR(view[i], separate, 1e-12) << theta << " " << i;
        }
        double area = 1.5 * kPi * 60 * 40 - 0.5 * kPi * 20 * 10;
        EXPECT_NEAR(sum / area, 1, 1e-3) << theta;
    }
}

TEST(PhantomRays, TurnedARightAngleIsTheEllipseWithItsHalfAxesExchanged) {
    std::vector<Ellipse> turned{{1.25, -2.5, 7, 3, 90, 1}};
    std::vector<Ellipse> exchanged{{1.25, -2.5, 3, 7, 0, 1}};
    std::vector<Ellipse> back{{1.25, -2.5, 3, 7, -180, 1}};
    const int n = 40;
    std::vector<double> a(n), b(n), c(n);
    for (int k = 0; k < 50; ++k) {
        double theta = k * kPi / 50;
        PhantomView(Of(turned), std::cos(theta), std::sin(theta), 19.5, n, a.data());
        PhantomView(Of(exchanged), std::cos(theta), std::sin(theta), 19.5, n, b.data());
        PhantomView(Of(back), std::cos(theta), std::sin(theta), 19.5, n, c.data());
        EXPECT_EQ(a, b) << k;
        EXPECT_EQ(c, b) << k;
    }
}

// The fraction of the rectangle inside the ellipse, as a double.
double Fraction(const Ellipse &e, double left, double right, double bottom, double top) {
    return static_cast<double>(EllipseFraction(FrameOf(e), left, right, bottom, top));
}

TEST(PhantomPixels, ClosedFormFractions) {
    Ellipse unit{0, 0, 1, 1, 0, 1};
    // Corners inside (0.98 from the center), a pixel far off, a pixel that
    // only touches the circle.
    EXPECT_EQ(Fraction(unit, -0.7, 0.7, -0.7, 0.7), 1);
    EXPECT_EQ(Fraction(unit, 3, 4, -0.5, 0.5), 0);
    EXPECT_EQ(Fraction(unit, 1, 2, -0.5, 0.5), 0);
    EXPECT_EQ(Fraction(unit, -0.5, 0.5, 1, 2), 0);
    // The right half of the disk in [0, 1] x [-1, 1].
    EXPECT_NEAR(Fraction(unit, 0, 1, -1, 1), kPi / 4, 1e-16);

    for (double angle : {0.0, 17.0, 30.0, 45.0, 90.0, 123.4, -60.0}) {
        Ellipse e{2, -1, 3, 2, angle, 1};
        // Wholly inside a large rectangle: pi a b over its area.
        EXPECT_NEAR(Fraction(e, -8, 12, -11, 9), 6 * kPi / 400, 1e-17) << angle;
        // Any line through the center halves the ellipse.
        EXPECT_NEAR(Fraction(e, 2, 102, -101, 99), 3 * kPi / 20000, 1e-17) << angle;
        EXPECT_NEAR(Fraction(e, -98, 102, -1, 99), 3 * kPi / 20000, 1e-17) << angle;
        // The quadrant right of and above the center: in the ellipse's
        // frame the wedge between the images of the directions 0 and 90
        // degrees, half its angle times a b.
        double phi = angle * kPi / 180;
        double wedge = std::atan2(1 / 6.0, std::sin(phi) * std::cos(phi) * (1 / 9.0 - 1 / 4.0));
        EXPECT_NEAR(Fraction(e, 2, 12, -1, 9), 3 * wedge / 100, 1e-15) << angle;
    }
    // Along the diagonal (45 degrees) the quadrant holds a b atan(a / b).
    EXPECT_NEAR(Fraction({0, 0, 3, 2, 45, 1}, 0, 10, 0, 10), 6 * std::atan(1.5) / 100, 1e-16);
}

TEST(PhantomPixels, DisksAtAnyAngleAgreeWithTheQuadrantClosedForm) {
    // A disk's fraction of a rectangle by the disk_image oracle's inclusion
    // and exclusion of quadrant areas, an independent closed form.
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> position(-3, 3), side(0.01, 2.5), angle(-180, 180), radius(0.05, 2.5);
    for (int trial = 0; trial < 4000; ++trial) {
        double r = radius(random), xc = position(random), yc = position(random);
        double left = position(random), bottom = position(random);
        double right = left + side(random), top = bottom + side(random);
        double expected = static_cast<double>(OracleRectangleArea(left - xc, right - xc, bottom - yc, top - yc, r)) /
                          ((right - left) * (top - bottom));
        double fraction = Fraction({xc, yc, r, r, angle(random), 1}, left, right, bottom, top);
        ASSERT_NEAR(fraction, expected, 1e-14) << trial;
    }
}

TEST(PhantomPixels, PixelsFarSmallerThanTheEllipseKeepTheirDigits) {
    // Unit pixels across the boundary of ellipses thousands of pixels wide;
    // the fractions by quadrature of the clipped chord at 40 digits
    // (mpmath). Forming the triangles' cross products from the corners
    // instead of the edges' vectors lost 1e-12 here.
    struct Case {
        Ellipse ellipse;
        double left, bottom, fraction;
    };
    const Case cases[] = {
        {{0.3, -0.2, 5000, 3000, 30, 1}, 1077, 3536, 0.7346106597447118457923575},
        {{0, 0, 10000, 10000, 0, 1}, 5402, 8414, 0.9409596108474240840585504},
        {{-2.5, 1.25, 40000, 700, 100, 1}, -4336, 21182, 0.4448495418457243354523651},
    };
    for (const Case &c : cases) {
        double fraction = Fraction(c.ellipse, c.left, c.left + 1, c.bottom, c.bottom + 1);
        // The bound of the manual: 2e-19 times the larger half-axis in
        // pixels, and the final rounding.
        EXPECT_NEAR(fraction, c.fraction, 2e-19 * c.ellipse.a + 2e-16) << c.ellipse.a;
    }
}

// The image of a phantom on a grid, row by row (the fast rows) and pixel by
// pixel (the straightforward sum).
std::vector<double> FastImage(std::vector<Ellipse> &ellipses, const Grid &grid) {
    std::vector<EllipseFrame> frames;
    for (const Ellipse &e : ellipses) frames.push_back(FrameOf(e));
    std::vector<Real> sums(grid.size);
    std::vector<double> image(static_cast<std::size_t>(grid.size) * grid.size);
    for (int row = 0; row < grid.size; ++row) {
        PhantomImageRow(frames.data(), static_cast<int>(frames.size()), grid, row, sums.data(),
                        image.data() + static_cast<std::size_t>(row) * grid.size);
    }
    return image;
}

TEST(PhantomPixels, ImageHoldsEveryEllipsesArea) {
    // The pixels times the pixel's area sum to value pi a b per ellipse
    // inside the field, whatever the pixel.
    std::vector<Ellipse> ellipses{{3, 4, 20, 12, 25, 1.5}, {-5, 2, 6, 3.5, -70, -0.5}, {10, -12, 0.3, 0.2, 10, 4}};
    double expected = 1.5 * kPi * 240 - 0.5 * kPi * 21 + 4 * kPi * 0.06;
    for (double pixel : {1.0, 0.37, 2.5}) {
        Grid grid{static_cast<int>(std::ceil(70 / pixel)), pixel, 0, 0};
        std::vector<double> image = FastImage(ellipses, grid);
        double sum = 0;
        for (double v : image) sum += v;
        EXPECT_NEAR(sum * pixel * pixel / expected, 1, 1e-12) << pixel;
    }
    // A pixel wholly inside the first ellipse and nothing else holds 1.5
    // exactly; one outside every ellipse 0 exactly.
    Grid grid{70, 1, 0, 0};
    std::vector<double> image = FastImage(ellipses, grid);
    EXPECT_EQ(image[(35 - 12) * 70 + 35 + 12], 1.5);  // (12.5, 11.5)
    EXPECT_EQ(image[2 * 70 + 2], 0);
}

TEST(PhantomPixels, FastRowsEqualThePixelByPixelSum) {
    // Random phantoms with thin, tiny, huge and turned ellipses, on grids
    // of several pixels and centers: bit for bit.
    std::mt19937_64 random(9);
    std::uniform_real_distribution<double> unit(0, 1);
    for (int trial = 0; trial < 120; ++trial) {
        int size = 1 + static_cast<int>(random() % 60);
        double pixel = std::pow(10.0, 2 * unit(random) - 1);
        Grid grid{size, pixel, (unit(random) - 0.5) * pixel * 4, (unit(random) - 0.5) * pixel * 4};
        double field = size * pixel;
        std::vector<Ellipse> ellipses;
        int count = 1 + static_cast<int>(random() % 6);
        for (int k = 0; k < count; ++k) {
            double a = field * std::pow(10.0, 3 * unit(random) - 2.5);
            double b = random() % 3 == 0 ? a : a * std::pow(10.0, 4 * unit(random) - 2);
            if (random() % 10 == 0) a = field * 1e4;
            double angles[] = {0, 90, -180, 360 * unit(random), 45};
            ellipses.push_back({(unit(random) - 0.5) * field, (unit(random) - 0.5) * field, a, b,
                                angles[random() % 5], 4 * unit(random) - 2});
        }
        std::vector<double> fast = FastImage(ellipses, grid);
        std::vector<EllipseFrame> frames;
        for (const Ellipse &e : ellipses) frames.push_back(FrameOf(e));
        for (int row = 0; row < size; ++row) {
            for (int column = 0; column < size; ++column) {
                double slow = PhantomPixelMean(frames.data(), count, grid, column, row);
                ASSERT_EQ(fast[static_cast<std::size_t>(row) * size + column], slow)
                    << trial << " row " << row << " column " << column;
            }
        }
    }
}

}  // namespace
