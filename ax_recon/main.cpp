#include "run.h"

int main(int argc, char **argv) { return RunAxRecon(argc, argv); }
