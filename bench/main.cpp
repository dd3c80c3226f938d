// ct_bench: speed ratios of the fast paths against the straightforward
// evaluations they must equal, and of whole programs against cat.
// Run from the build: build/release/bin/ct_bench [scratch folder]
#include <cstdlib>
#include <string>

#include "bench.h"

int main(int argc, char **argv) {
    std::string scratch = argc > 1 ? argv[1] : "/tmp";
    BenchRecon();
    BenchDiskSino(scratch);
    BenchAxExpand(scratch);
    BenchSinoGraft(scratch);
    BenchDiskImage();
    BenchSinoScale(scratch);
    BenchSinoCenter(scratch);
    BenchProjSino(scratch);
    BenchSinoRecon(scratch);
    BenchPhantomSino(scratch);
    BenchPhantomImage(scratch);
    BenchSinoNoise(scratch);
    std::system(("rm -f " + scratch + "/disk.sg " + scratch + "/profile.txt " + scratch + "/expanded.sg " +
                 scratch + "/copy.sg").c_str());
    return 0;
}
