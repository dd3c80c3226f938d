// Faults from outside, across the five programs: a closed standard output,
// inputs cut at every byte, too little memory (there also the programs that
// make their input: disk_image, phantom_image, phantom_sino), and hostile
// numbers in every numeric argument. Whatever happens, a program ends with
// exit status 0 and a complete output, or with exit status 1, one message
// and no more output than it may leave.
#include <algorithm>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/resource.h>

#include "cli/png_decode.h"
#include "cli/run.h"

namespace {

// SG0 (5 x 4) and SG1 (4 x 6) for sino_graft, a profile for the others.
void WriteInputs(const Scratch &scratch) {
    scratch.Write("profile.txt", "3\n1.5\n2.5\n3.5\n");
    scratch.Write("sg0.sg", SinogramBytes(5, 4, Ramp(20, 0.25, 11, -1).data()));
    scratch.Write("sg1.sg", SinogramBytes(4, 6, Ramp(24, 0.25, 11, -1).data()));
}

TEST(Faults, ClosedStandardOutputIsAWriteError) {
    struct Case {
        const char *command;
        const char *err;
    };
    const Case cases[] = {
        {"ax_recon profile.txt 1 -", "data write error.\n"},
        {"ax_expand profile.txt -", "data write error.\n"},
        {"disk_sino 16 0 0 5 9 -", "data write error.\n"},
        {"sino_graft sg0.sg 2 sg1.sg 1.5 1 0 0 0 -", "3.500000\nSG2 data write error.\n"},
        {"sino_graft - 2 4 6 1.5 1 0 0 0 - < sg0.sg", "3.500000\nSG2 data write error.\n"},
        {"sino_view sg1.sg -", "data write error.\n"},
    };
    for (const Case &c : cases) {
        Scratch scratch;
        WriteInputs(scratch);
        RunResult r = scratch.Run(std::string("\"$BIN\"/") + c.command + " >&-");
        EXPECT_EQ(r.status, 1) << c.command;
        EXPECT_EQ(r.err, c.err) << c.command;
    }
    // With standard error closed too, the output file must not receive the
    // message (it would have been given descriptor 2).
    Scratch scratch;
    WriteInputs(scratch);
    RunResult r = scratch.Run("\"$BIN/ax_recon\" profile.txt 0 out.txt 2>&-");
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(scratch.Exists("out.txt"));
    r = scratch.Run("\"$BIN/disk_sino\" 4 0 0 1 1 out.sg 2>&-");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(scratch.Read("out.sg").size(), 4u + 8 * 4);
}

// Whether profile text holds the count and that many numbers.
bool HasEveryValue(const std::string &text) {
    std::istringstream tokens(text);
    std::string token;
    int count = 0;
    if (!(tokens >> count) || count <= 0) return false;
    int values = 0;
    while (tokens >> token) ++values;
    return values >= count;
}

TEST(Faults, ProfilesCutAtEveryByte) {
    const std::string profile = "3\n1.5\n2.5\n3.5\n";
    for (std::size_t cut = 0; cut <= profile.size(); ++cut) {
        Scratch scratch;
        std::string kept = profile.substr(0, cut);
        scratch.Write("in.txt", kept);
        bool complete = HasEveryValue(kept);
        for (const char *command : {"ax_recon in.txt 1 out.txt", "ax_expand in.txt out.txt"}) {
            RunResult r = scratch.Run(std::string("\"$BIN\"/") + command);
            EXPECT_EQ(r.status, complete ? 0 : 1) << command << " cut " << cut;
            EXPECT_EQ(r.err, complete ? "" : "data read error.\n") << command << " cut " << cut;
            EXPECT_EQ(scratch.Exists("out.txt"), complete) << command << " cut " << cut;
            scratch.Run("rm -f out.txt");
        }
    }
}

TEST(Faults, SinogramsCutAtEveryByte) {
    const std::string sg0 = SinogramBytes(5, 4, Ramp(20, 0.25, 11, -1).data());
    const std::string sg1 = SinogramBytes(4, 6, Ramp(24, 0.25, 11, -1).data());
    // Every cut within the header and the first sample, each sample's first
    // and last byte after it, and the last sample's bytes: where a reader
    // could take a partial line or a partial sample for a whole one.
    std::vector<std::size_t> cuts;
    const std::size_t body = std::string("5\t4\n").size();
    for (std::size_t cut = 0; cut <= sg0.size(); ++cut) {
        std::size_t in_sample = cut < body ? 0 : (cut - body) % 8;
        if (cut <= body + 8 || cut + 8 >= sg0.size() || in_sample == 1 || in_sample == 7) cuts.push_back(cut);
    }
    Scratch scratch;
    WriteInputs(scratch);
    for (std::size_t cut : cuts) {
        scratch.Run("rm -f out.sg out.png");
        scratch.Write("cut.sg", sg0.substr(0, cut));
        bool header = cut >= 3;  // "5\t4" parses even without its line feed
        bool complete = cut == sg0.size();

        RunResult r = scratch.Run("\"$BIN/sino_graft\" cut.sg 2 sg1.sg 1.5 1 0 0 0 out.sg");
        EXPECT_EQ(r.status, complete ? 0 : 1) << cut;
        if (!complete) {
            EXPECT_EQ(r.err, header ? "SG0 data read error.\n" : "SG0 bad number of pixels.\n") << cut;
            EXPECT_FALSE(scratch.Exists("out.sg")) << cut;
        }
        r = scratch.Run("\"$BIN/sino_view\" cut.sg out.png");
        EXPECT_EQ(r.status, complete ? 0 : 1) << cut;
        if (!complete) {
            EXPECT_EQ(r.err, header ? "cut.sg: data read error.\n" : "cut.sg: bad number of pixels.\n") << cut;
            EXPECT_FALSE(scratch.Exists("out.png")) << cut;
        } else {
            EXPECT_TRUE(DecodePng(scratch.Read("out.png")).ok);
        }
    }
    // SG1 cut anywhere in its header: nothing written. (Cuts in its samples,
    // with the partial SG2 they leave, are sino_graft's own tests.)
    for (std::size_t cut = 0; cut < 3; ++cut) {
        scratch.Run("rm -f out.sg");
        scratch.Write("cut.sg", sg1.substr(0, cut));
        RunResult r = scratch.Run("\"$BIN/sino_graft\" sg0.sg 2 cut.sg 1.5 1 0 0 0 out.sg");
        EXPECT_EQ(r.status, 1) << cut;
        EXPECT_EQ(r.err, "SG1 bad number of pixels.\n") << cut;
        EXPECT_FALSE(scratch.Exists("out.sg")) << cut;
    }
}

TEST(Faults, OneStandardInputWithAShortSg0) {
    const std::string sg0 = SinogramBytes(5, 4, Ramp(20, 0.25, 11, -1).data());
    const std::string sg1 = SinogramBytes(4, 6, Ramp(24, 0.25, 11, -1).data());
    Scratch scratch;
    // Short by more than SG1 holds: SG0 itself runs out.
    RunResult r = scratch.Run("\"$BIN/sino_graft\" - 2 - 1.5 1 0 0 0 out.sg", sg0.substr(0, 20) + sg1.substr(0, 50));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "SG0 data read error.\n");
    EXPECT_FALSE(scratch.Exists("out.sg"));
    // Short by one sample: SG0 takes SG1's header, and what is left of SG1 has
    // none.
    r = scratch.Run("\"$BIN/sino_graft\" - 2 - 1.5 1 0 0 0 out.sg", sg0.substr(0, sg0.size() - 8) + sg1);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "SG1 bad number of pixels.\n");
    EXPECT_FALSE(scratch.Exists("out.sg"));
}

// A run that fails: the program and its arguments ("ax_recon - 1 out"),
// its standard input, and all it must print on standard error; it leaves no
// "out".
struct CommandCase {
    const char *command;
    std::string input;
    const char *err;
};

void ExpectFailedRun(const CommandCase &c, const std::string &before) {
    Scratch scratch;
    RunResult r = scratch.Run(before + "\"$BIN\"/" + c.command, c.input);
    EXPECT_EQ(r.status, 1) << c.command;
    EXPECT_EQ(r.err, c.err) << c.command;
    EXPECT_FALSE(scratch.Exists("out")) << c.command;
}

TEST(Faults, TooLittleMemoryIsAnAllocationError) {
#ifdef CT_SANITIZED
    GTEST_SKIP() << "the sanitizers reserve more address space than the limit allows";
#endif
    const CommandCase cases[] = {
        {"ax_recon - 1 out", "100000000 1 2 3", "memory allocation error.\n"},
        {"ax_expand - out", "100000000 1 2 3", "memory allocation error.\n"},
        {"disk_sino 200000000 0 0 1 1 out", "", "memory allocation error.\n"},
        {"sino_graft - 2 4 6 1.5 1 0 0 0 out", "20000 20000\n", "SG0 memory allocation error.\n"},
        {"sino_view - out", "20000 20000\n", "memory allocation error.\n"},
        {"disk_image 200000000 0 0 1 out", "", "memory allocation error.\n"},
        {"phantom_image shepp-logan:10 200000000 out", "", "memory allocation error.\n"},
        {"phantom_sino shepp-logan:10 200000000 1e8 3 out", "", "memory allocation error.\n"},
    };
    for (const CommandCase &c : cases) ExpectFailedRun(c, "ulimit -v 400000; ");
}

TEST(Faults, LyingCountsCostOnlyTheDataThatFollows) {
#ifdef CT_SANITIZED
    GTEST_SKIP() << "the sanitizers' own memory would be measured too";
#endif
    // A header or count that promises gigabytes, followed by a kilobyte:
    // memory follows the data read, so the run fails with its read error
    // long before it could commit what the header promised.
    const std::string lying_sinogram = "30000\t30000\n" + std::string(1000, '\x01');
    const CommandCase cases[] = {
        {"sino_graft - 2 4 6 1.5 1 0 0 0 out", lying_sinogram, "SG0 data read error.\n"},
        {"sino_view - out", lying_sinogram, "data read error.\n"},
        {"ax_recon - 1 out", "2147483647 1 2 3", "data read error.\n"},
        {"ax_expand - out", "2147483647 1 2 3", "data read error.\n"},
    };
    for (const CommandCase &c : cases) {
        ExpectFailedRun(c, "");
        // The largest resident size of any program run so far by this test.
        struct rusage usage;
        getrusage(RUSAGE_CHILDREN, &usage);
        EXPECT_LT(usage.ru_maxrss, 100 * 1024) << c.command << ": peak kilobytes";
    }
}

// Whether a successful run left a complete output: a profile with its count
// of lines, a sinogram with as many samples as its header says, or a PNG.
bool Complete(const std::string &bytes, const std::string &program) {
    if (program == "ax_recon") {
        int lines = 0;
        for (char c : bytes) lines += c == '\n';
        return lines == std::atoi(bytes.c_str()) + 1;
    }
    if (program == "sino_view") return DecodePng(bytes).ok;
    std::size_t end = bytes.find('\n');
    if (end == std::string::npos) return false;
    long long n = 0, m = 0;
    std::istringstream(bytes.substr(0, end)) >> n >> m;
    return bytes.size() == end + 1 + 8 * static_cast<std::size_t>(n * m);
}

TEST(Faults, HostileNumbersInEveryNumericArgument) {
    // Counts past the 32-bit range are clamped to it: a request for billions
    // of views is honoured, slowly, so the counts get the other values only.
    const std::vector<std::string> values = {"nan", "inf", "-inf", "1e999", "-1e999", "0x10", "", "-0",
                                             std::string(5000, 'x'), std::string(400, '9').insert(0, 1, '-'),
                                             "1e-320", "2147483648"};
    const std::size_t count_values = values.size() - 1;
    struct Template {
        std::string program;
        std::vector<std::string> args;  // "out" last
        std::vector<int> numeric;       // positions of numbers
        std::vector<int> counts;        // those of them that are counts
    };
    const Template templates[] = {
        {"ax_recon", {"profile.txt", "12", "0.5", "out"}, {1, 2}, {1}},
        {"ax_expand", {"profile.txt", "4", "out"}, {1}, {1}},
        {"disk_sino", {"16", "1.5", "-2", "5", "-3", "10", "out"}, {0, 1, 2, 3, 4, 5}, {0, 5}},
        {"sino_graft", {"sg0.sg", "2", "sg1.sg", "1.5", "1.2", "30", "0.5", "-1", "out"}, {1, 3, 4, 5, 6, 7}, {}},
        {"sino_graft", {"sg0.sg", "2", "4", "6", "1.5", "1.2", "30", "0.5", "-1", "out"}, {2, 3}, {2, 3}},
        {"sino_view", {"sg1.sg", "-1", "1", "out"}, {1, 2}, {}},
    };
    Scratch scratch;
    WriteInputs(scratch);
    for (const Template &t : templates) {
        for (int position : t.numeric) {
            bool count = std::find(t.counts.begin(), t.counts.end(), position) != t.counts.end();
            for (std::size_t v = 0; v < (count ? count_values : values.size()); ++v) {
                const std::string &value = values[v];
                std::string command = "rm -f out; \"$BIN/" + t.program + "\"";
                for (std::size_t i = 0; i < t.args.size(); ++i) {
                    command += " '" + (static_cast<int>(i) == position ? value : t.args[i]) + "'";
                }
                RunResult r = scratch.Run(command);
                std::string label = t.program + " position " + std::to_string(position) + " value " +
                                    value.substr(0, 12);
                ASSERT_TRUE(r.status == 0 || r.status == 1) << label << ": " << r.err;
                EXPECT_EQ(r.out, "") << label;
                if (r.status == 0) {
                    EXPECT_TRUE(Complete(scratch.Read("out"), t.program)) << label;
                } else {
                    // One message; sino_graft's center may come before it.
                    std::size_t lines = 0;
                    for (char c : r.err) lines += c == '\n';
                    EXPECT_TRUE(lines == 1 || (t.program == "sino_graft" && lines == 2)) << label << ": " << r.err;
                    EXPECT_EQ(r.err.back(), '\n') << label;
                    EXPECT_EQ(r.err.find("runtime error"), std::string::npos) << label;
                }
                // The newer programs name a word that is not wholly a number.
                bool word = value == "0x10" || value.empty() || value[0] == 'x';
                if (t.program == "sino_view" && word) {
                    EXPECT_EQ(r.err, "bad window: " + value + ".\n") << label;
                }
            }
        }
    }
}

}  // namespace
