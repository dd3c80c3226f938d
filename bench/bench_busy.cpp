// The threaded programs on a shared machine: sino_iter (350 SIRT iterations,
// 256 detectors x 180 views) and sino_recon (1024 x 1800) with one thread
// and with two while another process keeps one core busy, under the
// programs' own waiting (threads sleep) and under spinning
// (OMP_WAIT_POLICY=active). A ratio above 1 is a second thread that slows
// the run down.
#include <csignal>
#include <cstdio>
#include <string>

#include <sys/wait.h>
#include <unistd.h>

#include "bench.h"

namespace {

// A process that spins on one core until it is killed.
pid_t StartBusy() {
    pid_t child = fork();
    if (child == 0) {
        volatile unsigned long spin = 0;
        for (;;) spin = spin + 1;
    }
    return child;
}

double Seconds(const std::string &command, const char *policy, int threads) {
    std::string line = std::string("OMP_NUM_THREADS=") + std::to_string(threads) + " " + policy + " " + command;
    return BestSeconds(3, [&] { RunOrDie(line); });
}

void Row(const char *name, const std::string &command) {
    std::printf("%-34s %8s %8s %8s\n", name, "1 thr s", "2 thr s", "2/1");
    const char *const policies[][2] = {{"sleeping (default)", ""}, {"spinning", "OMP_WAIT_POLICY=active"}};
    for (const auto &p : policies) {
        double one = Seconds(command, p[1], 1), two = Seconds(command, p[1], 2);
        std::printf("  %-32s %8.3f %8.3f %8.2f\n", p[0], one, two, two / one);
    }
}

}  // namespace

void BenchThreadsUnderLoad(const std::string &scratch) {
    std::string bin = CT_BIN_DIR;
    std::string small = scratch + "/busy_small.sg", large = scratch + "/busy_large.sg";
    RunOrDie("'" + bin + "/phantom_sino' shepp-logan:110 256 127.5 180 '" + small + "'");
    RunOrDie("'" + bin + "/phantom_sino' shepp-logan:450 1024 511.5 1800 '" + large + "'");
    std::printf("\nthreads with the other core busy (a spinning process beside)\n");
    pid_t busy = StartBusy();
    Row("sino_iter sirt, 350 iterations", "'" + bin + "/sino_iter' -i 350 '" + small + "' 127.5 1 /dev/null");
    Row("sino_recon 1024 x 1800", "'" + bin + "/sino_recon' '" + large + "' 511.5 1 /dev/null");
    kill(busy, SIGKILL);
    waitpid(busy, nullptr, 0);
}
