// sino_graft: SG0 resampled into SG1's geometry and grafted around SG1's own
// samples; the rotation center of the result goes to standard error.
// The whole run, as main runs it: the fuzz targets and in-process tests call
// it too. Returns the exit status of a successful run (0); every failure ends
// the process through Error.
#pragma once

int RunSinoGraft(int argc, char **argv);
