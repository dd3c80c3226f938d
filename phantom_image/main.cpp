#include "run.h"

int main(int argc, char **argv) { return RunPhantomImage(argc, argv); }
