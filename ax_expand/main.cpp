#include "run.h"

int main(int argc, char **argv) { return RunAxExpand(argc, argv); }
