// The checks of a program's output name before anything is written, so
// that a forgotten or mistyped name loses no file: an output that is one of
// the run's inputs, an existing file of another kind than the one the
// program writes (a projection stack where an image was meant), and a name
// that is one of the program's own words (a kernel, a method: the output
// name was left off and the word took its place).
#pragma once

#include <vector>

#include "status.h"

// What a program writes: the toolkit's sinogram layout (a header line, then
// doubles), a TIFF of one page, or a PNG.
enum class OutputKind { kSinogram, kTiffPage, kPng };

struct OutputRules {
    OutputKind kind;
    const char *noun;                     // what is written: "image", "sinogram", "picture"
    std::vector<const char *> inputs;     // the files read ('-' is none)
    const char *word_noun;                // what the words name: "kernel", "method"
    bool (*is_word)(const char *);        // whether a name is one of the program's words; may be null
};

// Fails with "<name>: is a <word_noun>; give the <noun> a new name." for a
// name that is exactly one of the words (is_word), "<name>: output is an input." for
// the same file as an input (by device and inode, however spelled), and
// "<name>: exists and is not a <noun>; give the <noun> a new name." for an
// existing regular file that is not empty and not of the kind written (for a
// TIFF, a multi-page TIFF is a stack, not an image). Standard output ('-')
// and names that are not regular files (a FIFO, /dev/null) always pass.
Status CheckOutputName(const char *name, const OutputRules &rules);

// Whether an existing file may be replaced by one of `kind`: true when it
// is not a regular file, is empty, or holds that kind.
bool ReplaceableBy(const char *name, OutputKind kind);
