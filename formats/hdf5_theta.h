// The views' angles of a Data Exchange file: /exchange/theta, one number
// per projection in degrees, as beamlines record them.
#pragma once

#include <vector>

#include "status.h"

inline constexpr const char *kH5Theta = "/exchange/theta";

// Reads /exchange/theta when the file has it (*present false otherwise):
// a one-dimensional dataset of numbers. Fails with "<file>: data read
// error." (not one-dimensional, not numbers, unreadable), "<file>: bad
// angle." (a value not finite) or "<file>: <n> angles for <views> views.".
Status ReadH5Theta(const char *file, int views, std::vector<double> *degrees, bool *present);
