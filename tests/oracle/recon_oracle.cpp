#include "recon_oracle.h"

#include <cmath>

#include "kernels.h"
#include "real.h"

void FilterProfileOracle(const double *p, int n, double *q) {
    for (int k = 0; k < n; ++k) {
        Real sum = p[0] * Chesler(k);
        for (int j = 1; j < n; ++j) sum += p[j] * (Chesler(k - j) + Chesler(k + j));
        q[k] = static_cast<double>(sum);
    }
}

void BackProjectOracle(const double *q, int n, int views, double dtheta, double interval,
                       double *out) {
    for (int j = 0; j < n; ++j) {
        double s = q[j];
        for (int k = 1; k < views; ++k) {
            double angle = static_cast<Real>(k) * dtheta;
            double x = std::fabs(static_cast<double>(static_cast<Real>(std::cos(angle)) * j));
            int i = static_cast<int>(x);
            double f = x - i;
            if (i == n - 1) {
                s = static_cast<double>(static_cast<Real>(q[i]) + s);
            } else {
                s = static_cast<double>(
                    (static_cast<Real>(q[i]) + f * (static_cast<Real>(q[i + 1]) - q[i])) + s);
            }
        }
        out[j] = static_cast<Real>(s) * dtheta / interval;
    }
}
