#include "recon.h"

#include <cmath>

#include "blocks.h"
#include "kernels.h"

namespace {

constexpr const char *kWriteError = "data write error.";

// One view's contribution to the sample at j: interpolate the filtered
// profile at |cos * j| and add to s, rounding s to a double. At i = n - 1
// the fraction is 0 and q[n], which does not exist, is not read.
inline double AddView(const double *q, int n, double cosine, int j, double s) {
    double x = std::fabs(static_cast<double>(static_cast<Real>(cosine) * j));
    int i = static_cast<int>(x);
    double f = x - i;
    Real term = q[i];
    if (i != n - 1) term += f * (static_cast<Real>(q[i + 1]) - q[i]);
    return static_cast<double>(term + s);
}

}  // namespace

long long KernelTableLength(int n) { return 3LL * n - 2; }

void TabulateKernel(int n, Real *table) {
    Real *zero = table + (n - 1);
    for (long long m = -(n - 1); m <= 2LL * n - 2; ++m) zero[m] = Chesler(m);
}

void FilterProfile(const double *p, int n, const Real *table, double *q) {
    const Real *h = table + (n - 1);
    int k = 0;
    for (; k + 4 <= n; k += 4) {
        Real s0 = p[0] * h[k];
        Real s1 = p[0] * h[k + 1];
        Real s2 = p[0] * h[k + 2];
        Real s3 = p[0] * h[k + 3];
        for (int j = 1; j < n; ++j) {
            Real pj = p[j];
            s0 += pj * (h[k - j] + h[k + j]);
            s1 += pj * (h[k + 1 - j] + h[k + 1 + j]);
            s2 += pj * (h[k + 2 - j] + h[k + 2 + j]);
            s3 += pj * (h[k + 3 - j] + h[k + 3 + j]);
        }
        q[k] = static_cast<double>(s0);
        q[k + 1] = static_cast<double>(s1);
        q[k + 2] = static_cast<double>(s2);
        q[k + 3] = static_cast<double>(s3);
    }
    for (; k < n; ++k) {
        Real s = p[0] * h[k];
        for (int j = 1; j < n; ++j) s += p[j] * (h[k - j] + h[k + j]);
        q[k] = static_cast<double>(s);
    }
}

void BackProject(const double *q, int n, int views, double dtheta, double interval,
                 double *out) {
    for (int j = 0; j < n; ++j) out[j] = q[j];  // view 0 projects j onto sample j
    AddViews(q, n, 1, views, dtheta, out);
    for (int j = 0; j < n; ++j) out[j] = static_cast<Real>(out[j]) * dtheta / interval;
}

void AddViews(const double *q, int n, int first_view, int views, double dtheta, double *out) {
    double cosines[kCosineViews];
    // 64-bit, so that the last block of a view count near the 32-bit limit
    // does not overflow the index.
    for (long long first = first_view; first < views; first += kCosineViews) {
        int count = views - first < kCosineViews ? static_cast<int>(views - first) : kCosineViews;
        for (int t = 0; t < count; ++t) {
            double angle = static_cast<Real>(first + t) * dtheta;
            cosines[t] = std::cos(angle);
        }
        int j = 0;
        for (; j + 4 <= n; j += 4) {
            double s0 = out[j], s1 = out[j + 1], s2 = out[j + 2], s3 = out[j + 3];
            for (int t = 0; t < count; ++t) {
                double c = cosines[t];
                s0 = AddView(q, n, c, j, s0);
                s1 = AddView(q, n, c, j + 1, s1);
                s2 = AddView(q, n, c, j + 2, s2);
                s3 = AddView(q, n, c, j + 3, s3);
            }
            out[j] = s0, out[j + 1] = s1, out[j + 2] = s2, out[j + 3] = s3;
        }
        for (; j < n; ++j) {
            double s = out[j];
            for (int t = 0; t < count; ++t) s = AddView(q, n, cosines[t], j, s);
            out[j] = s;
        }
    }
}

double ViewStep(int views) { return static_cast<Real>(kPi) / views; }

Status WriteCountLine(FILE *out, int n) {
    if (std::fprintf(out, "%d\n", n) < 0) return Failure(kWriteError);
    return Success();
}

Status WriteValues(FILE *out, const double *values, int n) {
    for (int j = 0; j < n; ++j) {
        if (std::fprintf(out, "%lf\n", values[j]) < 0) return Failure(kWriteError);
    }
    return Success();
}
