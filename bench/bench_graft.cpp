// sino_graft: the program against the straightforward one (heap table
// faulted in page by page, trigonometry per view, one 8-byte read or write
// per sample), on a 2048 x 1800 phantom grafted around a 1024 x 1800 one;
// and the program's peak memory beside the size of its table.
#include <cstdio>
#include <cstdlib>
#include <string>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "bench.h"
#include "oracle/graft_oracle.h"
#include "sino_graft/source_table.h"

namespace {

// Runs a program with its standard error discarded; returns its peak
// resident memory in kB.
long RunMeasured(const std::string &program, char *const argv[]) {
    pid_t child = fork();
    if (child == 0) {
        if (std::freopen("/dev/null", "w", stderr) == nullptr) _exit(127);
        execv(program.c_str(), argv);
        _exit(127);
    }
    int status = 0;
    struct rusage usage;
    wait4(child, &status, 0, &usage);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "failed: %s\n", program.c_str());
        std::exit(1);
    }
    return usage.ru_maxrss;
}

}  // namespace

void BenchSinoGraft(const std::string &scratch) {
    std::string sg0 = scratch + "/graft_sg0.sg", sg1 = scratch + "/graft_sg1.sg", sg2 = scratch + "/graft_sg2.sg";
    std::string bin = CT_BIN_DIR;
    std::string make = "\"" + bin + "/disk_sino\" 2048 0 0 800 -400 300 1800 " + sg0 + " && \"" + bin +
                       "/disk_sino\" 1024 2 -3 533 -267 200 1800 " + sg1;
    if (std::system(make.c_str()) != 0) std::exit(1);
    const GraftArguments a{1023.5, 1024, 1800, 511.5, 1.5, 30, 2, -3};

    double oracle = BestSeconds(3, [&] {
        FILE *in0 = std::fopen(sg0.c_str(), "rb");
        SourceTable table = LoadTableStraightforward(in0);
        std::fclose(in0);
        MirrorClosingRow(table, a.c0);
        FILE *in1 = std::fopen(sg1.c_str(), "rb");
        while (std::fgetc(in1) != '\n') {
        }
        FILE *out = std::fopen(sg2.c_str(), "wb");
        double c2;
        GraftOracle(table, a, in1, out, &c2);
        std::fclose(out);
        std::fclose(in1);
        ReleaseTableStraightforward(table);
    });

    std::string program = bin + "/sino_graft";
    std::string args[] = {"sino_graft", sg0, "1023.5", sg1, "511.5", "1.5", "30", "2", "-3", sg2};
    char *argv[11] = {};
    for (int i = 0; i < 10; ++i) argv[i] = args[i].data();
    long peak_kb = 0;
    double fast = BestSeconds(5, [&] { peak_kb = RunMeasured(program, argv); });

    double table_mb = 1801.0 * 2050 * 8 / 1e6;
    std::printf("sino_graft 2048x1800 into 1024x1800: straightforward %.3f s, program %.3f s, ratio %.1fx; "
                "peak memory %.1f MB (table %.1f MB)\n",
                oracle, fast, oracle / fast, peak_kb / 1e3, table_mb);
    std::remove(sg0.c_str());
    std::remove(sg1.c_str());
    std::remove(sg2.c_str());
}
