// sino_center: the column of a sinogram's rotation axis.
#include "run.h"

int main(int argc, char **argv) { return RunSinoCenter(argc, argv); }
