// Convolution back-projection of a rotationally symmetric object from one
// one-sided profile. Every view of such an object is the same profile, so
// the profile is filtered once and back-projected over the views of a half
// turn.
#pragma once

#include <cstdio>

#include "real.h"
#include "status.h"

// Number of extended values TabulateKernel fills for a profile of n samples.
long long KernelTableLength(int n);

// Fills the Chesler kernel for offsets -(n - 1) ... 2n - 2, offset 0 at index
// n - 1, so that the filter reads h(k - j) and h(k + j) without a test.
void TabulateKernel(int n, Real *table);

// q[k] = p[0] h(k) + sum over j = 1 ... n - 1 of p[j] (h(k - j) + h(k + j)),
// the running sum in the extended type, rounded once when stored. `table`
// comes from TabulateKernel. Four outputs are summed side by side so their
// additions overlap; each sum keeps its own order.
void FilterProfile(const double *p, int n, const Real *table, double *q);

// Back-projects the filtered profile q over `views` views at angles k dtheta
// and scales by dtheta / interval: out[j] is the CT value at j intervals from
// the axis. Cosines are computed once per view, in blocks, so memory stays
// O(n); out may be any array of n doubles except q.
void BackProject(const double *q, int n, int views, double dtheta, double interval,
                 double *out);

// Adds views first_view ... views - 1 to the running sums, one per sample,
// in view order; BackProject's inner part.
void AddViews(const double *q, int n, int first_view, int views, double dtheta, double *out);

// pi / views, the angle between views.
double ViewStep(int views);

// Writes the count line and one "%lf\n" line per value; fails with "data
// write error." at the first write that fails.
Status WriteCountLine(FILE *out, int n);
Status WriteValues(FILE *out, const double *values, int n);
