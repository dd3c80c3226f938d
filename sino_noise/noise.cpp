#include "noise.h"

#include <cmath>

#include "poisson.h"
#include "portable_math.h"
#include "threads.h"

namespace {

// Below this line integral (a mean far beyond kLargestMean for any I0)
// the exponential is not even formed.
constexpr double kLowestIntegral = -700;

}  // namespace

bool NoisySample(const Scan &scan, double p, std::uint64_t index, double *noisy) {
    if (!std::isfinite(p) || p < kLowestIntegral) return false;
    double mean = scan.open * PortableExp(-p);
    if (!(mean <= kLargestMean)) return false;
    SampleStream stream = StreamFor(scan.seed, index);
    double n = PoissonCount(mean, &stream);
    if (n == 0) n = kZeroCount;
    *noisy = PortableLog(scan.open / n);
    return true;
}

std::size_t AddNoise(const Scan &scan, double *samples, std::size_t count, std::uint64_t first) {
    long long n = static_cast<long long>(count);
    long long first_bad = n;
#pragma omp parallel for schedule(static, 4096) reduction(min : first_bad) num_threads(ThreadsFor(n / 4096 + 1))
    for (long long i = 0; i < n; ++i) {
        double noisy = 0;
        if (NoisySample(scan, samples[i], first + static_cast<std::uint64_t>(i), &noisy)) {
            samples[i] = noisy;
        } else if (i < first_bad) {
            first_bad = i;
        }
    }
    return static_cast<std::size_t>(first_bad);
}

Status NoiseStream(FILE *in, SampleSink *sink, const Scan &scan, int detectors, std::size_t count,
                   const std::string &prefix, const std::string &read_failure) {
    return StreamThroughSink(in, sink, count, read_failure, [&](double *samples, std::size_t got, std::size_t first) {
        std::size_t bad = AddNoise(scan, samples, got, first);
        if (bad == got) return Success();
        std::uint64_t at = first + bad;
        return Failure(prefix + "view " + std::to_string(at / detectors) + ", detector " +
                       std::to_string(at % detectors) + ": sample out of range.");
    });
}
