// ax_expand: a one-sided profile expanded into a full sinogram, the profile
// mirrored about the axis and repeated for every view.
// The whole run, as main runs it: the fuzz targets and in-process tests call
// it too. Returns the exit status of a successful run (0); every failure ends
// the process through Error.
#pragma once

int RunAxExpand(int argc, char **argv);
