#include "run.h"

int main(int argc, char **argv) { return RunDiskSino(argc, argv); }
