#include "run.h"

#include <cstdio>

#include "bands.h"
#include "error.h"
#include "inputs.h"
#include "normalise.h"
#include "phase.h"
#include "arguments.h"
#include "outputs.h"
#include "streams.h"

int RunProjSino(int argc, char **argv) {
    Options options;
    bool helped = false;
    Check(ReadOptions(argc, argv, &options, &helped));
    if (helped) return 0;
    Inputs in;
    Check(OpenInputs(options, &in));
    if (std::string order = StackOrderWarning(options.stack); !order.empty()) Warn(order);
    Plan plan;
    Check(PlanBands(options, in, &plan));
    Outputs outputs;
    Check(PrepareOutputs(options, &outputs));
    if (options.angles != nullptr) Check(WriteAngles(&outputs, options.angles, ViewAngles(in, plan.views)));
    Counts counts;
    Check(RunBands(options, in, plan, &outputs, &counts));
    Check(CommitOutputs(&outputs));
    if (options.zinger_threshold > 0) {
        std::fprintf(stderr, "%lld zingers replaced.\n", counts.zingers);
        if (in.have_flats) std::fprintf(stderr, "%lld zingers removed from the flats.\n", counts.flat_zingers);
        if (in.have_darks) std::fprintf(stderr, "%lld zingers removed from the darks.\n", counts.dark_zingers);
    }
    if (counts.clamped > 0) std::fprintf(stderr, "%lld samples clamped.\n", counts.clamped);
    if (NotTransmissions(counts.transmissions, counts.above)) Warn(kNotTransmissions);
    if (NotLineIntegrals(counts.integrals, counts.integrals_above)) Warn(kNotLineIntegrals);
    if (options.phase)
        if (std::string units = PhaseUnitsWarning(options.phase_settings); !units.empty()) Warn(units);
    if (!options.flats.empty()) ReportFlatsAndDarks(in, stderr);
    return 0;
}
