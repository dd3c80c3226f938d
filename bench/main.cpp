// ct_bench: speed ratios of the fast paths against the straightforward
// evaluations they must equal. Run from the build: build/release/bin/ct_bench
#include "bench.h"

int main() {
    BenchRecon();
    return 0;
}
