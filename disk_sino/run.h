// disk_sino: the analytic sinogram of concentric signed disks, a phantom.
// The whole run, as main runs it: the fuzz targets and in-process tests call
// it too. Returns the exit status of a successful run (0); every failure ends
// the process through Error.
#pragma once

int RunDiskSino(int argc, char **argv);
