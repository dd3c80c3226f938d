// The inner loop of the back-projection: one view added to a run of pixels
// of one image row. Three versions do the same operations in the same
// order, so they give the same sums to the last bit: plain scalar code for
// any x86-64, and AVX2 and AVX-512 versions chosen at run time when the
// processor has them.
#pragma once

enum class RowPath { kScalar, kAvx2, kAvx512 };

// Whether this processor runs the path; the widest one it runs.
bool RowPathSupported(RowPath path);
RowPath BestRowPath();

// For j = lo ... hi - 1: s = base + xs[j] cosine, which must lie in
// [0, N - 1]; i = min(trunc(s), N - 2); t = s - i;
// sums[j] += view[i] + t (view[i + 1] - view[i]). With one detector,
// sums[j] += view[0].
void AddViewToRow(RowPath path, const double *view, int detectors, double base, double cosine, const double *xs,
                  int lo, int hi, double *sums);
