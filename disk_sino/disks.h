// Analytic sinogram of concentric signed disks: each sample is the sum of the
// signed chord lengths of the disks along its ray.
#pragma once

#include <cstdio>

#include "real.h"
#include "sink.h"
#include "status.h"

// The disks in the order they are summed: from the last radius argument back
// to the first, with R*R formed once in the extended type.
struct Disks {
    int count;
    const double *radius;  // signed radii, summation order
    const Real *squared;   // radius[r] * radius[r], extended
};

// Reads the radius arguments (first ... last) into the two arrays of `count`
// entries, reversed into summation order.
void ParseRadii(char *const *arguments, int count, double *radius, Real *squared);

// Whether finite radii could give a sample beyond the double range: a
// radius whose square (R * R - t * t, a double) leaves it, or chords of all
// the disks together, up to twice the sum of their radii, beyond the
// largest double. (Not-a-number or infinite radii are taken as they come.)
bool ChordsOverflow(const double *radius, const Real *squared, int count);

// Offset of view k's detector 0 from the projection of the center:
// (s0 - cos(theta) xC) - sin(theta) yC, rounded after each subtraction.
double ViewOffset(int detectors, double dtheta, int k, double xc, double yc);

// One view of `detectors` samples. `t2` is scratch of the same length. Each
// sample's sum takes the disks in order, so the result equals the
// sample-by-sample evaluation; only rays that can cross a disk are visited.
void DiskView(const Disks &disks, int detectors, double offset, double *t2, double *view);

// The whole sinogram after its header: views at k pi / views, computed in
// place in the sink (room for a view at least) and written out through it;
// t2 is scratch of `detectors` doubles. Fails with the sink's message when
// a write fails.
Status WriteDiskViews(SampleSink *sink, double *t2, const Disks &disks, int detectors, int views, double xc,
                    double yc);
