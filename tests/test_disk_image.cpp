// The phantom's true image: areas from closed forms and hand calculation,
// and the fast rows against a second closed form evaluated everywhere.
#include <cmath>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "disk_image/area.h"
#include "disk_image/image.h"
#include "oracle/disk_image_oracle.h"

namespace {

const double kPiValue = 3.141592653589793;

// The whole image, row 0 first; radii in summation order.
std::vector<double> Image(int size, double xc, double yc, std::vector<double> radii) {
    std::vector<double> image(static_cast<std::size_t>(size) * size);
    DiskPhantom phantom{xc, yc, static_cast<int>(radii.size()), radii.data()};
    for (int row = 0; row < size; ++row) DiskImageRow(phantom, size, row, image.data() + std::size_t(row) * size);
    return image;
}

double Sum(const std::vector<double> &values) {
    long double sum = 0;
    for (double v : values) sum += v;
    return static_cast<double>(sum);
}

TEST(DiskImage, HandComputedPixels) {
    // A unit disk on the corner of the four pixels of a 2 x 2 image: a
    // quarter disk in each.
    for (double v : Image(2, 0, 0, {1})) EXPECT_NEAR(v, kPiValue / 4, 1e-15);
    // 3 x 3, unit disk at the center: the side pixel [0.5, 1.5] x [-0.5, 0.5]
    // holds the full height 1 for x up to sqrt(3)/2 and two half-chords
    // beyond: sqrt(3)/4 - 1/2 + pi/6.
    std::vector<double> centered = Image(3, 0, 0, {1});
    double side = std::sqrt(3.0) / 4 - 0.5 + kPiValue / 6;
    EXPECT_NEAR(centered[1 * 3 + 2], side, 1e-15);
    EXPECT_NEAR(centered[0 * 3 + 1], side, 1e-15);
    EXPECT_EQ(centered[1 * 3 + 1], 1.0);
    // Center half a pixel down: the middle pixel is [-0.5, 0.5] x [0, 1]
    // from it, the upper half-disk between x = -1/2 and 1/2, whose top
    // touches the pixel's top edge: pi/6 + sqrt(3)/4.
    std::vector<double> low = Image(3, 0, -0.5, {1});
    EXPECT_NEAR(low[1 * 3 + 1], kPiValue / 6 + std::sqrt(3.0) / 4, 1e-15);
    EXPECT_EQ(low[0 * 3 + 1], 0.0);  // touches the disk's top only
}

TEST(DiskImage, CenterColumnAndRow) {
    // A small disk at (xC, yC) = (3, -2) lands in column (K - 1)/2 + 3 and
    // row (K - 1)/2 + 2 (y up) of a 9 x 9 image.
    std::vector<double> image = Image(9, 3, -2, {0.4});
    for (int row = 0; row < 9; ++row) {
        for (int j = 0; j < 9; ++j) {
            double expected = (j == 7 && row == 6) ? kPiValue * 0.16 : 0.0;
            EXPECT_NEAR(image[row * 9 + j], expected, 1e-15) << j << " " << row;
        }
    }
}

TEST(DiskImage, PixelsWhollyInsideAreOneAndOutsideZero) {
    const int size = 64;
    const double xc = 2.3, yc = -4.7, radius = 20.25;
    std::vector<double> image = Image(size, xc, yc, {radius});
    int inside = 0, outside = 0;
    for (int row = 0; row < size; ++row) {
        for (int j = 0; j < size; ++j) {
            double x = j - (size - 1) / 2.0 - xc, y = (size - 1) / 2.0 - row - yc;
            double near_x = std::fmax(std::fabs(x) - 0.5, 0), near_y = std::fmax(std::fabs(y) - 0.5, 0);
            double far_x = std::fabs(x) + 0.5, far_y = std::fabs(y) + 0.5;
            double v = image[row * size + j];
            if (far_x * far_x + far_y * far_y < radius * radius) {
                EXPECT_EQ(v, 1.0) << j << " " << row;
                ++inside;
            } else if (near_x * near_x + near_y * near_y > radius * radius) {
                EXPECT_EQ(v, 0.0) << j << " " << row;
                ++outside;
            } else {
                EXPECT_GE(v, 0.0);
                EXPECT_LE(v, 1.0);
            }
        }
    }
    EXPECT_GT(inside, 1000);
    EXPECT_GT(outside, 2000);
}

TEST(DiskImage, AreasSumToTheDisk) {
    for (double radius : {0.3, 1.0, 7.5, 19.99, 31.0}) {
        EXPECT_NEAR(Sum(Image(64, 0.37, -0.81, {radius})), kPiValue * radius * radius, 1e-9) << radius;
    }
    // Far larger than a pixel: the relative error stays at rounding level.
    EXPECT_NEAR(Sum(Image(2100, 3.25, 1.5, {1000})) / (kPiValue * 1e6), 1.0, 1e-12);
}

TEST(DiskImage, RingIsTheDifferenceOfItsDisks) {
    // Radii 10 and -5: zero in the hole, one in the band, pi (100 - 25) in all.
    std::vector<double> ring = Image(32, 0.5, 0.5, {-5, 10});
    EXPECT_NEAR(Sum(ring), kPiValue * 75, 1e-9);
    EXPECT_EQ(ring[15 * 32 + 16], 0.0);       // the pixel centered on the center
    EXPECT_EQ(ring[15 * 32 + 16 + 7], 1.0);   // 6.5 to 7.5 out, in the band
    EXPECT_EQ(ring[15 * 32 + 16 + 12], 0.0);  // 11.5 to 12.5 out, outside
    // The same as the disk image minus the hole image, pixel by pixel.
    std::vector<double> outer = Image(32, 0.5, 0.5, {10}), inner = Image(32, 0.5, 0.5, {5});
    for (std::size_t i = 0; i < ring.size(); ++i) EXPECT_EQ(ring[i], 0.0 - inner[i] + outer[i]) << i;
}

TEST(DiskImage, ZeroNanAndInfiniteRadii) {
    EXPECT_EQ(Sum(Image(8, 0, 0, {0, NAN})), 0.0);
    for (double v : Image(8, 1e6, 0, {INFINITY})) EXPECT_EQ(v, 1.0);
    for (double v : Image(8, 0, 0, {-INFINITY})) EXPECT_EQ(v, -1.0);
}

TEST(DiskImage, RectangleAreaAgainstTheQuadrantFormula) {
    std::mt19937_64 random(12);
    std::uniform_real_distribution<double> place(-3, 3), size(0, 2), radius(0.01, 4);
    for (int trial = 0; trial < 20000; ++trial) {
        double x0 = place(random), y0 = place(random), r = radius(random);
        double x1 = x0 + size(random), y1 = y0 + size(random);
        double expected = static_cast<double>(OracleRectangleArea(x0, x1, y0, y1, r));
        ASSERT_NEAR(RectangleDiskArea(x0, x1, y0, y1, r), expected, 1e-13)
            << x0 << " " << x1 << " " << y0 << " " << y1 << " " << r;
    }
    // Lines exactly tangent to the circle, and rectangles on its rim.
    EXPECT_NEAR(RectangleDiskArea(-1, 1, 0, 1, 1), kPiValue / 2, 1e-15);
    EXPECT_NEAR(RectangleDiskArea(-1, 1, -1, 1, 1), kPiValue, 1e-15);
    EXPECT_NEAR(RectangleDiskArea(-2, 2, -2, 2, 1), kPiValue, 1e-15);
    EXPECT_EQ(RectangleDiskArea(1, 2, -1, 1, 1), 0.0);
    EXPECT_NEAR(HalfChordIntegral(-1, 1, 1), kPiValue / 2, 1e-15);
}

TEST(DiskImage, RowsEqualTheOracleImage) {
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> center(-20, 20), radius(-30, 30);
    for (int trial = 0; trial < 40; ++trial) {
        int size = 1 + static_cast<int>(random() % 48);
        double xc = center(random), yc = center(random);
        std::vector<double> radii;
        for (int r = 1 + static_cast<int>(random() % 4); r > 0; --r) radii.push_back(radius(random));
        std::vector<double> fast = Image(size, xc, yc, radii), oracle = DiskImageOracle(size, xc, yc, radii);
        for (std::size_t i = 0; i < fast.size(); ++i) {
            ASSERT_NEAR(fast[i], oracle[i], 1e-11) << "trial " << trial << " pixel " << i;
        }
    }
}

TEST(DiskImage, SumsItsDisksFromTheLastRadiusArgumentToTheFirst) {
    // Each pixel adds its disks in disk_sino's order, the last radius
    // argument first: its bits are the sum of the one-disk images in that
    // order (and, for some pixel, not in the other).
    char *arguments[] = {const_cast<char *>("7.3"), const_cast<char *>("-5.1"), const_cast<char *>("3.05"),
                         const_cast<char *>("-1.7")};
    const int count = 4, size = 24;
    std::vector<double> radius(count);
    ASSERT_TRUE(ParseSignedRadii(arguments, count, radius.data()).ok());
    EXPECT_EQ(radius[0], -1.7);
    EXPECT_EQ(radius[3], 7.3);
    std::vector<double> image = Image(size, 0.31, -0.67, radius);
    std::vector<std::vector<double>> alone;
    for (double r : radius) alone.push_back(Image(size, 0.31, -0.67, {r}));
    bool order_matters = false;
    for (std::size_t p = 0; p < image.size(); ++p) {
        double forward = 0, backward = 0;
        for (int d = 0; d < count; ++d) forward += alone[d][p];
        for (int d = count - 1; d >= 0; --d) backward += alone[d][p];
        ASSERT_EQ(image[p], forward) << "pixel " << p;
        order_matters = order_matters || forward != backward;
    }
    EXPECT_TRUE(order_matters);
}

}  // namespace
