#include "solvers.h"

#include <cmath>
#include <cstring>

#include "memory.h"
#include "vectors.h"

Status MethodArgument(const char *text, Method *method) {
    if (std::strcmp(text, "sirt") == 0) {
        *method = Method::kSirt;
    } else if (std::strcmp(text, "cgls") == 0) {
        *method = Method::kCgls;
    } else {
        return Failure("unknown method (sirt or cgls).");
    }
    return Success();
}

Status AllocateSolverWork(const Problem &problem, SolverWork *work) {
    *work = SolverWork{};
    std::size_t side = static_cast<std::size_t>(problem.grid.size);
    work->pixels = side * side;
    work->samples = static_cast<std::size_t>(problem.views->count) * static_cast<std::size_t>(problem.detector.count);
    work->bytes = 2 * (work->pixels + work->samples) * sizeof(double);
    work->block = static_cast<double *>(AllocateBlock(work->bytes));
    if (work->block == nullptr) return Failure("memory allocation error.");
    work->images[0] = work->block;
    work->images[1] = work->block + work->pixels;
    work->sinograms[0] = work->block + 2 * work->pixels;
    work->sinograms[1] = work->sinograms[0] + work->samples;
    Status projection = AllocateProjection(problem.grid.size, &work->projection);
    if (!projection.ok()) {
        ReleaseSolverWork(work);
        return projection;
    }
    return Success();
}

void ReleaseSolverWork(SolverWork *work) {
    if (work->block != nullptr) ReleaseBlock(work->block, work->bytes);
    if (work->projection.rows != nullptr) ReleaseProjection(&work->projection);
    *work = SolverWork{};
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
