#include "run.h"

int main(int argc, char **argv) { return RunProjSino(argc, argv); }
