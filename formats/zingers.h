// Zingers: single samples far brighter than their surroundings, left by an
// X-ray or a particle striking the detector itself during one exposure.
// In a sinogram a zinger is one sample that its adjacent views and columns
// do not share; reconstructed, it becomes a streak across the slice.
#pragma once

#include "status.h"

// Replaces the zingers of a band laid out as NormaliseBand's (normalise.h:
// `rows` sinograms of `views` x `columns` samples, sinogram j at
// band + j * views * columns) by the median of their neighbours; the count
// replaced goes to *replaced. Fails with "memory allocation error." when
// the two views of scratch each thread keeps cannot be had.
//
// A sample's neighbours are the samples around it in its sinogram: the
// same and the adjacent columns of the adjacent views and the adjacent
// columns of its own view (8; 5 at an edge, 3 at a corner), those that are
// finite, as read (a replacement never feeds another). The sample is a
// zinger when it lies more than `threshold` times their robust spread above
// their median, the spread being 1.4826 times the median of their absolute
// deviations from that median (the standard deviation, for Gaussian
// noise). Not-a-number is never a zinger; +infinity always is.
//
// The neighbours lie in the sinogram, not in the rows above and below, so
// a band of any size gives the same result; sinograms are filtered in
// parallel (OpenMP), with the same result for any number of threads.
Status RemoveZingers(double *band, int rows, int views, int columns, double threshold, long long *replaced);

// The decision for one sample among `count` neighbours (at most 8, finite):
// true, with their median in *median, when it is a zinger.
bool IsZinger(double sample, const double *neighbours, int count, double threshold, double *median);
