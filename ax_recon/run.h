// ax_recon: CT values along one radius of a rotationally symmetric object,
// reconstructed from one one-sided profile by convolution back-projection.
// The whole run, as main runs it: the fuzz targets and in-process tests call
// it too. Returns the exit status of a successful run (0); every failure ends
// the process through Error.
#pragma once

int RunAxRecon(int argc, char **argv);
