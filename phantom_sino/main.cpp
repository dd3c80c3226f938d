#include "run.h"

int main(int argc, char **argv) { return RunPhantomSino(argc, argv); }
