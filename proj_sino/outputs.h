// Where proj_sino's results go: one sinogram per row, named by the pattern
// or all on standard output, and the views' angles (-A). A named output is
// written whole to a temporary file beside it (common/output.h) and all of
// them are renamed over their names only at the end of a successful run:
// a failure leaves every file that was there before as it was.
#pragma once

#include <set>
#include <string>
#include <utility>
#include <vector>

#include <sys/types.h>

#include "arguments.h"
#include "output.h"
#include "pattern.h"
#include "status.h"

struct Outputs {
    bool to_stdout = false;
    NamePattern pattern{};
    std::set<std::pair<dev_t, ino_t>> inputs;  // the files read, never to be replaced
    std::vector<Output> files;                 // written and closed, waiting to be renamed
    OutputNames names;                         // the files they replace, each once
    std::string angles_text;                   // for -A on standard output, written last
    bool angles_to_stdout = false;
};

// Notes the input files and checks that standard output is none of them;
// fails with "output is an input.".
Status PrepareOutputs(const Options &options, Outputs *outputs);

// Writes the sinogram of detector row `row` (views x columns samples).
// Fails with "<name>: output is an input.", "<name>: file not open.",
// "<name>: two outputs name this file." (the angles' file, say) or
// "<name>: data write error." ("data write error." for standard output).
Status WriteSinogram(Outputs *outputs, int row, const double *samples, int columns, int views);

// Writes the angles (degrees, one a line, as numpy.loadtxt reads them) to
// `name`: to its temporary file now, or to standard output at the end.
// Fails as WriteSinogram.
Status WriteAngles(Outputs *outputs, const char *name, const std::vector<double> &degrees);

// The end of a successful run: the angles for standard output written,
// standard output flushed, every temporary file renamed over its name, all
// or none (CommitOutputSet).
Status CommitOutputs(Outputs *outputs);
