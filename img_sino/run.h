// img_sino: the sinogram of an image (the sinogram layout, K x K pixels),
// by the toolkit's forward projector (Joseph's method, geometry/project.h).
#pragma once

int RunImgSino(int argc, char **argv);
