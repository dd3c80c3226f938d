// The shared helpers: numbers from the command line, the default view count,
// the kernels, the profile reader and the sinogram header.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "cli/run.h"

#include "args.h"
#include "checks.h"
#include "command.h"
#include "kernels.h"
#include "median.h"
#include "pattern.h"
#include "profile.h"
#include "search.h"
#include "sinogram.h"
#include "streams.h"

namespace {

TEST(DefaultViewCount, IsTheFloorOfNTimesPi) {
    EXPECT_EQ(DefaultViewCount(1), 3);
    EXPECT_EQ(DefaultViewCount(2), 6);
    EXPECT_EQ(DefaultViewCount(7), 21);
    EXPECT_EQ(DefaultViewCount(100), 314);
    // A product rounded to 53 bits gives 245850922 here: one view too many.
    EXPECT_EQ(DefaultViewCount(78256779), 245850921);
    // The largest count whose default still fits in 32 bits, and the next.
    EXPECT_EQ(DefaultViewCount(683565275), 2147483646);
    EXPECT_GT(DefaultViewCount(683565276), INT_MAX);
    EXPECT_EQ(DefaultViewCount(INT_MAX), 6746518849LL);
}

constexpr long double kPiL = 3.141592653589793238462643383279503L;
constexpr long double kPi2L = kPiL * kPiL;

void ExpectClose(long double actual, long double expected, const char *what, long long n) {
    EXPECT_NEAR(static_cast<double>(actual), static_cast<double>(expected),
                1e-15 * std::fabs(static_cast<double>(expected)) + 1e-300)
        << what << " at " << n;
}

TEST(Kernels, MatchClosedFormsAtSmallOffsets) {
    struct Row {
        long long n;
        long double ramachandran, shepp, chesler;
    };
    const Row rows[] = {
        {0, 0.25L, 2 / kPi2L, 0.125L - 1 / (2 * kPi2L)},
        {1, -1 / kPi2L, -2 / (3 * kPi2L), 0.0625L - 1 / (2 * kPi2L)},
        {2, 0, -2 / (15 * kPi2L), -5 / (18 * kPi2L)},
        {3, -1 / (9 * kPi2L), -2 / (35 * kPi2L), -1 / (18 * kPi2L)},
        {4, 0, -2 / (63 * kPi2L), -17 / (450 * kPi2L)},
    };
    for (const Row &row : rows) {
        for (long long n : {row.n, -row.n}) {
            ExpectClose(Ramachandran(n), row.ramachandran, "Ramachandran", n);
            ExpectClose(Shepp(n), row.shepp, "Shepp", n);
            ExpectClose(Chesler(n), row.chesler, "Chesler", n);
        }
    }
}

TEST(Kernels, AreEvenAndRamachandranVanishesAtEvenOffsets) {
    for (long long n : {1LL, 2LL, 3LL, 17LL, 46341LL, 65536LL, 3000000001LL, 4000000000LL}) {
        EXPECT_EQ(Ramachandran(n), Ramachandran(-n)) << n;
        EXPECT_EQ(Shepp(n), Shepp(-n)) << n;
        EXPECT_EQ(Chesler(n), Chesler(-n)) << n;
        if (n % 2 == 0) {
            EXPECT_EQ(Ramachandran(n), 0.0L) << n;
        }
    }
}

TEST(Kernels, CheslerIsRamachandranSmoothed) {
    for (long long n = -300; n <= 300; ++n) {
        long double smoothed =
            Ramachandran(n - 1) / 4 + Ramachandran(n) / 2 + Ramachandran(n + 1) / 4;
        long double direct = Chesler(n);
        EXPECT_LE(std::fabs(static_cast<double>(direct - smoothed)),
                  4 * DBL_EPSILON * std::fabs(static_cast<double>(direct)))
            << n;
    }
}

TEST(Kernels, OffsetsWhoseSquareExceeds32BitsStaySmallAndNegative) {
    // 46341^2 and 3e9 both leave the 32-bit range; an integer square would wrap.
    for (long long n : {46341LL, 46342LL, 100000LL, 3000000000LL, 3000000001LL}) {
        long double x = static_cast<long double>(n);
        long double chesler = Chesler(n);
        long double shepp = Shepp(n);
        EXPECT_LT(chesler, 0) << n;
        EXPECT_LT(shepp, 0) << n;
        // Both approach -1 / (2 pi^2 n^2), within a relative 3 / n^2.
        EXPECT_NEAR(static_cast<double>(chesler * 2 * kPi2L * x * x), -1.0, 1e-8) << n;
        EXPECT_NEAR(static_cast<double>(shepp * 2 * kPi2L * x * x), -1.0, 1e-8) << n;
        if (n % 2 != 0) {
            EXPECT_NEAR(static_cast<double>(Ramachandran(n) * kPi2L * x * x), -1.0, 1e-12) << n;
        }
    }
}

TEST(Kernels, ByName) {
    Kernel kernel = Kernel::kChesler;
    ASSERT_TRUE(KernelByName("shepp", &kernel));
    EXPECT_EQ(kernel, Kernel::kShepp);
    ASSERT_TRUE(KernelByName("ramachandran", &kernel));
    EXPECT_EQ(kernel, Kernel::kRamachandran);
    ASSERT_TRUE(KernelByName("chesler", &kernel));
    EXPECT_EQ(kernel, Kernel::kChesler);
    for (const char *name : {"", "Chesler", "chesler ", "shep", "ramachandran2", "hann"}) {
        EXPECT_FALSE(KernelByName(name, &kernel)) << name;
        EXPECT_EQ(KernelArgument(name, &kernel).message, "unknown kernel (chesler, shepp or ramachandran).");
    }
    // 1/8 - 1/(2 pi^2), -2/(3 pi^2), -1/pi^2.
    EXPECT_DOUBLE_EQ(KernelValue(Kernel::kChesler, 0), 0.125 - 1 / (2 * 3.141592653589793 * 3.141592653589793));
    EXPECT_DOUBLE_EQ(KernelValue(Kernel::kShepp, 1), -2 / (3 * 3.141592653589793 * 3.141592653589793));
    EXPECT_DOUBLE_EQ(KernelValue(Kernel::kRamachandran, -1), -1 / (3.141592653589793 * 3.141592653589793));
}

TEST(ImageSize, FitsTheAddressRange) {
    EXPECT_FALSE(ImageSizeFits(0));
    EXPECT_FALSE(ImageSizeFits(-5));
    EXPECT_TRUE(ImageSizeFits(1));
    EXPECT_TRUE(ImageSizeFits(1 << 20));
    EXPECT_TRUE(ImageSizeFits(1518500249));  // 8 K^2 just below 2^64
    EXPECT_FALSE(ImageSizeFits(1518500250));
    EXPECT_FALSE(ImageSizeFits(2147483647));
}

// The axis and the interval given the wrong way round ("1 255.5" for a
// detector of 512 whose axis is at 255.5): the axis within N/8 of an end
// and the interval at least N/8 from both ends. Ordinary runs, an axis
// off the middle with an interval of 1, and an interval near an end
// are not taken for it.
TEST(AxisAndInterval, SwappedWhenTheAxisIsAtAnEndAndTheIntervalWithin) {
    const struct {
        int detectors;
        double center, interval;
        bool swapped;
    } cases[] = {
        {512, 1, 255.5, true},       {512, 255.5, 1, false},     {512, 0.0065, 255.5, true},
        {512, 63.9, 64, true},       {512, 64, 64, false},       {512, 1, 63.9, false},
        {512, 1, 447, true},         {512, 1, 447.1, false},     {512, 447.1, 255.5, true},
        {512, 447, 255.5, false},    {512, 30, 6.5, false},      {512, 255.5, 255.5, false},
        {2048, 1, 1023.5, true},     {2048, 1023.5, 0.65, false}, {2048, 1, 1791, true},
        {5, 0.5, 2, true},           {5, 2, 1, false},           {64, 31.5, 1, false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(AxisAndIntervalSwapped(c.detectors, c.center, c.interval), c.swapped)
            << c.detectors << " " << c.center << " " << c.interval;
    EXPECT_EQ(SwappedAxisWarning(1, 255.5),
              "warning: the axis (1) lies near an end of the detector and the interval (255.5) where an axis would: "
              "were they swapped? c comes before interval.");
}

// The first sample that is not finite, named by its view and column.
TEST(SamplesFinite, TheFirstNonFiniteSampleIsNamed) {
    std::vector<double> samples(12, 1.5);
    Sinogram sinogram{4, 3, samples.data(), 0};
    EXPECT_TRUE(CheckSamplesFinite(sinogram, "s.sg: ").ok());
    EXPECT_EQ(FirstNotFinite(samples.data(), samples.size()), 12u);
    samples[11] = -INFINITY;
    EXPECT_EQ(CheckSamplesFinite(sinogram, "s.sg: ").message, "s.sg: sample not finite (view 2, column 3).");
    samples[6] = NAN;
    EXPECT_EQ(CheckSamplesFinite(sinogram, "").message, "sample not finite (view 1, column 2).");
    samples[0] = INFINITY;
    EXPECT_EQ(FirstNotFinite(samples.data(), samples.size()), 0u);
}

TEST(StandardStreams, AClosedOneIsTakenBeforeAnyFileIs) {
    // Standard error closed: the next file opened would otherwise become
    // descriptor 2 and receive the messages meant for standard error.
    EXPECT_EXIT(
        {
            close(2);
            ProtectStandardStreams();
            int flags = fcntl(2, F_GETFL);
            FILE *file = std::tmpfile();
            bool taken = flags != -1 && (flags & O_ACCMODE) == O_RDONLY;
            std::_Exit(taken && file != nullptr && fileno(file) != 2 ? 0 : 3);
        },
        testing::ExitedWithCode(0), "");
}

// Every program reads its options through one table: combined forms, "--",
// misplaced and unknown options the same everywhere.
TEST(CommandLine, OneReadingForEveryProgram) {
    struct Case {
        std::vector<const char *> words;  // after the program's name
        const char *failure;              // nullptr: read
        const char *angles, *iterations;
        bool nonnegative, verbose;
        int first_operand;  // index among the words; -1 when it fails
    };
    const char *const usage = "usage : prog [-a ANGLES] [-i N] [-n] [-v] SG {more} IMG";
    const Case cases[] = {
        {{"-i5", "-nv", "in", "out"}, nullptr, nullptr, "5", true, true, 2},
        {{"-i", "5", "-n", "-v", "in", "out"}, nullptr, nullptr, "5", true, true, 4},
        {{"-nvi", "7", "in", "out"}, nullptr, nullptr, "7", true, true, 2},
        {{"-a", "-x", "in", "out"}, nullptr, "-x", nullptr, false, false, 2},  // a value may start with a dash
        {{"-ai5", "in", "out"}, nullptr, "i5", nullptr, false, false, 1},
        {{"-i1", "-i2", "in", "out"}, nullptr, nullptr, "2", false, false, 2},  // the last one counts
        {{"--", "-n", "out"}, nullptr, nullptr, nullptr, false, false, 1},       // "--" ends the options
        {{"-", "-5", "-inf"}, nullptr, nullptr, nullptr, false, false, 0},       // streams and numbers
        {{"-n", "-", "out"}, nullptr, nullptr, nullptr, true, false, 1},
        {{"-x", "in", "out"}, "unknown option -x.", nullptr, nullptr, false, false, -1},
        {{"-nq", "in", "out"}, "unknown option -q.", nullptr, nullptr, false, false, -1},
        {{"-h"}, "unknown option -h.", nullptr, nullptr, false, false, -1},
        {{"-i"}, "option -i needs a value (N).", nullptr, nullptr, false, false, -1},
        {{"in", "-i", "5", "out"}, "options go before the files: -i.", nullptr, nullptr, false, false, -1},
        {{"in", "out", "-nv"}, "options go before the files: -n.", nullptr, nullptr, false, false, -1},
        {{"in"}, usage, nullptr, nullptr, false, false, -1},
        {{"a", "b", "c", "d"}, usage, nullptr, nullptr, false, false, -1},
    };
    for (const Case &c : cases) {
        const char *angles = nullptr, *iterations = nullptr;
        bool nonnegative = false, verbose = false;
        const Option options[] = {Value('a', "ANGLES", "angles", &angles), Value('i', "N", "iterations", &iterations),
                                  Flag('n', "non-negative", &nonnegative), Flag('v', "verbose", &verbose)};
        const Operand operands[] = {{"SG", "in"}, {"more", "more"}, {"IMG", "out"}};
        std::vector<char *> argv{const_cast<char *>("prog")};
        for (const char *w : c.words) argv.push_back(const_cast<char *>(w));
        CommandLine line;
        Status read = ReadCommandLine(static_cast<int>(argv.size()), argv.data(),
                                      Command{usage, options, operands, 2, 3}, &line);
        std::string shown = c.words.empty() ? "" : c.words[0];
        if (c.failure != nullptr) {
            EXPECT_EQ(read.message, c.failure) << shown;
            continue;
        }
        ASSERT_TRUE(read.ok()) << shown << ": " << read.message;
        EXPECT_EQ(line.operands, argv.data() + 1 + c.first_operand) << shown;
        EXPECT_EQ(line.count, static_cast<int>(c.words.size()) - c.first_operand) << shown;
        EXPECT_STREQ(angles, c.angles) << shown;
        EXPECT_STREQ(iterations, c.iterations) << shown;
        EXPECT_EQ(nonnegative, c.nonnegative) << shown;
        EXPECT_EQ(verbose, c.verbose) << shown;
    }
    // The first four programs: every word is an operand ('-x' a stream).
    char *words[] = {const_cast<char *>("ax_expand"), const_cast<char *>("-x"), const_cast<char *>("-out")};
    CommandLine line;
    ASSERT_TRUE(ReadCommandLine(3, words, Command{usage, {}, {}, 2, 3, true}, &line).ok());
    EXPECT_EQ(line.count, 2);
}

TEST(Arguments, ReadAsAtoiAndAtof) {
    EXPECT_EQ(IntArgument("  +12abc"), 12);
    EXPECT_EQ(IntArgument("-7"), -7);
    EXPECT_EQ(IntArgument("word"), 0);
    EXPECT_EQ(IntArgument(""), 0);
    EXPECT_EQ(IntArgument("0x10"), 0);
    EXPECT_EQ(IntArgument("99999999999"), INT_MAX);
    EXPECT_EQ(IntArgument("-99999999999"), INT_MIN);
    EXPECT_EQ(RealArgument(" 2.5e1x"), 25.0);
    EXPECT_EQ(RealArgument("abc"), 0.0);
    EXPECT_EQ(RealArgument("0x10"), 16.0);
    EXPECT_TRUE(std::isinf(RealArgument("1e999")));
    EXPECT_TRUE(std::isnan(RealArgument("nan")));
}

TEST(Arguments, NewerProgramsTakeOnlyWholeNumbers) {
    struct Case {
        const char *word;
        bool real, integer;  // a whole real, a whole integer
        double value;
    };
    const Case cases[] = {
        {"163.7", true, false, 163.7}, {"-2", true, true, -2},     {"+5", true, true, 5},  {"1e3", true, false, 1000},
        {"inf", true, false, INFINITY}, {"1e999", true, false, INFINITY},
        {"163,7", false, false, 0},    {"163.7px", false, false, 0}, {"0x10", false, false, 0}, {"", false, false, 0},
        {" 5", false, false, 0},       {"5 ", false, false, 0},      {"-", false, false, 0},    {"12abc", false, false, 0},
        {"99999999999", true, true, 99999999999.0},
    };
    for (const Case &c : cases) {
        double real = 0;
        Status r = StrictReal(c.word, "bad position of rotation center.", &real);
        EXPECT_EQ(r.ok(), c.real) << c.word;
        if (c.real) {
            EXPECT_EQ(real, c.value) << c.word;
        } else {
            EXPECT_EQ(r.message, std::string("bad position of rotation center: ") + c.word + ".");
        }
        int integer = 0;
        Status i = StrictInt(c.word, "bad number of views.", &integer);
        EXPECT_EQ(i.ok(), c.integer) << c.word;
        if (c.integer) {
            EXPECT_EQ(integer, c.value > INT_MAX ? INT_MAX : c.value) << c.word;
        } else {
            EXPECT_EQ(i.message, std::string("bad number of views: ") + c.word + ".");
        }
    }
}

TEST(ReadProfile, TokensMaySpreadOverLines) {
    FILE *in = StreamOf("2\n\n1.5\n   2.5 trailing words\n");
    Profile profile;
    ASSERT_TRUE(ReadProfileFrom(in, 2, &profile).ok());
    std::fclose(in);
    ASSERT_EQ(profile.count, 2);
    EXPECT_EQ(profile.samples[0], 1.5);
    EXPECT_EQ(profile.samples[1], 2.5);
    EXPECT_NE(profile.extra, nullptr);
}

TEST(ReadProfile, NumbersEndAtWhiteSpaceOrTheEnd) {
    // The last value may end the input or be followed by any text.
    for (const char *text : {"2 1.5 2.5", "2\t1.5\n2.5\n", "2 1.5 2.5 3,5 words", "+2 1.5e0 25e-1\r\n"}) {
        FILE *in = StreamOf(text);
        Profile profile;
        ASSERT_TRUE(ReadProfileFrom(in, 1, &profile).ok()) << text;
        std::fclose(in);
        ASSERT_EQ(profile.count, 2) << text;
        EXPECT_EQ(profile.samples[0], 1.5) << text;
        EXPECT_EQ(profile.samples[1], 2.5) << text;
    }
}

TEST(ReadProfile, CountOutsideTheRangeOrNotAWholeNumberIsAReadError) {
    for (const char *text : {"0 1", "-3 1 2 3", "x", "", "3 1 2", "2 1 abc", "4294967297 1",
                             // numpy's savetxt count, a fraction, a decimal comma at the end and inside
                             "3.000000000000000000e+00 1 2 3", "3.5 1 2 3 4", "2 1.5 39,2", "2 39,2 1.5",
                             "2 1.5 2.5x", "2x 1 2"}) {
        FILE *in = StreamOf(text);
        Profile profile;
        EXPECT_EQ(ReadProfileFrom(in, 1, &profile).message, "data read error.") << text;
        std::fclose(in);
    }
}

TEST(SinogramHeader, ParsesTwoIntegersSeparatedByAnyBlanks) {
    int n = 0, m = 0;
    ASSERT_TRUE(ParseSinogramHeader("64\t180\n", &n, &m));
    EXPECT_EQ(n, 64);
    EXPECT_EQ(m, 180);
    ASSERT_TRUE(ParseSinogramHeader("64 180\n", &n, &m));
    EXPECT_EQ(m, 180);
    ASSERT_TRUE(ParseSinogramHeader("  7\n\t+9 and some words\n", &n, &m));
    EXPECT_EQ(n, 7);
    EXPECT_EQ(m, 9);
    ASSERT_TRUE(ParseSinogramHeader("-3 0", &n, &m));  // validity is the caller's
    EXPECT_EQ(n, -3);
    EXPECT_EQ(m, 0);
    for (const char *bad : {"", "64", "64\t", "x 5", "5 x", "0x10 4", "2147483648 1", "1 -2147483649"}) {
        EXPECT_FALSE(ParseSinogramHeader(bad, &n, &m)) << bad;
    }
    ASSERT_TRUE(ParseSinogramHeader("2147483647 -2147483648", &n, &m));
    EXPECT_EQ(n, INT_MAX);
    EXPECT_EQ(m, INT_MIN);
}

TEST(SinogramHeader, ReadsOneLineAndLeavesTheSamples) {
    std::string bytes = "3\t2\nABCDEFGH";
    FILE *in = StreamOf(bytes);
    int n = 0, m = 0;
    ASSERT_TRUE(ReadSinogramHeader(in, &n, &m));
    EXPECT_EQ(n, 3);
    EXPECT_EQ(m, 2);
    EXPECT_EQ(std::fgetc(in), 'A');
    std::fclose(in);
}

TEST(SinogramHeader, RejectsALineLongerThanTheBuffer) {
    int n = 0, m = 0;
    // 1022 bytes, the line feed and the terminating zero fill the buffer.
    std::string fits = "3 2" + std::string(1019, ' ') + "\nX";
    FILE *in = StreamOf(fits);
    EXPECT_TRUE(ReadSinogramHeader(in, &n, &m));
    EXPECT_EQ(std::fgetc(in), 'X');
    std::fclose(in);
    // One byte more and the rest of the line would be read as samples.
    std::string longer = "3 2" + std::string(1020, ' ') + "\nX";
    in = StreamOf(longer);
    EXPECT_FALSE(ReadSinogramHeader(in, &n, &m));
    std::fclose(in);
    in = StreamOf("");
    EXPECT_FALSE(ReadSinogramHeader(in, &n, &m));
    std::fclose(in);
}

TEST(SinogramHeader, WritesTabAndLineFeed) {
    char buffer[64] = {};
    FILE *out = fmemopen(buffer, sizeof buffer, "w");
    EXPECT_EQ(WriteSinogramHeader(out, 64, 180), 7);
    std::fclose(out);
    EXPECT_STREQ(buffer, "64\t180\n");
}

std::string Named(const char *text, int row) {
    NamePattern pattern;
    EXPECT_TRUE(ParsePattern(text, &pattern)) << text;
    return PatternName(pattern, row);
}

TEST(NamePattern, NamesRowsAsPrintfWould) {
    EXPECT_EQ(Named("slice_%04d.sg", 7), "slice_0007.sg");
    EXPECT_EQ(Named("slice_%04d.sg", 12345), "slice_12345.sg");
    EXPECT_EQ(Named("%d", 0), "0");
    EXPECT_EQ(Named("r%3d", 5), "r  5");
    EXPECT_EQ(Named("100%%_%d.sg", 2), "100%_2.sg");
    EXPECT_EQ(Named("a/%02d/b", 3), "a/03/b");
}

TEST(NamePattern, RefusesAnyOtherPattern) {
    NamePattern pattern;
    for (const char *text : {"", "slice.sg", "%%d", "%d%d", "%s", "%-4d", "%ld", "%", "a%", "%04", "%.3d",
                             "%1000d"}) {
        EXPECT_FALSE(ParsePattern(text, &pattern)) << text;
    }
}

}  // namespace

TEST(Median, OfAnyOrderAndOfSortedValues) {
    struct Case {
        std::vector<double> values;
        double median;
    };
    const Case cases[] = {
        {{7}, 7},
        {{3, 1, 2}, 2},
        {{4, 1, 3, 2}, 2.5},            // the mean of the middle two
        {{5, 5, 1, 9, 5, 0}, 5},
        {{-1e308, 1e308, -1e308, 1e308}, 0},  // halves first: no overflow
        {{2, NAN, 1}, 2},               // a NaN orders above every number
    };
    for (const Case &c : cases) {
        std::vector<double> values = c.values;
        EXPECT_EQ(MedianOf(values.data(), values.size()), c.median) << values.size();
        EXPECT_EQ(Median(c.values), c.median) << values.size();
        if (c.median != 0 && c.values.size() != 3) {
            std::sort(values.begin(), values.end());
            EXPECT_EQ(MedianOfSorted(values.data(), values.size()), c.median) << values.size();
        }
    }
    EXPECT_EQ(MedianOf(nullptr, 0), 0);
}

TEST(LargestThatHolds, FindsTheLastCountATestHoldsFor) {
    for (int high : {0, 1, 2, 7, 64, 1000, INT_MAX})
        for (int last : {0, 1, 3, 63, 64, 999, INT_MAX - 1}) {
            if (last > high) continue;
            int calls = 0;
            int found = LargestThatHolds(high, [&](int count) {
                ++calls;
                return count <= last;
            });
            EXPECT_EQ(found, last) << high << " " << last;
            EXPECT_LE(calls, 32) << high << " " << last;
        }
}

// Projections listed against their numbers: the shell's order of
// proj_0.tif ... proj_359.tif puts proj_10.tif before proj_2.tif. Names of
// other series, zero-padded names and names without numbers are in order.
TEST(Pattern, NumberedFilesOutOfOrder) {
    struct Case {
        std::vector<const char *> names;
        const char *earlier, *later;  // null: in order
    };
    const Case cases[] = {
        {{"proj_0.tif", "proj_1.tif", "proj_10.tif", "proj_100.tif", "proj_2.tif"}, "proj_100.tif", "proj_2.tif"},
        {{"proj_0.tif", "proj_1.tif", "proj_2.tif", "proj_10.tif"}, nullptr, nullptr},
        {{"proj_000.tif", "proj_001.tif", "proj_010.tif", "proj_100.tif"}, nullptr, nullptr},
        {{"scan2_5.tif", "scan2_6.tif", "scan3_1.tif"}, nullptr, nullptr},  // another series
        {{"b.tif", "a.tif"}, nullptr, nullptr},
        {{"s7/p_3.tif", "s7/p_2.tif"}, "s7/p_3.tif", "s7/p_2.tif"},
        {{"p_99999999999999999999.tif", "p_1.tif"}, nullptr, nullptr},  // beyond 18 digits
    };
    for (const Case &c : cases) {
        const char *earlier = nullptr, *later = nullptr;
        bool out = NumberedOutOfOrder(c.names.data(), static_cast<int>(c.names.size()), &earlier, &later);
        EXPECT_EQ(out, c.later != nullptr) << c.names[0];
        if (out && c.later != nullptr) {
            EXPECT_STREQ(earlier, c.earlier);
            EXPECT_STREQ(later, c.later);
        }
    }
}
