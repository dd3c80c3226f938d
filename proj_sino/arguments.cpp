#include "arguments.h"

#include <cctype>
#include <climits>
#include <cmath>
#include <cstring>

#include "args.h"
#include "band.h"
#include "command.h"
#include "options.h"
#include "pattern.h"
#include "stack_inputs.h"
#include "streams.h"

Status ReadOptions(int argc, char **argv, Options *options, bool *helped) {
    *options = Options{};
    const char *budget = nullptr, *range = nullptr, *zingers = nullptr, *phase = nullptr, *unit = nullptr;
    const Option table[] = {
        Values('f', "FLAT", "a flat field (open beam) image, or a quoted pattern ('flat_*.tif'); repeat for more",
               &options->flats),
        Values('d', "DARK", "a dark field image, or a quoted pattern ('dark_*.tif'); repeat for more",
               &options->darks),
        Value('r', "FIRST,COUNT", "only these detector rows (default: all)", &range),
        Value('m', "MIB", "the memory budget in MiB", &budget),
        Flag('l', "the stack holds line integrals already", &options->line_integrals),
        Flag('s', "a sample clamped to the smallest transmission is a failure", &options->strict),
        Flag('t', "the views cover the whole turn: keep its first half", &options->half_turn),
        Value('z', "T", "replace zingers that stand T noises above their neighbours (photon noise with flats; 6 is usual)", &zingers),
        Value('A', "ANGLES", "write the views' angles in degrees to this file", &options->angles),
        Value('u', "UNIT", "the unit of /exchange/theta: degrees or radians (default: told from the values)", &unit),
        Value('P', "DELTA_BETA,DISTANCE,ENERGY,PIXEL",
              "phase retrieval: delta/beta, the distance in m, the energy in keV, the pixel in m", &phase),
    };
    const Operand operands[] = {
        {"STACK...", "projection images (TIFF), or one HDF5 Data Exchange file"},
        {"PATTERN", "the sinograms' names, with %d for the row ('-': all to standard output)"},
    };
    CommandLine line;
    Status read = ReadCommandLine(argc, argv, Command{kProjSinoUsage, table, operands, 2, INT_MAX}, &line);
    *helped = line.helped;
    if (!read.ok() || line.helped) return read;
    options->stack.assign(line.operands, line.operands + line.count - 1);
    options->pattern = line.operands[line.count - 1];
    Status expanded = ExpandNames(&options->flats, &options->flat_names);
    if (expanded.ok()) expanded = ExpandNames(&options->darks, &options->dark_names);
    if (!expanded.ok()) return expanded;

    options->budget_mib = kDefaultBudgetMiB;
    if (budget != nullptr) {
        Status read = StrictReal(budget, "bad memory budget.", &options->budget_mib);
        if (!read.ok()) return read;
    }
    if (!(options->budget_mib > 0 && std::isfinite(options->budget_mib))) return Failure("bad memory budget.");
    options->range = range != nullptr;
    if (options->range) {
        Status read = RowRangeArgument(range, &options->first, &options->count);
        if (!read.ok()) return read;
    }
    if (zingers != nullptr) {
        Status read = StrictReal(zingers, "bad zinger threshold.", &options->zinger_threshold);
        if (!read.ok()) return read;
        if (!(options->zinger_threshold > 0 && std::isfinite(options->zinger_threshold)))
            return Failure("bad zinger threshold.");
    }
    if (unit != nullptr) {
        Status read = ThetaUnitArgument(unit, &options->unit);
        if (!read.ok()) return read;
    }
    options->phase = phase != nullptr;
    if (options->phase) {
        Status read = PhaseArgument(phase, &options->phase_settings);
        if (!read.ok()) return read;
    }
    NamePattern pattern;
    bool to_stdout = IsStandardStream(options->pattern);
    if (!to_stdout && !ParsePattern(options->pattern, &pattern)) return Failure("bad output pattern (it needs one %d).");
    // The sinograms are the toolkit's files, which no TIFF reader opens:
    // a .tif name would promise one.
    if (!to_stdout) {
        std::string end = pattern.after.size() >= 5 ? pattern.after.substr(pattern.after.size() - 5) : pattern.after;
        for (char &c : end) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (end.size() >= 4 && (end.compare(end.size() - 4, 4, ".tif") == 0 || end == ".tiff"))
            return Failure("bad output pattern: the sinograms are the toolkit's files, not TIFF (name them .sg; sino_tiff "
                           "makes a TIFF of one).");
    }
    if (options->line_integrals && (!options->flats.empty() || !options->darks.empty()))
        return Failure("line integrals take no flats or darks.");
    if (options->line_integrals && options->phase) return Failure("line integrals take no phase retrieval (-P).");
    if (!options->darks.empty() && options->flats.empty()) return Failure("darks need flats.");
    if (to_stdout && options->angles != nullptr && IsStandardStream(options->angles))
        return Failure("angles and sinograms both to standard output.");
    return Success();
}
