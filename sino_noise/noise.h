// Counting noise on line integrals: a sample p becomes -ln(n / I0), n a
// Poisson count of mean I0 e^-p (poisson.h), a count of 0 taken as
// kZeroCount.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "sink.h"
#include "status.h"

// What a count of 0 becomes: half a count, so that its line integral
// ln(2 I0) stays finite, one step beyond that of a single count.
inline constexpr double kZeroCount = 0.5;

// The largest mean count: every count then is a whole double.
inline constexpr double kLargestMean = 4503599627370496.0;  // 2^52

// The open beam's counts I0 a scan may have: from one count to 1e15.
inline constexpr double kFewestOpenCounts = 1;
inline constexpr double kMostOpenCounts = 1e15;

struct Scan {
    double open;         // I0
    std::uint64_t seed;  // chooses every sample's stream
};

// The noisy sample for line integral p, sample number `index` of the
// sinogram (view k, detector i: k N + i); false when p is not finite or
// its mean count I0 e^-p is above kLargestMean.
bool NoisySample(const Scan &scan, double p, std::uint64_t index, double *noisy);

// The samples first ... first + count - 1 of a sinogram, in place, shared
// among threads (every sample depends on its index alone). Returns the
// offset in the block of the first sample out of range (NoisySample), or
// `count` when there is none; the block is then only partly replaced.
std::size_t AddNoise(const Scan &scan, double *samples, std::size_t count, std::uint64_t first);

// Reads `count` samples from `in` in pieces of the sink's block, replaces
// each by its noisy sample and writes them out through the sink. Fails
// with `read_failure` on a short read (the complete samples before it
// written out first), with "<prefix>view <k>, detector <i>: sample out of
// range." for a sample out of range (`detectors` per view; nothing of its
// piece written), and with the sink's message when a write fails.
Status NoiseStream(FILE *in, SampleSink *sink, const Scan &scan, int detectors, std::size_t count,
                   const std::string &prefix, const std::string &read_failure);
