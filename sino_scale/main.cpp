#include "run.h"

int main(int argc, char **argv) { return RunSinoScale(argc, argv); }
