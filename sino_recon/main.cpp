// sino_recon: an image reconstructed from a sinogram by filtered back-projection.
#include "run.h"

int main(int argc, char **argv) { return RunSinoRecon(argc, argv); }
