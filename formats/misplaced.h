// Signs, in what a stack reads, of images given in the wrong places. Both
// make a volume of nonsense without a word, and both show plainly:
// - flats and projections swapped (-f 'proj_*.tif' flat_*.tif), or flats
//   taken with less beam than the projections: the projections brighter
//   than the flats, so that the line integrals -ln((P - D) / (F - D)) are
//   mostly negative (a scan's are positive through the object and about 0,
//   either way, beside it);
// - darks among the projections (-d forgotten, dark_*.tif listed with
//   them): views far darker than the rest.
// The tallies are sums added sample by sample in the order the rows are
// read, so that they are the same for any band size and thread count.
#pragma once

#include <cstddef>
#include <string>

// Adds to *negative the magnitudes of the negative line integrals among
// `count`, to *positive the positive ones (a NaN to neither).
void TallySigns(const double *integrals, std::size_t count, double *negative, double *positive);

// Whether the negative line integrals outweigh the positive ones three
// times over.
bool MostlyNegative(double negative, double positive);

// The warning a program gives at the end of such a run.
inline constexpr const char *kMostlyNegative =
    "warning: the line integrals are mostly negative (the projections brighter than the flats): were the flats and "
    "projections swapped (give the flats with -f), or the flats taken with less beam?";

// Adds each view's samples of one row's sinogram (`views` x `columns`
// values, before normalisation) to sums[view].
void AddViewSums(const double *sinogram, int views, int columns, double *sums);

// The views whose sums lie under a tenth of the median view's (a dark
// image among projections of a few hundred counts or more, or
// transmissions): how many, and the first in *first (-1 for none). None
// when the median is not above zero.
int DarkViews(const double *sums, int views, int *first);

// The warning naming them: `count` views, the first image `first`, read
// from `file`.
std::string DarkViewsWarning(int count, int first, const char *file);
