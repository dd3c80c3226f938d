#include "run.h"

int main(int argc, char **argv) { return RunSinoNoise(argc, argv); }
