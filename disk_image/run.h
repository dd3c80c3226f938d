// disk_image: the true image of the concentric-disk phantom that disk_sino
// projects, each pixel holding the density integrated over its area.
#pragma once

int RunDiskImage(int argc, char **argv);
