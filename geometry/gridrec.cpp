#include "gridrec.h"

#include <cmath>
#include <cstddef>
#include <cstring>

#include "checks.h"
#include "filter.h"
#include "real.h"
#include "threads.h"
#include "fftw_owned.h"

#ifdef _OPENMP
#include <omp.h>
#endif

namespace {

// The kernel's width in grid cells and the grid's oversampling: with the
// Kaiser-Bessel shape of Beatty et al. the spreading errs by about 1e-4 of
// the samples' sum; six cells keep the spreading, the cost that grows with
// the views, at 36 updates a sample.
constexpr int kWidth = 6;
constexpr double kOversampling = 1.25;
constexpr int kTableSteps = 1024;    // fractions of a cell the weights are tabulated at
constexpr int kViewBlock = 256;      // views transformed, then spread, together (several threads)
constexpr int kLoneBlock = 32;       // the same for one thread, which waits on no other

int ViewBlock(int threads) { return threads > 1 ? kViewBlock : kLoneBlock; }
constexpr int kRowBlock = 8;         // grid rows a thread owns at a time
constexpr int kColumnBlock = 8;      // grid columns transformed by one call

double Beta() {
    double half = kWidth / kOversampling * (kOversampling - 0.5);
    return kPi * std::sqrt(half * half - 0.8);
}

// The kernel at x cells from a sample, |x| <= W / 2.
double KaiserBessel(double x, double beta) {
    double t = 2 * x / kWidth;
    double inside = 1 - t * t;
    return std::cyl_bessel_i(0.0, beta * std::sqrt(inside < 0 ? 0 : inside));
}

// Its Fourier transform at nu cycles per cell.
double KaiserBesselTransform(double nu, double beta) {
    double w = kPi * kWidth * nu;
    double z = beta * beta - w * w;
    if (z > 0) return kWidth * std::sinh(std::sqrt(z)) / std::sqrt(z);
    if (z < 0) return kWidth * std::sin(std::sqrt(-z)) / std::sqrt(-z);
    return kWidth;
}

// The grid side: at least 1.25 K, a multiple of the column block, and a
// length the FFT handles well. 0 when out of range.
int GridCells(int size) {
    long long cells = static_cast<long long>(std::ceil(kOversampling * size));
    if (cells < 4 * kWidth) cells = 4 * kWidth;
    int m = SmoothLength(cells, 5);
    while (m != 0 && m % kColumnBlock != 0) m = SmoothLength(m + 1LL, 5);
    return m;
}

// The W weights of a sample at grid position x: the kernel at
// (x0 + t) - x, t = 0 ... W - 1, x0 = floor(x - W / 2) + 1. The table holds
// them for kTableSteps + 1 evenly spaced fractions of a cell, W a row; the
// weights are interpolated linearly between two rows.
int Weights(const double *table, double x, double *weights) {
    double start = std::floor(x - 0.5 * kWidth) + 1;
    double at = (start - x + 0.5 * kWidth) * kTableSteps;  // in (0, kTableSteps]
    int i = static_cast<int>(at);
    if (i >= kTableSteps) i = kTableSteps - 1;
    double frac = at - i;
    const double *low = table + static_cast<std::size_t>(i) * kWidth, *high = low + kWidth;
    for (int t = 0; t < kWidth; ++t) weights[t] = low[t] + frac * (high[t] - low[t]);
    return static_cast<int>(start);
}

// The complex exponential e^{2 pi i m s / L} for m = 0 ... count - 1, by
// a product of steps taken afresh every 16 samples.
void Phases(double s, int length, int count, fftw_complex *out) {
    double turn = 2 * kPi / length;
    // m s modulo L is m (s modulo L) modulo L: the products stay small.
    s = std::fmod(s, static_cast<double>(length));
    double step_angle = turn * s;
    double step_re = std::cos(step_angle), step_im = std::sin(step_angle);
    double re = 1, im = 0;
    for (int m = 0; m < count; ++m) {
        if (m % 16 == 0) {
            double angle = turn * std::fmod(m * s, static_cast<double>(length));
            re = std::cos(angle);
            im = std::sin(angle);
        }
        out[m][0] = re;
        out[m][1] = im;
        double next_re = re * step_re - im * step_im;
        im = re * step_im + im * step_re;
        re = next_re;
    }
}

// One view's samples as the spreading takes them: values[q] at grid
// position ((first + q) du, (first + q) dv), q = 0 ... count - 1, taken
// modulo M first when some lie a grid's side or more from the origin
// (pixels wider than the detector interval fold the frequencies).
struct ViewSamples {
    double du, dv;
    int first, count;
    bool far;
};

ViewSamples SamplesAlong(const GridRec &rec, double du, double dv, int first, int count) {
    double reach = (std::fabs(static_cast<double>(first)) + count) * std::fmax(std::fabs(du), std::fabs(dv));
    return ViewSamples{du, dv, first, count, !(reach < rec.cells)};
}

// The detector position of the pixel whose index offsets are zero (column
// and row K / 2): the phase reference of every view.
void ReferencePoint(const Grid &grid, double *x, double *y) {
    int center = grid.size / 2;
    *x = PixelX(grid, center);
    *y = PixelY(grid, center);
}

// The spectrum's value at m for m in (-L, L): bins hold m = 0 ... L / 2 of
// a real sequence; the rest follow from periodicity and conjugate symmetry.
void Bin(const fftw_complex *bins, int length, int m, double *re, double *im) {
    int k = m < 0 ? m + length : m;
    if (k <= length / 2) {
        *re = bins[k][0];
        *im = bins[k][1];
    } else {
        *re = bins[length - k][0];
        *im = -bins[length - k][1];
    }
}

// One view of one slice: its samples at m = 0 ... band, the conjugate half
// left out (the image is the real part of the sum, the samples beyond m = 0
// doubled). Views looking leftwards (cos < 0) give their conjugates at -m
// instead, so that all samples fill the right half of the grid and the
// threads' row blocks share them evenly.
ViewSamples SliceView(const GridRec &rec, int slot, const double *view, double cosine, double sine, double s,
                      double scale, double pixel, fftw_complex *out) {
    int l = rec.length, band = rec.band;
    double *work = rec.work[slot];
    fftw_complex *bins = rec.bins[slot];
    std::memcpy(work, view, sizeof(double) * rec.detectors);
    for (int i = rec.detectors; i < l; ++i) work[i] = 0;
    fftw_execute_dft_r2c(rec.forward, work, bins);
    Phases(s, l, band + 1, out);
    double sign = cosine < 0 ? -1 : 1;
    for (int m = 0; m <= band; ++m) {
        double bre = 0, bim = 0;
        Bin(bins, l, m, &bre, &bim);
        double amplitude = rec.amplitudes[m] * scale * (m == 0 ? 1 : 2);
        double re = bre * out[m][0] - bim * out[m][1];
        double im = bre * out[m][1] + bim * out[m][0];
        out[m][0] = re * amplitude;
        out[m][1] = sign * im * amplitude;
    }
    double unit = rec.cells * pixel / l;
    return SamplesAlong(rec, sign * unit * cosine, -sign * unit * sine, 0, band + 1);
}

// One view of two slices: the spectra of both parted from one complex
// transform, each turned by its own phase, recombined as first + i second
// at m = -band ... band.
ViewSamples PairView(const GridRec &rec, int slot, const double *first, const double *second, double cosine,
                     double sine, const double s[2], double scale, double pixel, fftw_complex *out) {
    int l = rec.length, band = rec.band;
    fftw_complex *z = rec.bins[slot];
    for (int i = 0; i < rec.detectors; ++i) {
        z[i][0] = first[i];
        z[i][1] = second[i];
    }
    for (int i = rec.detectors; i < l; ++i) z[i][0] = z[i][1] = 0;
    fftw_execute_dft(rec.pair, z, z);
    // The phases of both slices for m >= 0: the first's beyond the samples'
    // place in `out`, the second's in the thread's work array.
    fftw_complex *phase_a = out + 2 * band + 1;
    fftw_complex *phase_b = reinterpret_cast<fftw_complex *>(rec.work[slot]);
    Phases(s[0], l, band + 1, phase_a);
    Phases(s[1], l, band + 1, phase_b);
    for (int m = -band; m <= band; ++m) {
        int k = m < 0 ? -m : m;
        int at = m < 0 ? m + l : m, mirror = at == 0 ? 0 : l - at;  // m and -m modulo L, |m| < L
        // P_a = (Z[m] + conj Z[-m]) / 2, P_b = (Z[m] - conj Z[-m]) / 2i.
        double a_re = 0.5 * (z[at][0] + z[mirror][0]), a_im = 0.5 * (z[at][1] - z[mirror][1]);
        double b_re = 0.5 * (z[at][1] + z[mirror][1]), b_im = 0.5 * (z[mirror][0] - z[at][0]);
        double sign = m < 0 ? -1 : 1;
        double pa_re = phase_a[k][0], pa_im = sign * phase_a[k][1];
        double pb_re = phase_b[k][0], pb_im = sign * phase_b[k][1];
        double ta_re = a_re * pa_re - a_im * pa_im, ta_im = a_re * pa_im + a_im * pa_re;
        double tb_re = b_re * pb_re - b_im * pb_im, tb_im = b_re * pb_im + b_im * pb_re;
        double amplitude = rec.amplitudes[k] * scale;
        out[m + band][0] = (ta_re - tb_im) * amplitude;
        out[m + band][1] = (ta_im + tb_re) * amplitude;
    }
    double unit = rec.cells * pixel / l;
    return SamplesAlong(rec, unit * cosine, -unit * sine, -band, 2 * band + 1);
}

// Two complex values, real and imaginary parts in turn: the spreading's
// unit of work (GCC vector extension: one AVX register, or two SSE2 ones).
typedef double Pair4 __attribute__((vector_size(32)));

// i modulo m for i in [-2 m, 3 m): positions within a grid's side of the
// origin, less the kernel's half-width, plus its width.
int Wrap(int i, int m) {
    if (i < 0) i += m;
    if (i < 0) i += m;
    if (i >= m) i -= m;
    if (i >= m) i -= m;
    return i;
}

// Adds the samples of a block of views to the grid rows thread `slot` of
// `team` owns (row blocks of kRowBlock, dealt round), views and samples in
// order: every grid point sums its samples in the same order whatever the
// team. Compiled also for AVX2, which does the same operations (no fused
// multiply-adds), so the sums are the same on any processor.
__attribute__((target_clones("avx2", "default"))) void Spread(const GridRec &rec, const ViewSamples *samples,
                                                               const fftw_complex *values, std::size_t stride,
                                                               int views, int slot, int team) {
    int m = rec.cells;
    double *grid = &rec.grid[0][0];
    double wu[kWidth], wv[kWidth];
    int columns[kWidth] = {};
    auto owns = [&](int row) { return team == 1 || (row / kRowBlock) % team == slot; };
    for (int k = 0; k < views; ++k) {
        const ViewSamples &view = samples[k];
        const fftw_complex *value = values + stride * k;
        for (int q = 0; q < view.count; ++q) {
            double index = view.first + q;
            double u = index * view.du, v = index * view.dv;
            if (view.far) {
                u = std::fmod(u, static_cast<double>(m));
                v = std::fmod(v, static_cast<double>(m));
            }
            int row0 = Wrap(static_cast<int>(std::floor(v - 0.5 * kWidth)) + 1, m);
            int row_last = row0 + kWidth - 1 < m ? row0 + kWidth - 1 : row0 + kWidth - 1 - m;
            if (!owns(row0) && !owns(row_last)) continue;
            Weights(rec.table, v, wv);
            int column0 = Wrap(Weights(rec.table, u, wu), m);
            bool straight = column0 + kWidth <= m;
            if (!straight)
                for (int t = 0; t < kWidth; ++t) columns[t] = Wrap(column0 + t, m);
            // The column weights in pairs, one for the real and one for the
            // imaginary part of each point.
            Pair4 w[kWidth / 2];
            for (int c = 0; c < kWidth / 2; ++c) w[c] = Pair4{wu[2 * c], wu[2 * c], wu[2 * c + 1], wu[2 * c + 1]};
            double re = value[q][0], im = value[q][1];
            for (int t = 0; t < kWidth; ++t) {
                int row = row0 + t < m ? row0 + t : row0 + t - m;
                if (!owns(row)) continue;
                double cre = re * wv[t], cim = im * wv[t];
                double *line = grid + 2 * static_cast<std::size_t>(row) * m;
                if (straight) {
                    Pair4 point{cre, cim, cre, cim};
                    double *g = line + 2 * column0;
                    for (int c = 0; c < kWidth / 2; ++c) {
                        Pair4 sums;
                        std::memcpy(&sums, g + 4 * c, sizeof sums);
                        sums += point * w[c];
                        std::memcpy(g + 4 * c, &sums, sizeof sums);
                    }
                } else {
                    for (int c = 0; c < kWidth; ++c) {
                        line[2 * columns[c]] += cre * wu[c];
                        line[2 * columns[c] + 1] += cim * wu[c];
                    }
                }
            }
        }
    }
}

int TeamSize() {
#ifdef _OPENMP
    return omp_get_num_threads();
#else
    return 1;
#endif
}

// The view's one call: either slice of a pair or a single slice.
struct Slices {
    const double *first, *second;  // second null for one slice
    double axes[2];
};

// Zeroes the grid, spreads every view's samples, and transforms the grid's
// columns: the row transform of grid[(r - K/2) mod M] at (j - K/2) mod M,
// times deapodise[r] and deapodise[j], is then pixel (j, r) (the real part;
// with two slices the imaginary part is the second slice's).
void FillGrid(const GridRec &rec, const Slices &slices, const ViewSet &views, const Grid &grid, double interval) {
    int m = rec.cells, n = rec.detectors;
    std::size_t stride = 3 * static_cast<std::size_t>(rec.band) + 2;
    double xr = 0, yr = 0;
    ReferencePoint(grid, &xr, &yr);
    ViewSamples samples[kViewBlock];
    int block = ViewBlock(rec.threads);
    for (int start = 0; start < views.count; start += block) {
        int count = views.count - start < block ? views.count - start : block;
#pragma omp parallel num_threads(rec.threads)
        {
            int slot = ThreadIndex();
#pragma omp for schedule(static)
            for (int i = 0; i < count; ++i) {
                int k = start + i;
                double c = views.cosines[k], s = views.sines[k];
                double scale = views.weights[k] / interval;
                std::size_t offset = static_cast<std::size_t>(n) * k;
                fftw_complex *out = rec.values + stride * i;
                if (slices.second == nullptr) {
                    double at = ProjectPoint(slices.axes[0], c, s, xr, yr);
                    // An image centred beyond the double range from the axis
                    // lies outside the view, which adds nothing to it.
                    samples[i] = std::isfinite(at)
                                     ? SliceView(rec, slot, slices.first + offset, c, s, at, scale, grid.pixel, out)
                                     : ViewSamples{0, 0, 0, 0, false};
                } else {
                    double at[2] = {ProjectPoint(slices.axes[0], c, s, xr, yr),
                                    ProjectPoint(slices.axes[1], c, s, xr, yr)};
                    samples[i] = PairView(rec, slot, slices.first + offset, slices.second + offset, c, s, at, scale,
                                          grid.pixel, out);
                }
            }
            // Each thread clears the rows it owns before it first adds to them.
            int team = TeamSize();
            if (start == 0)
                for (int r = 0; r < m; ++r)
                    if (team == 1 || (r / kRowBlock) % team == slot)
                        std::memset(rec.grid + static_cast<std::size_t>(r) * m, 0, sizeof(fftw_complex) * m);
            Spread(rec, samples, rec.values, stride, count, slot, team);
        }
    }
    // The inverse transform along the grid's columns, a block at a time.
#pragma omp parallel for num_threads(rec.threads) schedule(static)
    for (int b = 0; b < m / kColumnBlock; ++b) {
        fftw_complex *block = rec.grid + static_cast<std::size_t>(b) * kColumnBlock;
        fftw_execute_dft(rec.columns, block, block);
    }
}

// The inverse transform along the grid rows that hold pixels, each row's
// pixels (j, r) taken as it is done: the real parts, and the imaginary
// parts when `second` is not null.
void TakeImages(const GridRec &rec, double *first, double *second) {
    int m = rec.cells, k = rec.size, center = k / 2;
#pragma omp parallel for num_threads(rec.threads) schedule(static)
    for (int r = 0; r < k; ++r) {
        fftw_complex *line = rec.grid + static_cast<std::size_t>(Wrap(r - center, m)) * m;
        fftw_execute_dft(rec.rows, line, line);
        double *out = first + static_cast<std::size_t>(r) * k;
        for (int j = 0; j < k; ++j) out[j] = line[Wrap(j - center, m)][0] * rec.deapodise[r] * rec.deapodise[j];
        if (second == nullptr) continue;
        out = second + static_cast<std::size_t>(r) * k;
        for (int j = 0; j < k; ++j) out[j] = line[Wrap(j - center, m)][1] * rec.deapodise[r] * rec.deapodise[j];
    }
}

}  // namespace

Status ReconMethodArgument(const char *text, ReconMethod *method) {
    if (std::strcmp(text, "fbp") == 0) {
        *method = ReconMethod::kDirect;
        return Success();
    }
    if (std::strcmp(text, "fourier") == 0) {
        *method = ReconMethod::kFourier;
        return Success();
    }
    return Failure("unknown method (fbp or fourier).");
}

double GridRecBytes(int detectors, int size, int threads) {
    double cells = GridCells(size), length = PaddedLength(detectors);
    // The grid, a block of views' samples with the widest band, and each
    // thread's view.
    return (cells * cells + 3.0 * length * ViewBlock(threads) + threads * 2.0 * length) * sizeof(fftw_complex);
}

void ReleaseGridRec(GridRec *rec) {
    if (rec->forward != nullptr) fftw_destroy_plan(rec->forward);
    if (rec->pair != nullptr) fftw_destroy_plan(rec->pair);
    if (rec->columns != nullptr) fftw_destroy_plan(rec->columns);
    if (rec->rows != nullptr) fftw_destroy_plan(rec->rows);
    for (int t = 0; t < rec->threads; ++t) {
        if (rec->work != nullptr) fftw_free(rec->work[t]);
        if (rec->bins != nullptr) fftw_free(rec->bins[t]);
    }
    fftw_free(rec->work);
    fftw_free(rec->bins);
    fftw_free(rec->amplitudes);
    fftw_free(rec->table);
    fftw_free(rec->deapodise);
    fftw_free(rec->grid);
    fftw_free(rec->values);
    *rec = GridRec{};
}

bool MakeGridRec(int detectors, Kernel kernel, int size, int threads, GridRec *rec) {
    *rec = GridRec{};
    int length = PaddedLength(detectors);
    int cells = GridCells(size);
    if (length == 0 || cells == 0 || threads <= 0 || size <= 0) return false;
    rec->detectors = detectors;
    rec->length = length;
    rec->size = size;
    rec->cells = cells;
    int half = length / 2;
    // The kernel's spectrum first, in the first thread's arrays.
    double *spectrum = static_cast<double *>(fftw_malloc(sizeof(double) * (half + 1)));
    double *work = static_cast<double *>(fftw_malloc(sizeof(double) * length));
    fftw_complex *bins = static_cast<fftw_complex *>(fftw_malloc(sizeof(fftw_complex) * (half + 1)));
    fftw_plan plan = nullptr;
    ThreadSafePlanner();
    if (spectrum != nullptr && work != nullptr && bins != nullptr)
        plan = fftw_plan_dft_r2c_1d(length, work, bins, FFTW_ESTIMATE);
    if (plan != nullptr) KernelSpectrum(kernel, detectors, length, plan, work, bins, spectrum);
    if (plan != nullptr) fftw_destroy_plan(plan);
    fftw_free(work);
    fftw_free(bins);
    if (plan == nullptr) {
        fftw_free(spectrum);
        return false;
    }
    // The direct method interpolates its filtered views linearly between
    // detectors: the Fourier series of a view so interpolated (period L)
    // has at m the filtered view's DFT at m mod L times sinc^2(m / L), for
    // every m. Where the kernel passes the highest frequencies (shepp,
    // ramachandran: more than a hundredth of its peak at the Nyquist
    // frequency) the terms up to the first zero, |m| < L, are gridded; the
    // smooth kernel (chesler, zero there) needs only |m| <= L / 2, the
    // Nyquist term halved between +L/2 and -L/2.
    double peak = 0;
    for (int k = 0; k <= half; ++k) peak = std::fmax(peak, std::fabs(spectrum[k]));
    bool aliases = std::fabs(spectrum[half]) > 0.01 * peak;
    rec->band = aliases ? length - 1 : half;
    rec->amplitudes = static_cast<double *>(fftw_malloc(sizeof(double) * (rec->band + 1)));
    if (rec->amplitudes != nullptr)
        for (int k = 0; k <= rec->band; ++k) {
            double x = kPi * k / length;
            double sinc = k == 0 ? 1 : std::sin(x) / x;
            double value = spectrum[k <= half ? k : length - k] * sinc * sinc;
            if (!aliases && length % 2 == 0 && k == half) value *= 0.5;
            rec->amplitudes[k] = value;
        }
    fftw_free(spectrum);

    std::size_t stride = 3 * static_cast<std::size_t>(rec->band) + 2;
    std::size_t table = static_cast<std::size_t>(kTableSteps + 1) * kWidth;
    std::size_t grid = static_cast<std::size_t>(cells) * static_cast<std::size_t>(cells);
    rec->table = static_cast<double *>(fftw_malloc(sizeof(double) * table));
    rec->deapodise = static_cast<double *>(fftw_malloc(sizeof(double) * size));
    rec->grid = static_cast<fftw_complex *>(fftw_malloc(sizeof(fftw_complex) * grid));
    rec->values = static_cast<fftw_complex *>(fftw_malloc(sizeof(fftw_complex) * stride * ViewBlock(threads)));
    rec->work = static_cast<double **>(fftw_malloc(sizeof(double *) * threads));
    rec->bins = static_cast<fftw_complex **>(fftw_malloc(sizeof(fftw_complex *) * threads));
    if (rec->amplitudes == nullptr || rec->table == nullptr || rec->deapodise == nullptr || rec->grid == nullptr ||
        rec->values == nullptr || rec->work == nullptr || rec->bins == nullptr) {
        ReleaseGridRec(rec);
        return false;
    }
    rec->threads = threads;
    bool complete = true;
    for (int t = 0; t < threads; ++t) {
        // A view of L reals, or the pair's second phases: band + 1 complex.
        std::size_t reals = 2 * static_cast<std::size_t>(rec->band) + 2;
        if (reals < static_cast<std::size_t>(length)) reals = length;
        rec->work[t] = static_cast<double *>(fftw_malloc(sizeof(double) * reals));
        rec->bins[t] = static_cast<fftw_complex *>(fftw_malloc(sizeof(fftw_complex) * length));
        if (rec->work[t] == nullptr || rec->bins[t] == nullptr) complete = false;
    }
    if (complete) {
        ThreadSafePlanner();
        rec->forward = fftw_plan_dft_r2c_1d(length, rec->work[0], rec->bins[0], FFTW_ESTIMATE);
        rec->pair = fftw_plan_dft_1d(length, rec->bins[0], rec->bins[0], FFTW_FORWARD, FFTW_ESTIMATE);
        int n[] = {cells};
        rec->columns = fftw_plan_many_dft(1, n, kColumnBlock, rec->grid, nullptr, cells, 1, rec->grid, nullptr,
                                          cells, 1, FFTW_BACKWARD, FFTW_ESTIMATE);
        rec->rows = fftw_plan_dft_1d(cells, rec->grid, rec->grid, FFTW_BACKWARD, FFTW_ESTIMATE);
    }
    if (rec->forward == nullptr || rec->pair == nullptr || rec->columns == nullptr || rec->rows == nullptr) {
        ReleaseGridRec(rec);
        return false;
    }
    double beta = Beta();
    for (int i = 0; i <= kTableSteps; ++i)
        for (int t = 0; t < kWidth; ++t)
            rec->table[static_cast<std::size_t>(i) * kWidth + t] =
                KaiserBessel(static_cast<double>(i) / kTableSteps - 0.5 * kWidth + t, beta);
    int center = size / 2;
    for (int j = 0; j < size; ++j)
        rec->deapodise[j] = 1 / KaiserBesselTransform(static_cast<double>(j - center) / cells, beta);
    return true;
}

void GridRecImage(const GridRec &rec, const double *sinogram, const ViewSet &views, const Detector &detector,
                  const Grid &grid, double interval, double *image) {
    Slices slices{sinogram, nullptr, {detector.axis, detector.axis}};
    FillGrid(rec, slices, views, grid, interval);
    TakeImages(rec, image, nullptr);
}

void GridRecPair(const GridRec &rec, const double *first, const double *second, const ViewSet &views,
                 const double axes[2], const Grid &grid, double interval, double *first_image,
                 double *second_image) {
    Slices slices{first, second, {axes[0], axes[1]}};
    FillGrid(rec, slices, views, grid, interval);
    TakeImages(rec, first_image, second_image);
}
