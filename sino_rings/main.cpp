#include "run.h"

int main(int argc, char **argv) { return RunSinoRings(argc, argv); }
