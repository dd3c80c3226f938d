// A program's command line, declared once as data: its options (letter,
// what the value is called, one line of help, where the value goes) and its
// operands. From the declaration come the usage line's companions: --help
// with a line per option and operand, the message naming an unknown
// option, and the same reading of combined forms in every program.
//
// Options come before the operands. A word "-x..." whose second character
// is a letter is a group of options: flags may be combined ("-nv"), and an
// option that takes a value takes the rest of the word ("-i5") or else the
// next word ("-i 5"). "--" ends the options and is dropped. Any other word
// ("-", "-5", a name) is the first operand; a standard stream is named by
// '-' alone there. An option of the program's met among the operands is a
// mistake, named as such, not a file.
//
// A program whose words are all operands (the four first programs, where
// any word starting with '-' is a standard stream) declares no options and
// sets `all_operands`.
#pragma once

#include <span>
#include <vector>

#include "status.h"

struct Option {
    char letter;
    const char *value;  // what the value is called in the usage ("ANGLES"); nullptr for a flag
    const char *help;   // one line for --help
    bool *flag = nullptr;                       // a flag: set when given
    const char **text = nullptr;                // a value: the last one given
    std::vector<const char *> *list = nullptr;  // a value that may repeat: every one, in order
};

inline Option Flag(char letter, const char *help, bool *to) { return Option{letter, nullptr, help, to}; }
inline Option Value(char letter, const char *value, const char *help, const char **to) {
    return Option{letter, value, help, nullptr, to};
}
inline Option Values(char letter, const char *value, const char *help, std::vector<const char *> *to) {
    return Option{letter, value, help, nullptr, nullptr, to};
}

struct Operand {
    const char *name;  // as the usage line writes it
    const char *help;
};

struct Command {
    const char *usage;  // "usage : name [-a ANGLES] SG c IMG"
    std::span<const Option> options;
    std::span<const Operand> operands;
    int fewest, most;  // how many operands the usage allows
    bool all_operands = false;
};

struct CommandLine {
    bool helped;      // --help was answered: the run is over
    char **operands;  // the operands, `count` of them
    int count;
};

// Protects the standard streams (ProtectStandardStreams), then reads the
// command line. "--help" as the only word prints the usage line, a line per
// option and operand and where the manual is, and sets `helped`. Fails with
// "unknown option -N.", "option -N needs a value (VALUE).", "options go
// before the files: -N.", the usage line for a count of operands outside
// [fewest, most], or "data write error." when the help cannot be written.
Status ReadCommandLine(int argc, char **argv, const Command &command, CommandLine *line);
