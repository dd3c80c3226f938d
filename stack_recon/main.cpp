#include "run.h"

int main(int argc, char **argv) { return RunStackRecon(argc, argv); }
