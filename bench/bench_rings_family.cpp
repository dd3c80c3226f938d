// The stripe-removal figures on a family of striped cases (tests/rings_cases):
// for every case and method, the ring error left (over the striped one's)
// and the change made to the clean sinogram's reconstruction (over its own
// error against the truth). The tables of doc/guide/rings.md come from here.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench.h"
#include "rings.h"
#include "rings_cases.h"

namespace {

struct Named {
    const char *name;
    StripeMethod method;
};
const Named kMethods[] = {{"auto", StripeMethod::kAuto},
                          {"detect", StripeMethod::kDetect},
                          {"sort", StripeMethod::kSort},
                          {"fft", StripeMethod::kFft}};

std::vector<double> Cleaned(const std::vector<double> &samples, int columns, int rows, StripeMethod method) {
    std::vector<double> out = samples;
    if (!RemoveRings(out.data(), columns, rows, method, DefaultSize(method), 2).ok()) std::exit(1);
    return out;
}

}  // namespace

void BenchRingsFamily(const std::vector<std::pair<int, int>> &sizes, int seeds) {
    const RingObject objects[] = {RingObject::kCentred, RingObject::kOffAxis, RingObject::kHead, RingObject::kGrains};
    const RingStripes kinds[] = {RingStripes::kWeakOffsets, RingStripes::kStrongOffsets, RingStripes::kWeakGains,
                                 RingStripes::kStrongGains, RingStripes::kClusters,      RingStripes::kEdge,
                                 RingStripes::kPartial,     RingStripes::kDead,          RingStripes::kMixed};
    std::printf("%-48s", "rings family: case");
    for (const Named &m : kMethods) std::printf(" %7s", m.name);
    std::printf("   (ring error left / striped; clean change / its error)\n");
    std::vector<double> sum(4, 0), worst(4, 0);
    // Per kind of stripe: the sum and the worst of each method, and the
    // cases counted.
    const int kind_count = sizeof kinds / sizeof kinds[0];
    std::vector<double> kind_sum(4 * kind_count, 0), kind_worst(4 * kind_count, 0);
    std::vector<int> kind_cases(kind_count, 0);
    double clean_worst = 0;
    int count = 0;
    for (const auto &size : sizes)
        for (int kind_index = 0; kind_index < kind_count; ++kind_index)
            for (RingObject object : objects)
                for (int seed = 1; seed <= seeds; ++seed) {
                    double noise = seed % 3 == 0 ? 0.002 : 0;
                    const RingStripes kind = kinds[kind_index];
                    RingCaseShape shape{object, kind, size.first, size.second, static_cast<unsigned>(seed), noise};
                    RingCase c = MakeRingCase(shape);
                    std::printf("%-48s", c.name.c_str());
                    std::vector<double> clean_ratio;
                    for (int i = 0; i < 4; ++i) {
                        RingMeasure r = MeasureRingCase(c, Cleaned(c.striped, c.columns, c.rows, kMethods[i].method),
                                                        Cleaned(c.clean, c.columns, c.rows, kMethods[i].method));
                        std::printf(" %7.3f", r.ring_ratio);
                        clean_ratio.push_back(r.clean_ratio);
                        sum[i] += r.ring_ratio;
                        if (r.ring_ratio > worst[i]) worst[i] = r.ring_ratio;
                        kind_sum[4 * kind_index + i] += r.ring_ratio;
                        if (r.ring_ratio > kind_worst[4 * kind_index + i]) kind_worst[4 * kind_index + i] = r.ring_ratio;
                        if (i == 0 && r.clean_ratio > clean_worst) clean_worst = r.clean_ratio;
                    }
                    ++kind_cases[kind_index];
                    std::printf("  |");
                    for (double v : clean_ratio) std::printf(" %6.3f", v);
                    std::printf("\n");
                    std::fflush(stdout);
                    ++count;
                }
    // The manual's table: mean / worst of each kind.
    for (int k = 0; k < kind_count; ++k) {
        RingCaseShape shape{RingObject::kCentred, kinds[k], 0, 0, 0, 0};
        std::string name = "rings family: " + RingCaseName(shape);
        name = name.substr(0, name.find(','));
        std::printf("%-48s", name.c_str());
        for (int i = 0; i < 4; ++i)
            std::printf(" %.2f/%.2f", kind_sum[4 * k + i] / kind_cases[k], kind_worst[4 * k + i]);
        std::printf("\n");
    }
    std::printf("%-48s %.3f\n", "rings family: clean change, auto, worst", clean_worst);
    std::printf("%-48s", "rings family: mean");
    for (int i = 0; i < 4; ++i) std::printf(" %7.3f", sum[i] / count);
    std::printf("\n%-48s", "rings family: worst");
    for (int i = 0; i < 4; ++i) std::printf(" %7.3f", worst[i]);
    std::printf("\n");
}
