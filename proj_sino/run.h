// proj_sino: a projection stack (TIFF pages or an HDF5 Data Exchange file)
// to one sinogram of line integrals per detector row.
#pragma once

int RunProjSino(int argc, char **argv);
