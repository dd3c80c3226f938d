#include "run.h"

int main(int argc, char **argv) { return RunPhaseStack(argc, argv); }
