// Counts drawn from a Poisson law, reproducibly: every sample of a
// sinogram has its own stream of uniform numbers, fixed by the seed and the
// sample's index alone, so the counts do not depend on the order or the
// threads in which samples are drawn, and the arithmetic (portable_math.h)
// gives the same bits on every machine.
#pragma once

#include <cstdint>

// SplitMix64 (Steele, Lea and Flood, 2014): the state advances by the
// golden-ratio increment 0x9e3779b97f4a7c15 and each output is Mix(state).
struct SampleStream {
    std::uint64_t state;
};

// SplitMix64's output function, a bijection of 64-bit words.
std::uint64_t Mix(std::uint64_t z);

std::uint64_t NextWord(SampleStream *stream);

// The stream of sample `index` (view k, detector i: index k N + i): state
// Mix(seed XOR Mix(index)).
SampleStream StreamFor(std::uint64_t seed, std::uint64_t index);

// A uniform number in (0, 1) from a word: its top 52 bits, plus a half,
// over 2^52. Never 0 nor 1.
double UniformOf(std::uint64_t word);

// The uniform number of the stream's next word.
double Uniform(SampleStream *stream);

// Below this mean a count is drawn by inversion, from this mean on by
// transformed rejection.
inline constexpr double kInversionLimit = 10;

// A Poisson count of the given mean (0 <= mean <= 2^52, so that every
// count is a whole double). Means below kInversionLimit: inversion by
// sequential search, one uniform number, exact up to the rounding of the
// probabilities. From it on: Hormann's transformed rejection with squeeze
// (PTRS, 1993), two uniform numbers per trial, exact, its acceptance test
// with the logarithm of the Poisson probability in Loader's form (Stirling
// error and deviance), which keeps its digits for any mean.
double PoissonCount(double mean, SampleStream *stream);

// ln(mean^k e^-mean / k!) for a whole k >= 0 and mean > 0.
double LogPoissonProbability(double k, double mean);
