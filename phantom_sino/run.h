// phantom_sino: the analytic sinogram of an ellipse phantom (the Shepp-Logan
// head, or ellipses from a file). The whole run, as main runs it: the fuzz
// targets and in-process tests call it too. Returns the exit status of a
// successful run (0); every failure ends the process through Error.
#pragma once

int RunPhantomSino(int argc, char **argv);
