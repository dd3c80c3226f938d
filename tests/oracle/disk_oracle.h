// disk_sino evaluated as written: radii read from their arguments for every
// sample, summed from the last to the first, one 8-byte write per sample.
#pragma once

#include <cstdio>

// argv as disk_sino gets it (N xC yC R1 ... M SG; the output name unused);
// writes header and samples to `out`.
void DiskSinogramOracle(int argc, char *const *argv, FILE *out);
