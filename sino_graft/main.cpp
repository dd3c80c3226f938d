#include "run.h"

int main(int argc, char **argv) { return RunSinoGraft(argc, argv); }
