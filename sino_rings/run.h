// sino_rings: stripes removed from a sinogram, so that its reconstruction
// has no rings. The whole run, as main runs it: the fuzz targets and
// in-process tests call it too. Returns 0; every failure ends the process
// through Error.
#pragma once

int RunSinoRings(int argc, char **argv);
