// phase_stack: a propagation-based phase-contrast projection stack of an
// ellipsoid phantom, as a detector at a distance behind it records it.
#pragma once

int RunPhaseStack(int argc, char **argv);
