#include "run.h"

#include <cstddef>

#include "args.h"
#include "arguments.h"
#include "backproject.h"
#include "error.h"
#include "filter.h"
#include "memory.h"
#include "sinogram.h"
#include "streams.h"

#ifdef _OPENMP
#include <omp.h>
#endif

namespace {

constexpr const char *kUsage = "usage : sino_recon SG c interval {size {kernel}} IMG";
constexpr const char *kMemoryFailure = "memory allocation error.";
constexpr const char *kWriteFailure = "data write error.";

// Work arrays of the filter: one per thread, but no more than there are
// views to filter, so that a huge OMP_NUM_THREADS cannot claim memory (or
// start threads) beyond the sinogram's size.
int ThreadCount(int views) {
    int threads = 1;
#ifdef _OPENMP
    threads = omp_get_max_threads();
#endif
    return threads < views ? threads : views;
}

}  // namespace

int RunSinoRecon(int argc, char **argv) {
    ProtectStandardStreams();
    if (argc < 5 || argc > 7) Error(kUsage);
    Sinogram sinogram = ReadSinogram(argv[1], "");
    int n = sinogram.columns;
    int m = sinogram.rows;
    double centre = CentreArgument(argv[2], n);
    double interval = DetectorIntervalArgument(argv[3]);
    int size = ImageSize(argc >= 6 ? IntArgument(argv[4]) : n);
    Kernel kernel = argc == 7 ? KernelArgument(argv[5]) : Kernel::kChesler;

    std::size_t pixels = static_cast<std::size_t>(size) * static_cast<std::size_t>(size);
    double *image = static_cast<double *>(AllocateBlock(pixels * sizeof(double)));
    double *cosines = static_cast<double *>(AllocateArray(m, sizeof(double)));
    double *sines = static_cast<double *>(AllocateArray(m, sizeof(double)));
    if (image == nullptr || cosines == nullptr || sines == nullptr) Error(kMemoryFailure);
    ViewFilter filter;
    if (!MakeViewFilter(n, kernel, ThreadCount(m), &filter)) Error(kMemoryFailure);

    FILE *out = OpenOutput(argv[argc - 1], "file not open.");
    double dtheta = ViewAngleStep(m);
    ViewAngles(m, dtheta, cosines, sines);
    FilterViews(filter, sinogram.samples, m);
    ReleaseViewFilter(&filter);
    BackProjectViews(sinogram.samples, Geometry{n, m, centre, size, cosines, sines}, image);
    ScaleImage(image, pixels, dtheta, interval);
    WriteCheckedHeader(out, size, size, kWriteFailure);
    WriteBlock(out, image, pixels * sizeof(double), kWriteFailure);
    FinishOutput(out, kWriteFailure);
    ReleaseBlock(image, pixels * sizeof(double));
    ReleaseSinogram(&sinogram);
    return 0;
}
