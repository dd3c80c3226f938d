// sino_scale: every sample of a sinogram (or image) times a factor, plus an
// offset.
#pragma once

int RunSinoScale(int argc, char **argv);
