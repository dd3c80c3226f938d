#include "phase.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "args.h"
#include "checks.h"
#include "normalise.h"
#include "threads.h"
#include "fftw_owned.h"

Status PhaseArgument(const char *text, PhaseSettings *settings) {
    static const char *const kBad[4] = {"bad delta/beta (-P).", "bad distance (-P).", "bad energy (-P).",
                                        "bad pixel (-P)."};
    double values[4];
    Status read = CommaReals(text, 4, kBad, "bad phase retrieval (-P DELTA_BETA,DISTANCE,ENERGY,PIXEL).", values);
    if (!read.ok()) return read;
    for (int i = 0; i < 4; ++i)
        if (!(values[i] > 0 && std::isfinite(values[i]))) return Failure(kBad[i]);
    *settings = PhaseSettings{values[0], values[1], values[2], values[3]};
    return Success();
}

std::string PhaseUnitsWarning(const PhaseSettings &s) {
    std::string odd;
    char part[64];
    auto add = [&](bool unlikely, const char *format, double value) {
        if (!unlikely) return;
        std::snprintf(part, sizeof part, format, value);
        odd += (odd.empty() ? "" : ", ") + std::string(part);
    };
    add(s.distance > 20, "distance %g m", s.distance);
    add(s.energy < 1 || s.energy > 1000, "energy %g keV", s.energy);
    add(s.pixel > 1e-3 || s.pixel < 1e-8, "pixel %g m", s.pixel);
    if (odd.empty()) return "";
    return "warning: -P: unlikely values (" + odd + "): DISTANCE and PIXEL are in metres, ENERGY in keV.";
}

double WavelengthOfEnergy(double kev) { return 12.398419843320026e-10 / kev; }

double PaganinCoefficient(const PhaseSettings &s) {
    return 3.14159265358979323846 * WavelengthOfEnergy(s.energy) * s.distance * s.delta_beta;
}

int PhaseMarginRows(const PhaseSettings &s) {
    // The filter's kernel is K0(r / L) / (2 pi L^2), L = sqrt(coefficient)
    // / (2 pi): the weight beyond 16 L is below 1e-6.
    double decay = std::sqrt(PaganinCoefficient(s)) / (2 * 3.14159265358979323846) / s.pixel;
    double margin = std::ceil(16 * decay);
    if (!(margin < 1e8)) return 0;
    return margin < 1 ? 1 : static_cast<int>(margin);
}

int PhaseTileRows(int margin) { return margin < 16 ? 32 : 2 * margin; }

int PhaseWindow(int margin, int tile, int rows, int first, int count, int *window_first) {
    long long start = static_cast<long long>(first) / tile * tile - margin;
    long long end = (static_cast<long long>(first) + count + tile - 1) / tile * tile + margin;
    if (start < 0) start = 0;
    if (end > rows) end = rows;
    *window_first = static_cast<int>(start);
    return static_cast<int>(end - start);
}

namespace {

// A transform length for n samples with `margin` of continuation each side:
// a smooth length, or 2 n (the reflection's own period, so that the
// circular transform is exactly the reflected projection's) when that is
// no longer. 0 beyond the int range.
int PaddedLength(int n, int margin) {
    long long doubled = 2LL * n;
    int smooth = SmoothLength(static_cast<long long>(n) + 2LL * margin, 7);
    if (smooth == 0 || smooth >= doubled) return doubled > 0x7fffffff ? 0 : static_cast<int>(doubled);
    return smooth;
}

// Index q of a continuation by reflection of n samples: ... 1 0 | 0 1 ...
// n-1 | n-1 n-2 ..., period 2 n.
int Reflect(long long q, int n) {
    long long period = 2LL * n;
    q %= period;
    if (q < 0) q += period;
    return static_cast<int>(q < n ? q : period - 1 - q);
}

struct Sizes {
    int margin, tile, padded_rows, padded_columns;
    std::size_t bins;  // padded_rows x (padded_columns / 2 + 1)
};

bool SizesOf(const PhaseSettings &settings, int rows, int columns, Sizes *sizes) {
    sizes->margin = PhaseMarginRows(settings);
    if (sizes->margin == 0) return false;
    sizes->tile = PhaseTileRows(sizes->margin);
    long long window = static_cast<long long>(sizes->tile) + 2LL * sizes->margin;
    int most = window < rows ? static_cast<int>(window) : rows;
    sizes->padded_rows = PaddedLength(most, sizes->margin);
    sizes->padded_columns = PaddedLength(columns, sizes->margin);
    if (sizes->padded_rows == 0 || sizes->padded_columns == 0) return false;
    sizes->bins =
        static_cast<std::size_t>(sizes->padded_rows) * static_cast<std::size_t>(sizes->padded_columns / 2 + 1);
    return true;
}

}  // namespace

double PhaseFilterBytes(const PhaseSettings &settings, int rows, int columns, int threads) {
    Sizes sizes;
    if (!SizesOf(settings, rows, columns, &sizes)) return 1e300;
    double samples = static_cast<double>(sizes.padded_rows) * sizes.padded_columns;
    double bins = static_cast<double>(sizes.bins);
    return bins * sizeof(double) + threads * (samples * sizeof(double) + bins * sizeof(fftw_complex));
}

Status MakePhaseFilter(const PhaseSettings &settings, int rows, int columns, int threads, PhaseFilter *filter) {
    *filter = PhaseFilter{};
    Sizes sizes;
    if (!SizesOf(settings, rows, columns, &sizes)) return Failure("memory allocation error.");
    filter->coefficient = PaganinCoefficient(settings);
    filter->pixel = settings.pixel;
    filter->rows = rows;
    filter->columns = columns;
    filter->margin = sizes.margin;
    filter->tile = sizes.tile;
    filter->padded_rows = sizes.padded_rows;
    filter->padded_columns = sizes.padded_columns;
    filter->threads = threads;
    std::size_t samples = static_cast<std::size_t>(sizes.padded_rows) * static_cast<std::size_t>(sizes.padded_columns);
    filter->weights = static_cast<double *>(fftw_malloc(sizeof(double) * sizes.bins));
    filter->work = static_cast<double **>(fftw_malloc(sizeof(double *) * threads));
    filter->spectra = static_cast<fftw_complex **>(fftw_malloc(sizeof(fftw_complex *) * threads));
    bool have = filter->weights != nullptr && filter->work != nullptr && filter->spectra != nullptr;
    for (int t = 0; have && t < threads; ++t) {
        filter->work[t] = static_cast<double *>(fftw_malloc(sizeof(double) * samples));
        filter->spectra[t] = static_cast<fftw_complex *>(fftw_malloc(sizeof(fftw_complex) * sizes.bins));
        have = filter->work[t] != nullptr && filter->spectra[t] != nullptr;
        if (!have) filter->threads = t + 1;
    }
    if (have) {
        // FFTW_ESTIMATE: the same algorithm, so the same bits, on every run.
        ThreadSafePlanner();
        filter->forward = fftw_plan_dft_r2c_2d(sizes.padded_rows, sizes.padded_columns, filter->work[0],
                                               filter->spectra[0], FFTW_ESTIMATE);
        filter->backward = fftw_plan_dft_c2r_2d(sizes.padded_rows, sizes.padded_columns, filter->spectra[0],
                                                filter->work[0], FFTW_ESTIMATE);
        have = filter->forward != nullptr && filter->backward != nullptr;
    }
    if (!have) {
        ReleasePhaseFilter(filter);
        return Failure("memory allocation error.");
    }
    // 1 / (1 + coefficient |u|^2), u in cycles per metre, with the
    // transforms' scale folded in.
    int half = sizes.padded_columns / 2 + 1;
    double scale = 1.0 / (static_cast<double>(sizes.padded_rows) * sizes.padded_columns);
    double row_step = 1.0 / (sizes.padded_rows * settings.pixel);
    double column_step = 1.0 / (sizes.padded_columns * settings.pixel);
    for (int ky = 0; ky < sizes.padded_rows; ++ky) {
        int fy = ky <= sizes.padded_rows / 2 ? ky : ky - sizes.padded_rows;
        double uy = fy * row_step;
        for (int kx = 0; kx < half; ++kx) {
            double ux = kx * column_step;
            filter->weights[static_cast<std::size_t>(ky) * half + kx] =
                scale / (1 + filter->coefficient * (ux * ux + uy * uy));
        }
    }
    return Success();
}

void ReleasePhaseFilter(PhaseFilter *filter) {
    if (filter->forward != nullptr) fftw_destroy_plan(filter->forward);
    if (filter->backward != nullptr) fftw_destroy_plan(filter->backward);
    for (int t = 0; t < filter->threads; ++t) {
        if (filter->work != nullptr) fftw_free(filter->work[t]);
        if (filter->spectra != nullptr) fftw_free(filter->spectra[t]);
    }
    fftw_free(filter->work);
    fftw_free(filter->spectra);
    fftw_free(filter->weights);
    *filter = PhaseFilter{};
}

namespace {

// One tile of one view: rows [tile_first, tile_end) filtered from the
// window rows [from, to) around them; the rows among [first, end) written.
long long FilterTile(const PhaseFilter &f, int slot, const double *window, int window_first, int views, int view,
                     const double *flat, const double *dark, int from, int to, int tile_first, int tile_end,
                     int first, int end, double *out) {
    std::size_t width = static_cast<std::size_t>(f.columns);
    std::size_t stride = static_cast<std::size_t>(views) * width;  // one row of the band
    int rows = to - from;
    int top = (f.padded_rows - rows) / 2, left = (f.padded_columns - f.columns) / 2;
    double *work = f.work[slot];
    int low = tile_first > first ? tile_first : first, high = tile_end < end ? tile_end : end;
    long long clamped = 0;
    for (int p = 0; p < f.padded_rows; ++p) {
        std::size_t r = static_cast<std::size_t>(from + Reflect(p - top, rows) - window_first);
        const double *counts = window + r * stride + static_cast<std::size_t>(view) * width;
        const double *fr = flat != nullptr ? flat + r * width : nullptr;
        const double *dr = dark != nullptr ? dark + r * width : nullptr;
        double *line = work + static_cast<std::size_t>(p) * f.padded_columns;
        for (int q = 0; q < f.padded_columns; ++q) {
            int c = Reflect(q - left, f.columns);
            double dark_level = dr != nullptr ? dr[c] : 0.0;
            double open = fr != nullptr ? fr[c] - dark_level : 1.0;
            double ratio = (counts[c] - dark_level) / open;
            if (!std::isfinite(ratio)) {
                ratio = kRatioFloor;
                // Counted once, where the sample itself lies.
                clamped += (p - top >= 0 && from + p - top >= low && from + p - top < high && q - left >= 0 &&
                            q - left < f.columns);
            }
            line[q] = ratio;
        }
    }
    fftw_complex *bins = f.spectra[slot];
    fftw_execute_dft_r2c(f.forward, work, bins);
    std::size_t count = static_cast<std::size_t>(f.padded_rows) * static_cast<std::size_t>(f.padded_columns / 2 + 1);
    for (std::size_t i = 0; i < count; ++i) {
        bins[i][0] *= f.weights[i];
        bins[i][1] *= f.weights[i];
    }
    fftw_execute_dft_c2r(f.backward, bins, work);
    for (int row = low; row < high; ++row) {
        const double *line = work + static_cast<std::size_t>(row - from + top) * f.padded_columns + left;
        double *o = out + static_cast<std::size_t>(row - first) * stride + static_cast<std::size_t>(view) * width;
        for (std::size_t c = 0; c < width; ++c) {
            bool low_ratio = false;
            o[c] = LineIntegral(line[c], &low_ratio);
            clamped += low_ratio;
        }
    }
    return clamped;
}

}  // namespace

long long RetrievePhase(const PhaseFilter &f, const double *window, int window_first, int views, const double *flat,
                        const double *dark, int first, int count, double *out) {
    int end = first + count;
    long long clamped = 0;
#pragma omp parallel for num_threads(f.threads) schedule(static) reduction(+ : clamped)
    for (int v = 0; v < views; ++v) {
        int slot = ThreadIndex();
        for (long long t = first / f.tile * static_cast<long long>(f.tile); t < end; t += f.tile) {
            int tile_first = static_cast<int>(t);
            int tile_end = t + f.tile < f.rows ? static_cast<int>(t + f.tile) : f.rows;
            int from = tile_first - f.margin > 0 ? tile_first - f.margin : 0;
            int to = static_cast<long long>(tile_end) + f.margin < f.rows ? tile_end + f.margin : f.rows;
            clamped += FilterTile(f, slot, window, window_first, views, v, flat, dark, from, to, tile_first, tile_end,
                                  first, end, out);
        }
    }
    return clamped;
}
