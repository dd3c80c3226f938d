// The whole run of sino_recon: arguments, sinogram, filtering,
// back-projection, image. Returns 0; every failure ends the process through
// Error.
#pragma once

int RunSinoRecon(int argc, char **argv);
