// sino_iter: an image reconstructed iteratively from a sinogram (SIRT or
// CGLS on the toolkit's projector), in sino_recon's geometry and scale.
#pragma once

int RunSinoIter(int argc, char **argv);
