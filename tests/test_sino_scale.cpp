// sino_scale's arithmetic and its stream, whole and cut short.
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli/run.h"
#include "memory.h"
#include "sino_scale/scale.h"
#include "sink.h"

namespace {

TEST(SinoScale, EverySampleTimesFactorPlusOffset) {
    double samples[] = {1, -2, 0.5, 0, INFINITY, NAN};
    ScaleSamples(samples, 6, 2, 0.25);
    EXPECT_EQ(samples[0], 2.25);
    EXPECT_EQ(samples[1], -3.75);
    EXPECT_EQ(samples[2], 1.25);
    EXPECT_EQ(samples[3], 0.25);
    EXPECT_EQ(samples[4], INFINITY);
    EXPECT_TRUE(std::isnan(samples[5]));
    // The product is rounded before the sum: 0.1 * 3 + 0 is 0.30000000000000004.
    double third[] = {0.1};
    ScaleSamples(third, 1, 3, 0);
    EXPECT_EQ(third[0], 0.1 * 3);
}

// Streams `values` (of which the input holds `available` samples and
// `extra` bytes more) scaled by 2 plus 1; returns the bytes written.
std::string Stream(const std::vector<double> &values, std::size_t available, std::size_t extra, bool *complete) {
    std::string bytes = DoublesBytes(values.data(), static_cast<long>(available));
    bytes += std::string(extra, '\x7f');
    FILE *in = StreamOf(bytes);
    FILE *out = std::tmpfile();
    SampleSink sink;
    EXPECT_TRUE(AllocateSink(0, "memory allocation error.", &sink).ok());
    AttachSink(&sink, out, "data write error.");
    *complete = ScaleStream(in, &sink, values.size(), 2, 1, "data read error.").ok();
    ReleaseBlock(sink.block, sink.capacity * sizeof(double));
    std::fclose(in);
    return ContentsAndClose(out);
}

TEST(SinoScale, StreamsAcrossManyBlocks) {
    // More samples than one block holds, and not a multiple of it.
    std::vector<double> values(700001);
    std::vector<double> scaled(values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        values[i] = static_cast<double>(i % 1000) - 3.5;
        scaled[i] = values[i] * 2 + 1;
    }
    bool complete = false;
    std::string out = Stream(values, values.size(), 0, &complete);
    EXPECT_TRUE(complete);
    EXPECT_TRUE(out == DoublesBytes(scaled.data(), static_cast<long>(scaled.size())));
}

TEST(SinoScale, AShortInputKeepsEveryCompleteSample) {
    std::vector<double> values(600000, 1.5);
    std::vector<double> scaled(values.size(), 4.0);
    for (std::size_t available : {std::size_t{0}, std::size_t{1}, std::size_t{262144}, std::size_t{599999}}) {
        bool complete = true;
        std::string out = Stream(values, available, 5, &complete);
        EXPECT_FALSE(complete) << available;
        EXPECT_TRUE(out == DoublesBytes(scaled.data(), static_cast<long>(available))) << available;
    }
}

}  // namespace
