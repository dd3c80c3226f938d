// The source table: loaded from any bytes, closed by its mirrored row with a
// valid center, then sampled at positions inside the ranges the sampler
// accepts. The first line holds three numbers that choose the center and
// the positions.
#include <cmath>
#include <cstdlib>
#include <string>

#include "harness.h"
#include "sino_graft/source_table.h"

namespace {

double Fraction(const std::string &text) {
    double x = std::fabs(std::strtod(text.c_str(), nullptr));
    if (!std::isfinite(x)) return 0.5;
    return x - std::floor(x);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    FuzzInput input{data, size, 0};
    std::string line = NextLine(&input);
    std::string path = ScratchFile("table", Rest(&input));
    static double choice[3];
    char *end = line.data();
    for (double &c : choice) {
        char *next = end;
        c = Fraction(std::string(next));
        std::strtod(next, &end);
        if (end == next) break;
    }
    RunProgram(
        [](int, char **argv) {
            SourceTable table;
            if (!LoadSourceTable(argv[1], &table).ok()) return 1;
            if (table.columns < 2) return 0;  // no valid center exists
            double c0 = (table.columns - 1) * (0.001 + 0.998 * choice[0]);
            MirrorClosingRow(table, c0);
            volatile double sink = 0;
            for (int step = 0; step < 64; ++step) {
                double t = std::fmod(choice[1] + step * 0.618034, 1.0);
                int r = static_cast<int>(t * table.rows) % table.rows;
                double fy = std::fmod(choice[2] + step * 0.414214, 1.0);
                double position = -0.999 + (table.columns + 0.998) * std::fmod(t * 7.3, 1.0);
                sink = sink + SampleSource(table, r, fy, position);
            }
            ReleaseSourceTable(table);
            return 0;
        },
        {"table", path});
    return 0;
}
