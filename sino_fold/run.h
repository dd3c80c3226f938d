// The whole run of sino_fold: reads the full-turn sinogram named by
// argv[1], folds it about the axis argv[2] into a half turn written to
// argv[3], and prints the folded sinogram's axis with "%lf\n" on standard
// output (on standard error when the sinogram itself goes there). Returns
// 0; every failure ends the process through Error.
#pragma once

int RunSinoFold(int argc, char **argv);
