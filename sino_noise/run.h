// sino_noise: a sinogram of line integrals as a scan at a given number of
// counts per detector in the open beam would measure it, with Poisson
// counting noise drawn from a seed.
#pragma once

int RunSinoNoise(int argc, char **argv);
