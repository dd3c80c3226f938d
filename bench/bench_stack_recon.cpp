// stack_recon on a synthetic scan, 512 rows of 512 detectors and 720
// views of 16-bit counts, into a 512^3 volume, against what it replaces:
// proj_sino writing every row's sinogram, then sino_recon of each row one
// after the other, with the same axis. One thread and two.
#include <cstdio>
#include <string>

#include "bench.h"

void BenchStackRecon(const std::string &scratch) {
    std::string stack = scratch + "/stack_scan.tif", flat = scratch + "/stack_flat.tif";
    std::string work = scratch + "/stack_work";
    WriteStack(stack, StackPhantom(scratch), false);
    WriteStack(flat, {}, true);
    std::string bin = "\"" CT_BIN_DIR "/";
    for (int threads : {1, 2}) {
        std::string env = "OMP_NUM_THREADS=" + std::to_string(threads) + " ";
        RunOrDie("rm -rf " + work + " && mkdir -p " + work + "/sino " + work + "/img");
        // The two steps it replaces, every row one after the other.
        double steps = BestSeconds(1, [&] {
            RunOrDie(env + bin + "proj_sino\" -f " + flat + " " + stack + " " + work + "/sino/s%04d.sg");
            RunOrDie("for f in " + work + "/sino/*.sg; do " + env + bin + "sino_recon\" \"$f\" 255.5 1 " + work +
                     "/img/$(basename \"$f\" .sg).img || exit 1; done");
        });
        RunOrDie("rm -rf " + work + "/sino " + work + "/img");
        double one = BestSeconds(1, [&] {
            RunOrDie(env + bin + "stack_recon\" -c 255.5 -f " + flat + " " + stack + " " + work + "/volume.tif 2>/dev/null");
        });
        std::printf("stack_recon 512 rows x 512 x 720 views (16-bit) into 512^3, %d thread%s: %.1f s; proj_sino then "
                    "sino_recon of every row %.1f s; ratio %.3f (goal: at most 1.15)\n",
                    threads, threads == 1 ? "" : "s", one, steps, one / steps);
    }
    RunOrDie("rm -rf " + work + " " + stack + " " + flat);
}
