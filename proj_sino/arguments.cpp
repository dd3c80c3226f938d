#include "arguments.h"

#include <cmath>
#include <cstring>

#include <unistd.h>

#include "args.h"
#include "band.h"
#include "options.h"
#include "pattern.h"
#include "streams.h"

Status ReadOptions(int argc, char **argv, Options *options) {
    *options = Options{};
    options->budget_mib = kDefaultBudgetMiB;
    const char *range = nullptr, *zingers = nullptr, *phase = nullptr;
    optind = 0;  // glibc: start afresh (the fuzzing build runs this again and again)
    opterr = 0;
    int option;
    // '+': options end at the first operand, as POSIX has it.
    while ((option = getopt(argc, argv, "+f:d:r:m:lstz:A:P:")) != -1) {
        switch (option) {
            case 'f': options->flats.push_back(optarg); break;
            case 'd': options->darks.push_back(optarg); break;
            case 'r': range = optarg; break;
            case 'm': options->budget_mib = RealArgument(optarg); break;
            case 'l': options->line_integrals = true; break;
            case 's': options->strict = true; break;
            case 't': options->half_turn = true; break;
            case 'z': zingers = optarg; break;
            case 'A': options->angles = optarg; break;
            case 'P': phase = optarg; break;
            default: return Failure(kProjSinoUsage);
        }
    }
    if (argc - optind < 2) return Failure(kProjSinoUsage);
    for (int i = optind; i < argc - 1; ++i) options->stack.push_back(argv[i]);
    options->pattern = argv[argc - 1];

    if (!(options->budget_mib > 0 && std::isfinite(options->budget_mib))) return Failure("bad memory budget.");
    options->range = range != nullptr;
    if (options->range) {
        Status read = RowRangeArgument(range, &options->first, &options->count);
        if (!read.ok()) return read;
    }
    if (zingers != nullptr) {
        options->zinger_threshold = RealArgument(zingers);
        if (!(options->zinger_threshold > 0 && std::isfinite(options->zinger_threshold)))
            return Failure("bad zinger threshold.");
    }
    options->phase = phase != nullptr;
    if (options->phase) {
        Status read = PhaseArgument(phase, &options->phase_settings);
        if (!read.ok()) return read;
    }
    NamePattern pattern;
    bool to_stdout = IsStandardStream(options->pattern);
    if (!to_stdout && !ParsePattern(options->pattern, &pattern)) return Failure("bad output pattern (it needs one %d).");
    if (options->line_integrals && (!options->flats.empty() || !options->darks.empty()))
        return Failure("line integrals take no flats or darks.");
    if (options->line_integrals && options->phase) return Failure("line integrals take no phase retrieval (-P).");
    if (!options->darks.empty() && options->flats.empty()) return Failure("darks need flats.");
    if (to_stdout && options->angles != nullptr && IsStandardStream(options->angles))
        return Failure("angles and sinograms both to standard output.");
    return Success();
}
