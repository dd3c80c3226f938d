// sino_fold: a full-turn sinogram folded into a half turn.
#include "run.h"

int main(int argc, char **argv) { return RunSinoFold(argc, argv); }
