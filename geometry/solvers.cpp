#include "solvers.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "fbp.h"
#include "memory.h"
#include "threads.h"
#include "total_variation.h"
#include "vectors.h"

Status MethodArgument(const char *text, Method *method) {
    if (std::strcmp(text, "sirt") == 0) {
        *method = Method::kSirt;
    } else if (std::strcmp(text, "cgls") == 0) {
        *method = Method::kCgls;
    } else if (std::strcmp(text, "tv") == 0) {
        *method = Method::kTv;
    } else {
        return Failure("unknown method (sirt, cgls or tv).");
    }
    return Success();
}

namespace {

// The views dealt into `count` subsets: sorted by direction (angle modulo
// pi), the i-th direction going to subset i mod count, so that every
// subset spreads over the half turn; the subsets are then taken in an
// order in which each one lies between the directions of those before it
// (bit reversal of its number), as a new subset brings most news when its
// directions are far from the last ones.
void DealSubsets(const ViewSet &views, int count, Subsets *subsets) {
    std::vector<int> order(static_cast<std::size_t>(views.count));
    std::vector<double> direction(order.size());
    for (int k = 0; k < views.count; ++k) {
        double a = std::fmod(views.angles[k], kPi);
        direction[static_cast<std::size_t>(k)] = a < 0 ? a + kPi : a;
        order[static_cast<std::size_t>(k)] = k;
    }
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return direction[static_cast<std::size_t>(a)] < direction[static_cast<std::size_t>(b)];
    });
    int bits = 0;
    while ((1 << bits) < count) ++bits;
    std::vector<int> sequence;
    for (int i = 0; i < (1 << bits); ++i) {
        int reversed = 0;
        for (int b = 0; b < bits; ++b)
            if (i & (1 << b)) reversed |= 1 << (bits - 1 - b);
        if (reversed < count) sequence.push_back(reversed);
    }
    *subsets = Subsets{};
    subsets->count = count;
    for (int s : sequence) {
        subsets->first.push_back(static_cast<int>(subsets->rows.size()));
        for (std::size_t i = static_cast<std::size_t>(s); i < order.size(); i += static_cast<std::size_t>(count)) {
            int k = order[i];
            subsets->rows.push_back(k);
            subsets->angles.push_back(views.angles[k]);
            subsets->cosines.push_back(views.cosines[k]);
            subsets->sines.push_back(views.sines[k]);
            subsets->weights.push_back(views.weights[k]);
        }
    }
    subsets->first.push_back(static_cast<int>(subsets->rows.size()));
    for (int s = 0; s < count; ++s) {
        std::size_t at = static_cast<std::size_t>(subsets->first[static_cast<std::size_t>(s)]);
        int size = subsets->first[static_cast<std::size_t>(s) + 1] - subsets->first[static_cast<std::size_t>(s)];
        subsets->sets.push_back(ViewSet{size, subsets->angles.data() + at, subsets->cosines.data() + at,
                                        subsets->sines.data() + at, subsets->weights.data() + at, false, 0});
    }
}

}  // namespace

Status AllocateSolverWork(const Problem &problem, SolverWork *work, Method method, int subsets) {
    *work = SolverWork{};
    std::size_t side = static_cast<std::size_t>(problem.grid.size);
    work->pixels = side * side;
    work->samples = static_cast<std::size_t>(problem.views->count) * static_cast<std::size_t>(problem.detector.count);
    if (subsets > problem.views->count) subsets = problem.views->count;
    bool ordered = method == Method::kSirt && subsets > 1;
    // SIRT and CGLS: two images and two sinograms. Ordered subsets: a
    // step and one column weight per subset; the samples and row weights in
    // subset order, and a residual. TV: the step sizes, the dual pair, the
    // back-projection and the extrapolated image; the ray steps, the dual,
    // the projection of the extrapolated image and that of the image.
    work->image_count = method == Method::kTv ? 5 : ordered ? 1 + subsets : 2;
    work->sinogram_count = method == Method::kTv ? 4 : ordered ? 3 : 2;
    if (!work->block.Allocate(work->image_count * work->pixels + work->sinogram_count * work->samples)) {
        *work = SolverWork{};
        return Failure("memory allocation error.");
    }
    // Ordered subsets find their images in the block by number (the step,
    // then each subset's column weights), as they may be many.
    for (int i = 0; i < work->image_count && i < kWorkImages; ++i) work->images[i] = work->block + i * work->pixels;
    double *sinograms = work->block + work->image_count * work->pixels;
    for (int i = 0; i < work->sinogram_count; ++i) work->sinograms[i] = sinograms + i * work->samples;
    if (ordered) DealSubsets(*problem.views, subsets, &work->subsets);
    Status projection = AllocateProjection(problem.grid.size, &work->projection);
    if (!projection.ok()) {
        *work = SolverWork{};
        return projection;
    }
    if (method == Method::kTv) {
        // Work arrays of the filter: one per thread, no more than there are
        // views.
        work->have_filter =
            MakeViewFilter(problem.detector.count, Kernel::kChesler, ThreadsFor(problem.views->count), &work->filter);
        if (!work->have_filter) {
            *work = SolverWork{};
            return Failure("memory allocation error.");
        }
    }
    return Success();
}

namespace {

void Forward(const Problem &p, const double *image, double *sinogram, SolverWork *work) {
    Project(p.grid, *p.views, p.detector, image, sinogram, &work->projection);
}

void Transposed(const Problem &p, const double *sinogram, double *image, SolverWork *work) {
    ProjectTransposed(p.grid, *p.views, p.detector, sinogram, image, &work->projection);
}

}  // namespace

void Sirt(const Problem &problem, int iterations, bool nonnegative, SolverWork *work, double *image,
          const Report *report) {
    double *column_weights = work->images[0], *step = work->images[1];
    double *row_weights = work->sinograms[0], *residual = work->sinograms[1];
    // R and C from the sums of the projector's rows and columns.
    Fill(step, 1, work->pixels);
    Forward(problem, step, row_weights, work);
    InvertPositive(row_weights, work->samples);
    Fill(residual, 1, work->samples);
    Transposed(problem, residual, column_weights, work);
    InvertPositive(column_weights, work->pixels);

    Fill(image, 0, work->pixels);
    for (int k = 0; k <= iterations; ++k) {
        if (k == iterations && report == nullptr) break;
        Forward(problem, image, residual, work);
        Difference(problem.b, residual, residual, work->samples);
        if (k > 0 && report != nullptr)
            report->line(k, std::sqrt(Dot(residual, residual, work->samples)), report->context);
        if (k == iterations) break;
        Multiply(residual, row_weights, work->samples);
        Transposed(problem, residual, step, work);
        Multiply(step, column_weights, work->pixels);
        AddScaled(image, 1, step, work->pixels);
        if (nonnegative) ClampNegative(image, work->pixels);
    }
}

void Cgls(const Problem &problem, int iterations, SolverWork *work, double *image, const Report *report) {
    double *s = work->images[0], *direction = work->images[1];
    double *residual = work->sinograms[0], *q = work->sinograms[1];
    // From x = 0: r = b, s = A^T r, p = s.
    Fill(image, 0, work->pixels);
    std::memcpy(residual, problem.b, work->samples * sizeof(double));
    Transposed(problem, residual, s, work);
    std::memcpy(direction, s, work->pixels * sizeof(double));
    double gamma = Dot(s, s, work->pixels);
    for (int k = 1; k <= iterations; ++k) {
        Forward(problem, direction, q, work);
        double qq = Dot(q, q, work->samples);
        // A direction the projector cannot see, or a solved problem: the
        // image stays as it is.
        double alpha = qq > 0 && gamma > 0 ? gamma / qq : 0;
        AddScaled(image, alpha, direction, work->pixels);
        AddScaled(residual, -alpha, q, work->samples);
        if (report != nullptr) report->line(k, std::sqrt(Dot(residual, residual, work->samples)), report->context);
        if (k == iterations) break;
        Transposed(problem, residual, s, work);
        double next = Dot(s, s, work->pixels);
        double beta = gamma > 0 ? next / gamma : 0;
        gamma = next;
        ScaleAndAdd(direction, beta, s, work->pixels);
    }
}

void OrderedSubsetSirt(const Problem &problem, int iterations, bool nonnegative, SolverWork *work, double *image,
                       const Report *report) {
    const Subsets &subsets = work->subsets;
    if (subsets.count <= 1) {
        Sirt(problem, iterations, nonnegative, work, image, report);
        return;
    }
    std::size_t n = static_cast<std::size_t>(problem.detector.count), pixels = work->pixels;
    double *step = work->block;
    double *b = work->sinograms[0], *row_weights = work->sinograms[1], *residual = work->sinograms[2];
    auto column_weights = [&](int s) { return work->block + (1 + static_cast<std::size_t>(s)) * pixels; };
    auto rows_of = [&](double *sinogram, int s) { return sinogram + n * subsets.first[static_cast<std::size_t>(s)]; };
    // The samples in subset order; R from the rows' sums, C of each subset
    // from its own views' column sums.
    for (std::size_t v = 0; v < subsets.rows.size(); ++v)
        std::memcpy(b + n * v, problem.b + n * static_cast<std::size_t>(subsets.rows[v]), n * sizeof(double));
    Fill(step, 1, pixels);
    for (int s = 0; s < subsets.count; ++s) {
        const ViewSet &views = subsets.sets[static_cast<std::size_t>(s)];
        Project(problem.grid, views, problem.detector, step, rows_of(row_weights, s), &work->projection);
    }
    InvertPositive(row_weights, work->samples);
    Fill(residual, 1, work->samples);
    for (int s = 0; s < subsets.count; ++s) {
        const ViewSet &views = subsets.sets[static_cast<std::size_t>(s)];
        ProjectTransposed(problem.grid, views, problem.detector, rows_of(residual, s), column_weights(s),
                          &work->projection);
        InvertPositive(column_weights(s), pixels);
    }

    Fill(image, 0, pixels);
    for (int k = 1; k <= iterations; ++k) {
        for (int s = 0; s < subsets.count; ++s) {
            const ViewSet &views = subsets.sets[static_cast<std::size_t>(s)];
            std::size_t count = n * static_cast<std::size_t>(views.count);
            double *r = rows_of(residual, s);
            Project(problem.grid, views, problem.detector, image, r, &work->projection);
            Difference(rows_of(b, s), r, r, count);
            Multiply(r, rows_of(row_weights, s), count);
            ProjectTransposed(problem.grid, views, problem.detector, r, step, &work->projection);
            Multiply(step, column_weights(s), pixels);
            AddScaled(image, 1, step, pixels);
            if (nonnegative) ClampNegative(image, pixels);
        }
        if (report != nullptr) {
            for (int s = 0; s < subsets.count; ++s)
                Project(problem.grid, subsets.sets[static_cast<std::size_t>(s)], problem.detector, image,
                        rows_of(residual, s), &work->projection);
            Difference(b, residual, residual, work->samples);
            report->line(k, std::sqrt(Dot(residual, residual, work->samples)), report->context);
        }
    }
}

namespace {

// mu over the mean column sum of A, and gamma over the mean row sum.
constexpr double kTvDifferenceWeight = 0.075;
constexpr double kTvDualWeight = 0.1;
// The noise's part of the variation's weight against the density's.
constexpr double kTvNoiseWeight = 3;

}  // namespace

double NoiseLevel(const double *b, int views, int detectors) {
    if (detectors < 3) return 0;
    std::vector<double> seconds;
    seconds.reserve(static_cast<std::size_t>(views) * static_cast<std::size_t>(detectors - 2));
    for (int v = 0; v < views; ++v) {
        const double *view = b + static_cast<std::size_t>(v) * static_cast<std::size_t>(detectors);
        for (int i = 1; i + 1 < detectors; ++i) {
            // Samples that are not numbers count as the largest differences,
            // so that the ordering the median needs holds.
            double second = std::fabs((view[i - 1] + view[i + 1]) - 2 * view[i]);
            seconds.push_back(std::isnan(second) ? HUGE_VAL : second);
        }
    }
    std::size_t middle = seconds.size() / 2;
    std::nth_element(seconds.begin(), seconds.begin() + static_cast<std::ptrdiff_t>(middle), seconds.end());
    // For white noise of deviation s a second difference has deviation
    // s sqrt(6), and the median of its magnitude is 0.6745 of that.
    return seconds[middle] / (0.6745 * std::sqrt(6.0));
}

double TvScale(const double *first_image, std::size_t pixels, int views, double noise) {
    double squares = Dot(first_image, first_image, pixels);
    double magnitudes = SumOfMagnitudes(first_image, pixels);
    double density = magnitudes > 0 ? squares / magnitudes : 0;
    return density * views + kTvNoiseWeight * noise * std::sqrt(static_cast<double>(views));
}

void Tv(const Problem &problem, const TvSettings &settings, SolverWork *work, double *image, const TvReport *report,
        int *ran) {
    int k = problem.grid.size;
    std::size_t pixels = work->pixels, samples = work->samples;
    double *tau = work->images[0], *qx = work->images[1], *qy = work->images[2], *back = work->images[3],
           *extrapolated = work->images[4];
    double *sigma = work->sinograms[0], *dual = work->sinograms[1], *seen = work->sinograms[2],
           *projected = work->sinograms[3];

    // The first image: filtered back-projection of the samples (filtered
    // in a copy), clipped at zero with the constraint.
    std::memcpy(dual, problem.b, samples * sizeof(double));
    ReconstructImage(work->filter, dual, *problem.views, problem.detector, problem.grid, 1, image);
    double lambda = settings.lambda * TvScale(image, pixels, problem.views->count,
                                              NoiseLevel(problem.b, problem.views->count, problem.detector.count));
    if (settings.nonnegative) ClampNegative(image, pixels);

    // The steps from the sums of the rows and columns of K = [A; mu D], D
    // the forward differences (two entries a row, four a column at most):
    // sigma = gamma / A 1 for a ray, gamma / (2 mu) for a difference
    // (folded into the dual step), tau = 1 / (gamma (A^T 1 + 4 mu)). mu
    // weighs the differences against the projector, gamma the dual steps
    // against the primal ones; both are fixed fractions of the mean column
    // and row sums of A, found on few-view and limited-range scans to reach
    // the minimum in the fewest iterations.
    Fill(extrapolated, 1, pixels);
    Project(problem.grid, *problem.views, problem.detector, extrapolated, sigma, &work->projection);
    Fill(seen, 1, samples);
    ProjectTransposed(problem.grid, *problem.views, problem.detector, seen, tau, &work->projection);
    double mu = kTvDifferenceWeight * SumOfMagnitudes(tau, pixels) / static_cast<double>(pixels);
    double gamma = kTvDualWeight * SumOfMagnitudes(sigma, samples) / static_cast<double>(samples);
    if (!(mu > 0)) mu = 1;
    if (!(gamma > 0)) gamma = 1;
    ForEach(pixels, [&](std::size_t i) { tau[i] = gamma * (tau[i] + 4 * mu); });
    InvertPositive(tau, pixels);
    InvertPositive(sigma, samples);
    ForEach(samples, [&](std::size_t i) { sigma[i] *= gamma; });

    // The dual of the data starts where it ends, at A x - b for the first
    // image; that of the variation at zero.
    Project(problem.grid, *problem.views, problem.detector, image, projected, &work->projection);
    Difference(projected, problem.b, dual, samples);
    std::memcpy(seen, projected, samples * sizeof(double));
    Fill(qx, 0, pixels);
    Fill(qy, 0, pixels);
    *ran = 0;
    for (int it = 1; it <= settings.iterations; ++it) {
        // seen = A xbar: the data's dual step, then the variation's.
        ForEach(samples, [&](std::size_t i) {
            dual[i] = (dual[i] + sigma[i] * (seen[i] - problem.b[i])) / (1 + sigma[i]);
        });
        DualVariationStep(it == 1 ? image : extrapolated, k, lambda / mu, gamma, qx, qy);
        ProjectTransposed(problem.grid, *problem.views, problem.detector, dual, back, &work->projection);
        double change = 0, norm = 0;
        PrimalVariationStep(back, qx, qy, tau, mu, settings.nonnegative, k, image, extrapolated, &change, &norm);
        *ran = it;
        double relative = norm > 0 ? std::sqrt(change / norm) : 0;
        bool last = it == settings.iterations || relative <= settings.tolerance;
        if (!last || report != nullptr) {
            Project(problem.grid, *problem.views, problem.detector, extrapolated, seen, &work->projection);
        }
        if (report != nullptr) {
            // A x_k from A xbar_k = 2 A x_k - A x_(k-1).
            ForEach(samples, [&](std::size_t i) { projected[i] = (seen[i] + projected[i]) / 2; });
            double misfit = SquaredDistance(projected, problem.b, samples);
            report->line(it, misfit / 2 + lambda * TotalVariation(image, k), relative, report->context);
        }
        if (last) break;
    }
}
