// img_sino: the line integrals of an image, a sinogram of any image.
#include "run.h"

int main(int argc, char **argv) { return RunImgSino(argc, argv); }
