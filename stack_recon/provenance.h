// The record a volume keeps of the run that wrote it (volume_record.h):
// the program's version, the whole command line quoted for a shell to run
// again, the options given, the stack, and what the run adds (centers,
// kernel and method, sample type and value range, the counts of flats,
// darks, zingers and clamped samples).
#pragma once

#include <span>
#include <string>
#include <utility>
#include <vector>

#include "command.h"
#include "steps.h"
#include "volume_record.h"

// An option as given: its letter and value ("" for a flag), a value that
// repeats once for each time it was given.
using GivenOption = std::pair<char, std::string>;

// The options a table read, in the table's order.
std::vector<GivenOption> GivenOptions(std::span<const Option> table);

// A word as a POSIX shell reads it back: as it is when it holds only
// letters, digits and "_-./,:=+%@", else in single quotes (a quote inside
// written '\'').
std::string ShellWord(const std::string &word);

// program, version, command (the words quoted and joined by blanks),
// arguments (the words as they were), options ("-k shepp", "-t", one
// text an option), stack (the operands read).
Record StartRecord(int argc, char **argv, const std::vector<GivenOption> &options,
                   const std::vector<const char *> &stack);

// The options that change no sample of a part: its row range (-r), which
// is what tells parts apart, and the memory budget (-m), which bands and
// threads follow without changing a byte.
bool OptionLeavesSamples(const std::string &option);

// Why two parts' records say they are not one run's parts: "" when they
// agree, else what differs ("-k", "-T", "-V", "the stack", "the version",
// "the stack's rows"): every recorded value but the row range, the output
// name, the centers found and the counts. A part written before volumes
// recorded their runs agrees only with another such part.
std::string RecordsDiffer(const Record &a, bool a_recorded, const Record &b, bool b_recorded);

// What a reconstruction adds to its record.
struct RunFacts {
    const char *kernel, *method;  // names as the options take them
    const char *center;           // -c's text, or nullptr: found from the data
    const std::vector<double> *centers;  // each slice's
    int stack_rows, first_row, rows;     // the detector rows of the stack, and those reconstructed
    int flats, darks;                    // images (0: none)
    bool zingers;                        // -z: its counts are recorded
};

// Adds kernel, method, center, centers, stack_rows, first_row, rows, flats,
// darks, and the late counts (clamped; zingers, flat_zingers, dark_zingers
// with -z) at 0, for SetCounts to fill in at the end.
void AddRunFacts(Record *r, const RunFacts &facts);

// Adds the steps' settings as used, defaults included: the slices' side
// and centre ("size", "offset"), the zinger threshold ("zinger_threshold",
// with -z), the rings' method and window ("rings", "rings_size", with -R),
// and an iterative method's "iterations", "nonnegative" and its own
// ("subsets"; tv's "lambda" and "tolerance").
void AddStepFacts(Record *r, const BandSteps &steps, int size, double zinger_threshold);

struct ReadCounts;
void SetCounts(Record *r, const ReadCounts &counts);
