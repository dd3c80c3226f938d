// sino_view: a sinogram file as an 8-bit greyscale PNG, one row per view.
// The whole run, as main runs it: the fuzz targets and in-process tests call
// it too. Returns the exit status of a successful run (0); every failure ends
// the process through Error.
#pragma once

int RunSinoView(int argc, char **argv);
