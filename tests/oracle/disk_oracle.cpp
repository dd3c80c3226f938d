#include "disk_oracle.h"

#include <cmath>
#include <cstdlib>

#include "real.h"

void DiskSinogramOracle(int argc, char *const *argv, FILE *out) {
    int n = std::atoi(argv[1]);
    double xc = std::atof(argv[2]);
    double yc = std::atof(argv[3]);
    int m = std::atoi(argv[argc - 2]);
    std::fprintf(out, "%d\t%d\n", n, m);
    double dtheta = static_cast<Real>(kPi) / m;
    double s0 = (1 - n) * 0.5;
    for (int k = 0; k < m; ++k) {
        double theta = static_cast<Real>(k) * dtheta;
        double offset = s0 - static_cast<Real>(std::cos(theta)) * xc;
        offset = offset - static_cast<Real>(std::sin(theta)) * yc;
        for (int i = 0; i < n; ++i) {
            double t = static_cast<Real>(i) + offset;
            double t2 = static_cast<Real>(t) * t;
            double sum = 0;
            for (int a = argc - 3; a >= 4; --a) {
                double r = std::atof(argv[a]);
                double d = static_cast<Real>(r) * r - t2;
                if (d > 0) {
                    double c = std::sqrt(d);
                    if (r > 0) {
                        sum = sum + 2 * static_cast<Real>(c);
                    } else {
                        sum = sum - 2 * static_cast<Real>(c);
                    }
                }
            }
            std::fwrite(&sum, sizeof sum, 1, out);
        }
    }
}
