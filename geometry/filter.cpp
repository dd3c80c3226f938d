#include "filter.h"

#include <climits>
#include <cstddef>
#include <cstring>

#include "checks.h"
#include "kernels.h"
#include "threads.h"


int PaddedLength(int detectors) { return SmoothLength(2LL * detectors - 1, 7); }

bool MakeViewFilter(int detectors, Kernel kernel, int threads, ViewFilter *filter) {
    *filter = ViewFilter{};
    filter->detectors = detectors;
    filter->length = PaddedLength(detectors);
    int length = filter->length;
    if (length == 0 || threads <= 0) return false;
    std::size_t half = static_cast<std::size_t>(length) / 2 + 1;

    if (!filter->spectrum.Allocate(half)) return false;
    filter->threads = threads;
    filter->work.resize(static_cast<std::size_t>(threads));
    filter->bins.resize(static_cast<std::size_t>(threads));
    for (int t = 0; t < threads; ++t)
        if (!filter->work[t].Allocate(static_cast<std::size_t>(length)) || !filter->bins[t].Allocate(half))
            return false;
    ThreadSafePlanner();
    filter->forward.Reset(fftw_plan_dft_r2c_1d(length, filter->work[0], filter->bins[0], FFTW_ESTIMATE));
    filter->backward.Reset(fftw_plan_dft_c2r_1d(length, filter->bins[0], filter->work[0], FFTW_ESTIMATE));
    if (filter->forward == nullptr || filter->backward == nullptr) return false;

    KernelSpectrum(kernel, detectors, length, filter->forward, filter->work[0], filter->bins[0], filter->spectrum);
    return true;
}

void KernelSpectrum(Kernel kernel, int detectors, int length, fftw_plan forward, double *work, fftw_complex *bins,
                    double *spectrum) {
    // The kernel laid out circularly: offset d at index d mod length. The
    // kernel is even, so its spectrum is real; the imaginary parts are
    // rounding residue and are dropped.
    for (int i = 0; i < length; ++i) work[i] = 0;
    for (int d = 0; d < detectors; ++d) {
        double value = KernelValue(kernel, d);
        work[d] = value;
        if (d > 0) work[length - d] = value;
    }
    fftw_execute_dft_r2c(forward, work, bins);
    for (int b = 0; b < length / 2 + 1; ++b) spectrum[b] = bins[b][0] / length;
}

void FilterView(const ViewFilter &filter, int slot, double *view) {
    int n = filter.detectors;
    int length = filter.length;
    double *work = filter.work[slot];
    fftw_complex *bins = filter.bins[slot];
    std::memcpy(work, view, sizeof(double) * n);
    for (int i = n; i < length; ++i) work[i] = 0;
    fftw_execute_dft_r2c(filter.forward, work, bins);
    int half = length / 2 + 1;
    for (int b = 0; b < half; ++b) {
        bins[b][0] *= filter.spectrum[b];
        bins[b][1] *= filter.spectrum[b];
    }
    fftw_execute_dft_c2r(filter.backward, bins, work);
    std::memcpy(view, work, sizeof(double) * n);
}

void FilterViews(const ViewFilter &filter, double *views, int count) {
    std::size_t n = static_cast<std::size_t>(filter.detectors);
#pragma omp parallel num_threads(filter.threads)
    {
        int slot = ThreadIndex();
        // Views in small groups taken as threads come free: on a machine
        // whose other core is busy, a thread that runs slowly takes fewer
        // (each view is filtered alone, so the bytes are the same).
#pragma omp for schedule(dynamic, 8)
        for (int k = 0; k < count; ++k) FilterView(filter, slot, views + n * k);
    }
}
