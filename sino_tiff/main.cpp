#include "run.h"

int main(int argc, char **argv) { return RunSinoTiff(argc, argv); }
