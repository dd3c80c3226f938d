#include "run.h"

int main(int argc, char **argv) { return RunSinoView(argc, argv); }
