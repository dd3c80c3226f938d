// phantom_image: the true image of an ellipse phantom, each pixel the mean
// of the phantom over its area, on the grid sino_recon reconstructs.
#pragma once

int RunPhantomImage(int argc, char **argv);
