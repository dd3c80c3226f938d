// The whole run of sino_center: reads the sinogram named by argv[1], finds
// its rotation axis and prints the column with "%lf\n" on standard output.
// Returns 0; every failure ends the process through Error.
#pragma once

int RunSinoCenter(int argc, char **argv);
