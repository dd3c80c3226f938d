#include "poisson.h"

#include <cmath>

#include "portable_math.h"

namespace {

constexpr double kTwoPi = 6.283185307179586;

// ln k! - ln(sqrt(2 pi k) (k/e)^k) for a whole k >= 1: from ln k! summed
// below 16, from its asymptotic series above (five terms: the first one
// left out is below 2e-16 there).
double StirlingError(double k) {
    if (k < 16) {
        double log_factorial = 0;
        for (double i = 2; i <= k; i += 1) log_factorial += PortableLog(i);
        return log_factorial - (k * PortableLog(k) - k + 0.5 * PortableLog(kTwoPi * k));
    }
    double k2 = k * k;
    return (1.0 / 12 - (1.0 / 360 - (1.0 / 1260 - (1.0 / 1680 - 1.0 / 1188 / k2) / k2) / k2) / k2) / k;
}

// k ln(k / mean) + mean - k, which cancels to nearly nothing when k is near
// the mean: there from the series in v = (k - mean) / (k + mean).
double Deviance(double k, double mean) {
    double difference = k - mean;
    if (std::fabs(difference) < 0.1 * (k + mean)) {
        double v = difference / (k + mean);
        double sum = difference * v;
        double term = 2 * k * v;
        double v2 = v * v;
        for (int j = 1; j < 1000; ++j) {
            term *= v2;
            double next = sum + term / (2 * j + 1);
            if (next == sum) break;
            sum = next;
        }
        return sum;
    }
    return k * PortableLog(k / mean) + mean - k;
}

double Inversion(double mean, SampleStream *stream) {
    double u = Uniform(stream);
    double probability = PortableExp(-mean);
    double cumulative = probability;
    double k = 0;
    // The probabilities' rounding may leave the sum just short of 1; the
    // search stops where they vanish.
    while (u > cumulative && probability > 0) {
        k += 1;
        probability = probability * mean / k;
        cumulative += probability;
    }
    return k;
}

double TransformedRejection(double mean, SampleStream *stream) {
    double root = std::sqrt(mean);
    double b = 0.931 + 2.53 * root;
    double a = -0.059 + 0.02483 * b;
    double vr = 0.9277 - 3.6224 / (b - 2);
    // Needed only by the few trials the squeeze neither takes nor rejects.
    double log_alpha = 0;
    bool have_alpha = false;
    for (;;) {
        double u = Uniform(stream) - 0.5;
        double v = Uniform(stream);
        double us = 0.5 - std::fabs(u);
        double k = std::floor((2 * a / us + b) * u + mean + 0.43);
        if (us >= 0.07 && v <= vr) return k;
        if (k < 0 || (us < 0.013 && v > us)) continue;
        if (!have_alpha) {
            log_alpha = PortableLog(1.1239 + 1.1328 / (b - 3.4));
            have_alpha = true;
        }
        double left = PortableLog(v) + log_alpha - PortableLog(a / (us * us) + b);
        if (left <= LogPoissonProbability(k, mean)) return k;
    }
}

}  // namespace

std::uint64_t Mix(std::uint64_t z) {
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9u;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebu;
    return z ^ (z >> 31);
}

std::uint64_t NextWord(SampleStream *stream) {
    stream->state += 0x9e3779b97f4a7c15u;
    return Mix(stream->state);
}

SampleStream StreamFor(std::uint64_t seed, std::uint64_t index) { return SampleStream{Mix(seed ^ Mix(index))}; }

double UniformOf(std::uint64_t word) { return (static_cast<double>(word >> 12) + 0.5) * 0x1p-52; }

double Uniform(SampleStream *stream) { return UniformOf(NextWord(stream)); }

double LogPoissonProbability(double k, double mean) {
    if (k == 0) return -mean;
    return -StirlingError(k) - Deviance(k, mean) - 0.5 * PortableLog(kTwoPi * k);
}

double PoissonCount(double mean, SampleStream *stream) {
    return mean < kInversionLimit ? Inversion(mean, stream) : TransformedRejection(mean, stream);
}
