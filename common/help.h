// "PROGRAM --help": the usage line and where the manual is.
#pragma once

#include "status.h"

// Whether the run asks for help: "--help" is its only argument. A file of
// that name is still reachable as ./--help.
bool AsksForHelp(int argc, char **argv);

// Writes the usage line ("usage : name ...") and a line naming the manual
// page on standard output; fails with "data write error." when standard
// output cannot take them.
Status PrintHelp(const char *usage);
