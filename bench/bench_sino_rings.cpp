// sino_rings: the whole program on a 2048 x 1800 phantom with stripes
// (goal: under 0.5 s with two threads), each method with two threads and
// with one, and the sort method against its straightforward evaluation.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench.h"
#include "oracle/rings_oracle.h"
#include "rings.h"
#include "sinogram.h"

namespace {

// Runs a shell command with standard output discarded; ends the benchmark
// when it fails.
void Run(const std::string &command) {
    if (std::system((command + " > /dev/null").c_str()) != 0) {
        std::fprintf(stderr, "failed: %s\n", command.c_str());
        std::exit(1);
    }
}

// Offsets of 1 % of the largest sample in every 97th column.
void AddStripes(Sinogram *s) {
    double largest = 0;
    std::size_t count = static_cast<std::size_t>(s->columns) * static_cast<std::size_t>(s->rows);
    for (std::size_t i = 0; i < count; ++i)
        if (s->samples[i] > largest) largest = s->samples[i];
    for (int k = 0; k < s->rows; ++k)
        for (int j = 50; j < s->columns; j += 97) s->samples[static_cast<std::size_t>(k) * s->columns + j] += 0.01 * largest;
}

bool WriteSinogram(const std::string &name, const Sinogram &s) {
    FILE *out = std::fopen(name.c_str(), "wb");
    if (out == nullptr) return false;
    std::size_t count = static_cast<std::size_t>(s.columns) * static_cast<std::size_t>(s.rows);
    bool written = std::fprintf(out, "%d\t%d\n", s.columns, s.rows) > 0 &&
                   std::fwrite(s.samples, sizeof(double), count, out) == count;
    return std::fclose(out) == 0 && written;
}

}  // namespace

void BenchSinoRings(const std::string &scratch) {
    std::string bin = CT_BIN_DIR;
    std::string sg = scratch + "/rings.sg";
    std::string out = scratch + "/rings_out.sg";
    Run("\"" + bin + "/disk_sino\" 2048 30 -20 800 -400 300 1800 " + sg);
    Sinogram s;
    if (!ReadSinogram(sg.c_str(), "", &s).ok()) std::exit(1);
    AddStripes(&s);
    if (!WriteSinogram(sg, s)) std::exit(1);
    ReleaseSinogram(&s);

    for (const char *method : {"auto", "detect", "sort", "fft"}) {
        std::string command = "\"" + bin + "/sino_rings\" " + sg + " " + method + " " + out;
        double two = BestSeconds(5, [&] { Run("OMP_NUM_THREADS=2 " + command); });
        double one = BestSeconds(3, [&] { Run("OMP_NUM_THREADS=1 " + command); });
        std::printf("sino_rings %-6s 2048x1800: %.3f s with 2 threads (%.2f of the 0.5 s goal), %.3f s with 1\n",
                    method, two, two / 0.5, one);
    }
    double cat = BestSeconds(5, [&] { Run("cat " + sg); });
    std::printf("sino_rings: cat reads the same file in %.3f s\n", cat);

    // The sort method's fast path (running medians, columns sorted once)
    // against sorting every window whole, on 512 x 720 with a median of 21.
    const int columns = 512, rows = 720, size = 21;
    std::vector<double> input(static_cast<std::size_t>(columns) * rows);
    for (std::size_t i = 0; i < input.size(); ++i) input[i] = static_cast<double>((i * 2654435761u) % 1000);
    std::vector<double> fast = input, slow = input;
    RingsWork work;
    if (!AllocateRingsWork(StripeMethod::kSort, columns, rows, size, 1, &work)) std::exit(1);
    double quick = BestSeconds(3, [&] {
        fast = input;
        RemoveStripes(fast.data(), size, &work);
    });
    double plain = BestSeconds(1, [&] {
        slow = input;
        OracleSortFilter(slow.data(), columns, rows, size);
    });
    std::printf("sino_rings sort 512x720, median of 21, one thread: %.4f s, straightforward %.4f s (%.1f times)%s\n",
                quick, plain, plain / quick, fast == slow ? "" : " DIFFERENT RESULTS");
    std::remove(sg.c_str());
    std::remove(out.c_str());
}
