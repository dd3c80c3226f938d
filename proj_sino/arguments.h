// proj_sino's command line: its options and operands, checked in the order
// the manual lists their messages.
#pragma once

#include <string>
#include <vector>

#include "hdf5_stack.h"
#include "phase.h"
#include "status.h"

inline constexpr const char *kProjSinoUsage =
    "usage : proj_sino [-f FLAT] [-d DARK] [-r FIRST,COUNT] [-m MIB] [-l] [-s] [-t] [-z T] "
    "[-P DELTA_BETA,DISTANCE,ENERGY,PIXEL] [-A ANGLES] [-u UNIT] STACK... PATTERN";

struct Options {
    std::vector<const char *> flats, darks;
    std::vector<std::string> flat_names, dark_names;  // what -f and -d's patterns name (ExpandNames)
    ThetaUnit unit = ThetaUnit::kTold;  // -u: the unit of /exchange/theta
    bool range = false;            // -r: only rows first ... first + count - 1
    int first = 0, count = 0;
    double budget_mib;             // -m
    bool line_integrals = false;   // -l: the stack holds line integrals already
    bool strict = false;           // -s: a clamped sample is a failure
    bool half_turn = false;        // -t: keep the first half of a full turn
    double zinger_threshold = 0;   // -z: 0 when zingers stay
    const char *angles = nullptr;  // -A: where the views' angles go
    bool phase = false;            // -P: phase retrieval before the logarithm
    PhaseSettings phase_settings{};
    std::vector<const char *> stack;
    const char *pattern = nullptr;
};

// Reads and checks the command line; *helped when --help was answered.
// Fails with the usage line, ExpandNames' messages, "bad memory budget.",
// "bad row range.", "bad angle unit (degrees or radians).", "bad
// zinger threshold.", PhaseArgument's messages, "bad output pattern.",
// "line integrals take no flats or darks.", "line integrals take no phase
// retrieval (-P).", "darks need flats." or "angles and sinograms both to
// standard output.".
Status ReadOptions(int argc, char **argv, Options *options, bool *helped);
