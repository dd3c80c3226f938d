// A projection stack with its flat and dark images, opened from a list of
// names: TIFF files (flats and darks each from their own files), or one
// HDF5 file of the Data Exchange layout holding all three.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "images.h"
#include "status.h"

struct StackInputs {
    Images stack{}, flats{}, darks{};
    bool have_flats = false, have_darks = false;
    // An HDF5 stack opened as line integrals that has flats or darks (its
    // projections are counts).
    bool counts_in_file = false;
};

// Opens the stack and checks that the flats and darks have its size. An
// HDF5 stack must come alone ("one hdf5 file at a time.") and without -f
// or -d ("<file>: flats and darks are in the file."); its flats and darks
// are left out when `line_integrals`. Fails with the readers' messages
// about the file, "<file>: no /exchange/data.", "darks need flats." or
// "<file>: sizes differ." (the first flat or dark file named). A TIFF
// projection named like the flats (or darks) while others are not, as an
// unquoted -f pattern leaves them, is refused: "<file>: a flat among the
// projections (named like -f <first flat>); quote the pattern: -f
// '<pattern>'." (or "a dark", -d).
Status OpenStackInputs(const std::vector<const char *> &stack, const std::vector<const char *> &flats,
                       const std::vector<const char *> &darks, bool line_integrals, StackInputs *in);

// TIFF projections of one series listed against their numbers (the shell
// lists proj_0.tif ... proj_359.tif as proj_0, proj_1, proj_10, ...): "warning:
// <later> comes after <earlier>: the projections are read in the order
// given; number them with zeros or list them in order (ls -v)."; empty
// when they rise.
std::string StackOrderWarning(const std::vector<const char *> &stack);

// -f and -d: each word that holds a wildcard ('*', '?' or '[') is a
// pattern the program expands itself (quoted, so that the shell leaves it),
// into the names it matches in sorted order; other words are names. The
// names are kept in `storage` and `words` points into it, so neither may be
// copied. Fails with "<pattern>: no file matches." or "<pattern>: cannot
// list the files.".
Status ExpandNames(std::vector<const char *> *words, std::vector<std::string> *storage);

// Says on `to` how many flat and dark images the normalisation used, as
// "3 flats, 2 darks." (or "3 flats."; "1 flat, 1 dark."): images, so a
// file of several pages counts each. Nothing without flats. A program says
// it at the end of a successful run with -f, beside its other counts.
void ReportFlatsAndDarks(const StackInputs &in, FILE *to);
