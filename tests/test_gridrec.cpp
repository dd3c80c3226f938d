// The gridding reconstruction (geometry/gridrec.h): the sum it evaluates,
// term by term, on small scans of every shape; two slices at once against
// one; the same bytes for any number of threads; and the accuracy of both
// methods on analytic phantoms against their exact pixel means.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "fbp.h"
#include "gridrec.h"
#include "oracle/gridrec_oracle.h"
#include "phantom.h"
#include "phantom_pixels.h"
#include "phantom_rays.h"

namespace {

ViewSet Views(int count, bool even, double first_degrees, double span_degrees) {
    ViewSet views;
    EXPECT_TRUE(EvenHalfTurn(count, &views).ok());
    if (even) return views;
    // Uneven steps over the span: the weights differ from view to view.
    for (int k = 0; k < count; ++k) {
        double t = (k + 0.3 * std::sin(2.0 * k)) / count;
        views.angles[k] = (first_degrees + span_degrees * t) * kPi / 180;
    }
    CompleteViews(&views);
    return views;
}

// A sinogram of a few ellipses, off the axis, as phantom_sino makes it.
std::vector<double> Sinogram(const ViewSet &views, int detectors, double axis, double scale) {
    std::vector<Ellipse> ellipses{{0.1 * scale, -0.05 * scale, 0.3 * scale, 0.2 * scale, 20, 1},
                                  {-0.12 * scale, 0.1 * scale, 0.08 * scale, 0.12 * scale, -35, -0.5}};
    Phantom phantom{static_cast<int>(ellipses.size()), ellipses.data()};
    std::vector<double> sinogram(static_cast<std::size_t>(detectors) * views.count);
    for (int k = 0; k < views.count; ++k)
        PhantomView(phantom, views.cosines[k], views.sines[k], axis, detectors,
                    sinogram.data() + static_cast<std::size_t>(detectors) * k);
    return sinogram;
}

double LargestMagnitude(const std::vector<double> &values) {
    double largest = 0;
    for (double v : values) largest = std::fmax(largest, std::fabs(v));
    return largest;
}

struct Scan {
    int detectors, views;
    bool even;
    double first, span;  // degrees, for uneven views
    double axis;
    Grid grid;
    Kernel kernel;
    double interval;
};

// Small scans of every shape: odd and even padded lengths (31 detectors
// pad to 63), odd image sides, pixels finer and coarser than the detector
// (1.6: frequencies beyond the image's Nyquist fold), the center off the
// axis, full and limited turns, every kernel; pixels so wide that the
// frequencies fold several times over the grid.
const Scan kScans[] = {
    {32, 24, true, 0, 0, 15.5, {32, 1, 0, 0}, Kernel::kChesler, 1},
    {31, 20, false, 10, 360, 14.2, {25, 0.7, 3, -2}, Kernel::kShepp, 0.5},
    {24, 18, false, -30, 150, 12.8, {20, 1.6, -1, 1.5}, Kernel::kRamachandran, 1},
    {40, 16, true, 0, 0, 19.5, {33, 1.2, 0, 0}, Kernel::kRamachandran, 2},
    {20, 12, false, 0, 180, 9.7, {40, 0.5, 0.5, 0}, Kernel::kChesler, 1},
    {16, 10, true, 0, 0, 7.5, {6, 4.5, 1, -3}, Kernel::kShepp, 1},
};

TEST(GridRec, EvaluatesTheViewsFourierSeriesAtEveryPixel) {
    for (const Scan &c : kScans) {
        ViewSet views = Views(c.views, c.even, c.first, c.span);
        std::vector<double> sinogram = Sinogram(views, c.detectors, c.axis, 0.8 * c.detectors);
        int k = c.grid.size;
        std::vector<double> image(static_cast<std::size_t>(k) * k), expected(image.size());
        GridRec rec;
        ASSERT_TRUE(MakeGridRec(c.detectors, c.kernel, k, 2, &rec));
        // The band: the sinc^2 terms up to their first zero where the kernel
        // passes the Nyquist frequency, half the padded length for chesler.
        EXPECT_EQ(rec.band, c.kernel == Kernel::kChesler ? rec.length / 2 : rec.length - 1) << c.detectors;
        GridRecImage(rec, sinogram.data(), views, Detector{c.detectors, c.axis}, c.grid, c.interval, image.data());
        GridRecImageOracle(sinogram.data(), views, Detector{c.detectors, c.axis}, c.grid, c.interval, c.kernel,
                           rec.band, expected.data());
        // The gridding's error: up to 2e-4 of the image's largest value.
        double tolerance = 3e-4 * LargestMagnitude(expected);
        for (std::size_t p = 0; p < image.size(); ++p)
            ASSERT_NEAR(image[p], expected[p], tolerance) << "scan of " << c.detectors << ", pixel " << p;

        // Two slices at once: each image as the one-slice path gives it, up
        // to the gridding's error (the samples lie elsewhere on the grid).
        std::vector<double> other = Sinogram(views, c.detectors, c.axis - 1.3, -0.6 * c.detectors);
        std::vector<double> alone(image.size()), first(image.size()), second(image.size());
        GridRecImage(rec, other.data(), views, Detector{c.detectors, c.axis - 1.3}, c.grid, c.interval,
                     alone.data());
        const double axes[2] = {c.axis, c.axis - 1.3};
        GridRecPair(rec, sinogram.data(), other.data(), views, axes, c.grid, c.interval, first.data(),
                    second.data());
        for (std::size_t p = 0; p < image.size(); ++p) {
            ASSERT_NEAR(first[p], image[p], tolerance) << "scan of " << c.detectors << ", pixel " << p;
            ASSERT_NEAR(second[p], alone[p], tolerance) << "scan of " << c.detectors << ", pixel " << p;
        }
        ReleaseGridRec(&rec);
        ReleaseViews(&views);
    }
}

TEST(GridRec, SameBytesForAnyNumberOfThreads) {
    const int n = 64, m = 90, k = 72;
    ViewSet views = Views(m, false, 5, 180);
    std::vector<double> first = Sinogram(views, n, 31.7, 50), second = Sinogram(views, n, 32.2, -40);
    std::vector<std::vector<double>> images;
    for (int threads : {1, 2, 3, 5}) {
        GridRec rec;
        ASSERT_TRUE(MakeGridRec(n, Kernel::kShepp, k, threads, &rec));
        std::vector<double> image(3 * static_cast<std::size_t>(k) * k);
        GridRecImage(rec, first.data(), views, Detector{n, 31.7}, AxisGrid(k), 1, image.data());
        const double axes[2] = {31.7, 32.2};
        GridRecPair(rec, first.data(), second.data(), views, axes, AxisGrid(k), 1, image.data() + k * k,
                    image.data() + 2 * k * k);
        images.push_back(image);
        ReleaseGridRec(&rec);
    }
    for (std::size_t t = 1; t < images.size(); ++t)
        EXPECT_EQ(std::memcmp(images[0].data(), images[t].data(), images[0].size() * sizeof(double)), 0) << t;
    ReleaseViews(&views);
}

// Both methods against a phantom's exact pixel means, over the disk the
// detector sees from every side.
MethodErrors Accuracy(const Phantom &phantom, int n, int m, Kernel kernel) {
    ViewSet views;
    EXPECT_TRUE(EvenHalfTurn(m, &views).ok());
    double axis = 0.5 * (n - 1) + 0.25;
    std::vector<double> sinogram(static_cast<std::size_t>(n) * m);
    for (int k = 0; k < m; ++k)
        PhantomView(phantom, views.cosines[k], views.sines[k], axis, n,
                    sinogram.data() + static_cast<std::size_t>(n) * k);
    Grid grid = AxisGrid(n);
    std::vector<EllipseFrame> frames;
    for (int e = 0; e < phantom.count; ++e) frames.push_back(FrameOf(phantom.ellipses[e]));
    std::size_t pixels = static_cast<std::size_t>(n) * n;
    std::vector<double> truth(pixels), direct(pixels), fourier(pixels);
    std::vector<Real> sums(static_cast<std::size_t>(n));
    for (int r = 0; r < n; ++r)
        PhantomImageRow(frames.data(), phantom.count, grid, r, sums.data(), truth.data() + r * n);
    GridRec rec;
    EXPECT_TRUE(MakeGridRec(n, kernel, n, 2, &rec));
    GridRecImage(rec, sinogram.data(), views, Detector{n, axis}, grid, 1, fourier.data());
    ReleaseGridRec(&rec);
    ViewFilter filter;
    EXPECT_TRUE(MakeViewFilter(n, kernel, 2, &filter));
    ReconstructImage(filter, sinogram.data(), views, Detector{n, axis}, grid, 1, direct.data());
    ReleaseViews(&views);
    return ErrorsInsideTheCircle(grid, n, truth.data(), direct.data(), fourier.data());
}

TEST(GridRec, AsAccurateAsTheDirectMethodOnPhantoms) {
    const int n = 256, m = 360;
    Phantom head;
    ASSERT_TRUE(SheppLoganPhantom(0.45 * n, &head).ok());
    // Ellipses of every size and turn, one small and bright, one thin.
    std::vector<Ellipse> shapes{{0, 0, 100, 80, 10, 1},     {30, -20, 40, 15, 60, 0.5}, {-50, 30, 6, 6, 0, 3},
                                {-20, -60, 25, 2.5, -25, -0.7}, {55, 45, 18, 30, 100, 1.5}};
    Phantom ellipses{static_cast<int>(shapes.size()), shapes.data()};
    for (const Phantom *phantom : {&head, &ellipses})
        for (Kernel kernel : {Kernel::kChesler, Kernel::kShepp, Kernel::kRamachandran}) {
            MethodErrors e = Accuracy(*phantom, n, m, kernel);
            EXPECT_LE(e.fourier, 1.02 * e.direct) << static_cast<int>(kernel);
            // Against the image's own error, the methods barely differ.
            EXPECT_LE(e.between, 0.15 * e.direct) << static_cast<int>(kernel);
        }
    ReleasePhantom(&head);
}

}  // namespace
