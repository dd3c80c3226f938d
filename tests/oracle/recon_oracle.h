// The reconstruction evaluated exactly as written, one kernel evaluation per
// term and one cosine per view per sample: the reference the fast code in
// ax_recon must equal to the last bit.
#pragma once

void FilterProfileOracle(const double *p, int n, double *q);
void BackProjectOracle(const double *q, int n, int views, double dtheta, double interval,
                       double *out);
