// sino_tiff: a sinogram (or image) as a TIFF of floats, and a TIFF back as
// a sinogram; the input's first bytes tell which way.
#pragma once

int RunSinoTiff(int argc, char **argv);
