// stack_recon: a projection stack (TIFF pages or an HDF5 Data Exchange
// file) to a volume, one reconstructed slice per detector row.
#pragma once

int RunStackRecon(int argc, char **argv);
