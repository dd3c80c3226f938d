// sino_iter: an image reconstructed from a sinogram by SIRT or CGLS.
#include "run.h"

int main(int argc, char **argv) { return RunSinoIter(argc, argv); }
