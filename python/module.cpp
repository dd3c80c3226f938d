// cttk: the toolkit's libraries on numpy arrays. Each function checks its
// arguments with the messages of the program it stands for, then calls the
// same library functions, so that its results equal the program's.
#include <fftw3.h>

#include "arrays.h"

using namespace pybind11::literals;

namespace {

constexpr const char *kModuleDoc = R"(cttk: the CT toolkit on numpy arrays.

Shapes: projections x rows x columns; sinograms views x detectors (M x N);
images rows x columns (K x K, row 0 at the top).  Lengths in detector
intervals, angles in degrees (None: the even half turn, view k at k 180/M),
the rotation axis in detector intervals from detector 0.  Arrays of any real
dtype are taken (float32 and float64 as they are; the libraries compute in
float64); results are float64.  Errors: ValueError (arguments and data),
OSError (files), MemoryError, with the programs' messages.  Computation
releases the GIL: threads run calls side by side.

Functions, by subject (the program each stands for):
  files        read_sinogram, write_sinogram (the toolkit's files)
               read_stack, read_scan, read_volume (TIFF, HDF5), write_volume
  corrections  zingers (proj_sino -z, on counts), normalize (proj_sino),
               paganin (proj_sino -P), remove_rings (sino_rings: auto,
               detect, sort, fft), fold (sino_fold)
  geometry     find_center (sino_center), project (img_sino),
               backproject (its exact transpose)
  recon        method='fbp', 'fourier' (sino_recon), 'sirt', 'cgls', 'tv' (sino_iter)
  simulation   phantom_image, phantom_sino, noise (sino_noise)
  threads      set_threads, get_threads
)";

}  // namespace

PYBIND11_MODULE(cttk, m) {
    m.doc() = kModuleDoc;
    // Plans are made and destroyed while other threads compute.
    fftw_make_planner_thread_safe();
    BindFiles(m);
    BindCorrections(m);
    BindGeometry(m);
    m.def(
        "set_threads",
        [](int count) {
            if (count <= 0) RaiseValue("bad thread count.");
            SetThreadCount(count);
        },
        "count"_a, "Sets the threads each computation uses (OpenMP; default OMP_NUM_THREADS or every core).");
    m.def("get_threads", &ThreadCount, "The threads each computation uses.");
}
