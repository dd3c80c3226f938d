#include "volume_samples.h"

#include <cmath>
#include <cstring>
#include <new>

#include "args.h"
#include "options.h"

namespace {

constexpr std::uint32_t kBins = 65536;

// A key that orders floats as their values: negative floats reversed
// below the positive ones (-0 and +0 take neighbouring keys, equal as
// values, which the percentiles see as one value in the end).
std::uint32_t KeyOf(float v) {
    std::uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return (bits & 0x80000000u) != 0 ? ~bits : bits | 0x80000000u;
}

float ValueOfKey(std::uint32_t key) {
    std::uint32_t bits = (key & 0x80000000u) != 0 ? key & 0x7fffffffu : ~key;
    float v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

// The bin holding rank `rank` (1 first) of the counts, and its rank within it.
void FindRank(const std::vector<std::uint64_t> &counts, std::uint64_t rank, std::uint32_t *bin,
              std::uint64_t *within) {
    std::uint64_t below = 0;
    for (std::uint32_t b = 0; b < counts.size(); ++b) {
        if (below + counts[b] >= rank) {
            *bin = b;
            *within = rank - below;
            return;
        }
        below += counts[b];
    }
    *bin = 0;
    *within = 0;
}

}  // namespace

int SampleBytes(SampleType type) { return type == SampleType::kUint8 ? 1 : type == SampleType::kUint16 ? 2 : 4; }

double SampleMax(SampleType type) {
    return type == SampleType::kUint8 ? 255 : type == SampleType::kUint16 ? 65535 : 0;
}

const char *SampleTypeName(SampleType type) {
    return type == SampleType::kUint8 ? "uint8" : type == SampleType::kUint16 ? "uint16" : "float32";
}

Status SampleTypeArgument(const char *text, SampleType *type) {
    for (SampleType t : {SampleType::kFloat32, SampleType::kUint8, SampleType::kUint16})
        if (std::strcmp(text, SampleTypeName(t)) == 0) {
            *type = t;
            return Success();
        }
    return Failure(std::string("bad sample type: ") + text + ".");
}

Status ValueRangeArgument(const char *text, double *lo, double *hi) {
    if (!ReadPair(text, lo, hi) || !std::isfinite(*lo) || !std::isfinite(*hi) || !(*lo < *hi))
        return Failure(std::string("bad value range: ") + text + ".");
    return Success();
}

void MapSamples(const float *values, std::size_t count, SampleType type, double lo, double hi, unsigned char *out) {
    if (type == SampleType::kFloat32) {
        std::memcpy(out, values, count * sizeof(float));
        return;
    }
    double max = SampleMax(type);
    double span = hi - lo;
    for (std::size_t i = 0; i < count; ++i) {
        double v = values[i], q;
        if (std::isnan(v))
            q = 0;
        else if (span > 0)
            q = (v - lo) / span * max;
        else
            q = v > lo ? max : 0;
        q = q < 0 ? 0 : q > max ? max : std::floor(q + 0.5);
        auto n = static_cast<std::uint32_t>(q);
        if (type == SampleType::kUint8) {
            out[i] = static_cast<unsigned char>(n);
        } else {
            out[2 * i] = static_cast<unsigned char>(n);
            out[2 * i + 1] = static_cast<unsigned char>(n >> 8);
        }
    }
}

Status StartPercentiles(Percentiles *p) {
    try {
        p->upper.assign(kBins, 0);
        p->lower[0].assign(kBins, 0);
        p->lower[1].assign(kBins, 0);
    } catch (const std::bad_alloc &) {
        return Failure("memory allocation error.");
    }
    p->finite = 0;
    return Success();
}

void CountUpper(Percentiles *p, const float *values, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i)
        if (std::isfinite(values[i])) {
            ++p->upper[KeyOf(values[i]) >> 16];
            ++p->finite;
        }
}

void ChooseBins(Percentiles *p) {
    std::uint64_t n = p->finite;
    std::uint64_t ranks[2] = {(n + 999) / 1000, n - n / 1000};
    for (int k = 0; k < 2; ++k) FindRank(p->upper, ranks[k], &p->bin[k], &p->within[k]);
}

void CountLower(Percentiles *p, const float *values, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        if (!std::isfinite(values[i])) continue;
        std::uint32_t key = KeyOf(values[i]);
        for (int k = 0; k < 2; ++k)
            if (key >> 16 == p->bin[k]) ++p->lower[k][key & 0xffffu];
    }
}

void PercentileValues(const Percentiles &p, double *lo, double *hi) {
    double found[2] = {0, 0};
    for (int k = 0; p.finite > 0 && k < 2; ++k) {
        std::uint32_t low = 0;
        std::uint64_t unused = 0;
        FindRank(p.lower[k], p.within[k], &low, &unused);
        found[k] = ValueOfKey(p.bin[k] << 16 | low);
    }
    *lo = found[0] + 0.0;  // -0 written as 0
    *hi = found[1] + 0.0;
}
