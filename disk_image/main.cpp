#include "run.h"

int main(int argc, char **argv) { return RunDiskImage(argc, argv); }
