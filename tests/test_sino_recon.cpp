// sino_recon's reconstruction against ax_recon's for a symmetric object.
#include <cmath>
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "ax_recon/recon.h"
#include "fbp.h"
#include "kernels.h"

namespace {

double LargestMagnitude(const std::vector<double> &values) {
    double largest = 0;
    for (double v : values) largest = std::fmax(largest, std::fabs(v));
    return largest;
}

TEST(SinoRecon, SymmetricObjectGivesAxReconsValues) {
    // ax_expand's sinogram of a profile (the profile mirrored about column
    // n - 1, every view the same), reconstructed with c = n - 1 into a
    // (2n - 1)-pixel image: the row through the axis holds ax_recon's CT
    // values on both sides.
    for (int n : {1, 2, 7, 40, 101}) {
        for (int views : {1, 5, 180}) {
            std::vector<double> profile(n);
            double radius = 0.8 * n;
            for (int j = 0; j < n; ++j) {
                profile[j] = j < radius ? 2 * std::sqrt(radius * radius - 1.0 * j * j) + 0.1 * (j % 3) : 0;
            }
            int columns = 2 * n - 1;
            std::vector<double> sinogram(static_cast<std::size_t>(columns) * views);
            for (int k = 0; k < views; ++k) {
                for (int i = 0; i < columns; ++i) sinogram[columns * k + i] = profile[std::abs(i - (n - 1))];
            }
            ViewFilter filter;
            ASSERT_TRUE(MakeViewFilter(columns, Kernel::kChesler, 2, &filter));
            ViewSet even;
            ASSERT_TRUE(EvenHalfTurn(views, &even).ok());
            double interval = 0.5;
            std::vector<double> image(static_cast<std::size_t>(columns) * columns);
            ReconstructImage(filter, sinogram.data(), even, Detector{columns, n - 1.0}, AxisGrid(columns), interval,
                             image.data());
            ReleaseViews(&even);

            std::vector<Real> table(KernelTableLength(n));
            std::vector<double> q(n), ct(n);
            TabulateKernel(n, table.data());
            FilterProfile(profile.data(), n, table.data(), q.data());
            BackProject(q.data(), n, views, ViewStep(views), interval, ct.data());
            double tolerance = 1e-9 * LargestMagnitude(ct);
            const double *axis_row = image.data() + static_cast<std::size_t>(columns) * (n - 1);
            for (int j = 0; j < n; ++j) {
                ASSERT_NEAR(axis_row[n - 1 + j], ct[j], tolerance) << "n " << n << " views " << views << " j " << j;
                ASSERT_NEAR(axis_row[n - 1 - j], ct[j], tolerance) << "n " << n << " views " << views << " j " << j;
            }
        }
    }
}

}  // namespace
