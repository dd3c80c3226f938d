// Reconstruction speed: the fast filter and back-projection against the
// straightforward evaluation, on a disk's chord profile with default views.
#include <cmath>
#include <cstdio>
#include <vector>

#include "bench.h"
#include "oracle/recon_oracle.h"
#include "profile.h"
#include "ax_recon/recon.h"

void BenchRecon() {
    for (int n : {1024, 4096}) {
        std::vector<double> p(n), q(n), ct(n);
        double radius = 0.75 * n;
        for (int j = 0; j < n; ++j) p[j] = j < radius ? 2 * std::sqrt(radius * radius - 1.0 * j * j) : 0;
        int views = static_cast<int>(DefaultViewCount(n));
        double dtheta = ViewStep(views);
        std::vector<Real> table(KernelTableLength(n));
        double fast = BestSeconds(3, [&] {
            TabulateKernel(n, table.data());
            FilterProfile(p.data(), n, table.data(), q.data());
            BackProject(q.data(), n, views, dtheta, 1.0, ct.data());
        });
        double oracle = BestSeconds(1, [&] {
            FilterProfileOracle(p.data(), n, q.data());
            BackProjectOracle(q.data(), n, views, dtheta, 1.0, ct.data());
        });
        std::printf("ax_recon n=%d views=%d: straightforward %.3f s, fast %.3f s, ratio %.1fx\n", n,
                    views, oracle, fast, oracle / fast);
    }
}
