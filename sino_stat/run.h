// sino_stat: size, range and mean of an image or sinogram, and with a second
// one the RMS and largest absolute difference, optionally inside a disk
// around the center; one line of name-value pairs on standard output.
#pragma once

int RunSinoStat(int argc, char **argv);
