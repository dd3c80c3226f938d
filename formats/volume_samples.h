// The sample types a volume is written in, and the map of a float volume
// onto integers: 32-bit floats (the default), or unsigned 8 or 16-bit
// integers over a range of values LO..HI, either given or the 0.1 and 99.9
// percentiles of the whole volume.
//
// A value v (the float the float volume would hold) becomes
// (v - LO) / (HI - LO) * MAX, computed in double precision, clamped to
// 0..MAX and rounded to the nearest integer, halves up; MAX is 255 or
// 65535. A value that is not a number becomes 0. When LO equals HI (the
// percentiles of a volume of one value) every value at or below LO becomes
// 0 and every value above it MAX.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "status.h"

enum class SampleType { kFloat32, kUint8, kUint16 };

// The bytes of one sample, and the type's largest integer (0 for floats).
int SampleBytes(SampleType type);
double SampleMax(SampleType type);

// "float32", "uint8", "uint16".
const char *SampleTypeName(SampleType type);

// -T's value; fails with "bad sample type: TEXT." (float32, uint8 or
// uint16 are known).
Status SampleTypeArgument(const char *text, SampleType *type);

// -V's value, two finite numbers LO,HI with LO < HI; fails with "bad value
// range: TEXT.".
Status ValueRangeArgument(const char *text, double *lo, double *hi);

// A slice's values as the samples written: floats as they are, integers
// by the map above. `out` holds count * SampleBytes(type) bytes,
// little-endian.
void MapSamples(const float *values, std::size_t count, SampleType type, double lo, double hi, unsigned char *out);

// The exact percentiles of a volume's floats, found in two passes over the
// values with no sort: each finite value is counted by the upper 16 bits of
// a key that orders floats as numbers (CountUpper, as the slices are
// made), then the values in the bins that hold the wanted ranks by their
// lower 16 bits (CountLower, a second pass). Counting is exact, so the
// result depends on neither the order of the slices nor the threads.
//
// The percentile P of N finite values is the value of rank ceil(P * N)
// (1 first) in ascending order: the nearest-rank definition. Here P is
// 0.1 % and 99.9 %: ranks ceil(N / 1000) and N - floor(N / 1000).
struct Percentiles {
    std::vector<std::uint64_t> upper;  // 65536 bins
    std::uint64_t finite = 0;
    // After the first pass: the wanted ranks' bins and their ranks within them.
    std::uint32_t bin[2] = {0, 0};
    std::uint64_t within[2] = {0, 0};
    std::vector<std::uint64_t> lower[2];  // 65536 bins each
};

// Fails only with "memory allocation error.".
Status StartPercentiles(Percentiles *p);
void CountUpper(Percentiles *p, const float *values, std::size_t count);
// Chooses the bins of the two ranks; call once, after every CountUpper.
void ChooseBins(Percentiles *p);
void CountLower(Percentiles *p, const float *values, std::size_t count);
// The two percentiles (both 0 when no value was finite).
void PercentileValues(const Percentiles &p, double *lo, double *hi);
