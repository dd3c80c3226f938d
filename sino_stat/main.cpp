#include "run.h"

int main(int argc, char **argv) { return RunSinoStat(argc, argv); }
