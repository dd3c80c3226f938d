// Phantom files: the text a PHANTOM argument names, read into the array of
// ellipses geometry's Phantom holds (geometry/phantom.h). One ellipse a
// line,
//     xC yC a b angle value
// (center and half-axes in detector intervals, a along the direction at
// `angle` degrees counter-clockwise from the x axis, b across it), '#'
// starting a comment up to the end of its line.
#pragma once

#include <string>

#include "phantom.h"
#include "status.h"

// The phantom a PHANTOM argument names: "shepp-logan:R" (R wholly a number,
// else "bad shepp-logan radius."), or a file ('-' for standard input). Fails
// with "<file>: file not found.", "<file>: line <n>: data read error." (a
// word that is not a whole number, or a line without exactly six numbers;
// also a failed read), "<file>: line <n>: bad ellipse." (EllipseValid),
// "<file>: no ellipses." or "memory allocation error."; for standard input
// the file is called "phantom".
Status ReadPhantom(const char *name, Phantom *phantom);

// The ellipses of a file's text held in memory, with the messages of
// ReadPhantom about a file called "phantom".
Status PhantomFromText(const std::string &text, Phantom *phantom);
