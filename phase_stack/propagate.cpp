#include "propagate.h"

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "args.h"
#include "phantom_rays.h"
#include "phase.h"
#include "fftw_owned.h"

namespace {

constexpr double kTwoPi = 6.283185307179586;

}  // namespace

void ProjectedThickness(const Phantom &phantom, double cosine, double sine, int n, double *image) {
    double middle = (n - 1) / 2.0;
    std::vector<Ellipse> ellipses(static_cast<std::size_t>(phantom.count));
    Phantom section{0, ellipses.data()};
    for (int r = 0; r < n; ++r) {
        double height = middle - r;
        section.count = 0;
        for (int e = 0; e < phantom.count; ++e) {
            const Ellipse &ellipse = phantom.ellipses[e];
            double half = ellipse.a < ellipse.b ? ellipse.a : ellipse.b;
            double left = 1 - (height / half) * (height / half);
            if (!(left > 0)) continue;
            double scale = std::sqrt(left);
            Ellipse cut = ellipse;
            cut.a *= scale;
            cut.b *= scale;
            ellipses[section.count++] = cut;
        }
        double *row = image + static_cast<std::size_t>(r) * static_cast<std::size_t>(n);
        if (section.count == 0) {
            for (int i = 0; i < n; ++i) row[i] = 0;
        } else {
            PhantomView(section, cosine, sine, middle, n, row);
        }
    }
}

Status MaterialArgument(const char *text, Material *material) {
    static const char *const kBad[5] = {"bad delta.", "bad beta.", "bad distance.", "bad energy.", "bad pixel."};
    double values[5];
    Status read = CommaReals(text, 5, kBad, "bad material (DELTA,BETA,DISTANCE,ENERGY,PIXEL).", values);
    if (!read.ok()) return read;
    for (int i = 0; i < 5; ++i) {
        bool zero_allowed = i == 2;
        if (!std::isfinite(values[i]) || values[i] < 0 || (values[i] == 0 && !zero_allowed)) return Failure(kBad[i]);
    }
    *material = Material{values[0], values[1], values[2], values[3], values[4]};
    return Success();
}

Status MakePropagator(const Material &material, int n, int threads, Propagator *p) {
    *p = Propagator{};
    if (n > 0x3fffffff / 2) return Failure("memory allocation error.");
    p->n = n;
    p->padded = 2 * n;
    p->threads = threads;
    double lambda = WavelengthOfEnergy(material.energy);
    double k = kTwoPi / lambda;
    p->attenuation = k * material.beta * material.pixel;
    p->retardation = k * material.delta * material.pixel;
    std::size_t samples = static_cast<std::size_t>(p->padded) * static_cast<std::size_t>(p->padded);
    p->transfer = static_cast<fftw_complex *>(fftw_malloc(sizeof(fftw_complex) * samples));
    p->work = static_cast<fftw_complex **>(fftw_malloc(sizeof(fftw_complex *) * threads));
    bool have = p->transfer != nullptr && p->work != nullptr;
    for (int t = 0; have && t < threads; ++t) {
        p->work[t] = static_cast<fftw_complex *>(fftw_malloc(sizeof(fftw_complex) * samples));
        have = p->work[t] != nullptr;
        if (!have) p->threads = t + 1;
    }
    if (have) {
        ThreadSafePlanner();
        p->forward = fftw_plan_dft_2d(p->padded, p->padded, p->work[0], p->work[0], FFTW_FORWARD, FFTW_ESTIMATE);
        p->backward = fftw_plan_dft_2d(p->padded, p->padded, p->work[0], p->work[0], FFTW_BACKWARD, FFTW_ESTIMATE);
        have = p->forward != nullptr && p->backward != nullptr;
    }
    if (!have) {
        ReleasePropagator(p);
        return Failure("memory allocation error.");
    }
    double step = 1.0 / (p->padded * material.pixel);
    double scale = 1.0 / static_cast<double>(samples);
    for (int ky = 0; ky < p->padded; ++ky) {
        double uy = (ky <= p->padded / 2 ? ky : ky - p->padded) * step;
        for (int kx = 0; kx < p->padded; ++kx) {
            double ux = (kx <= p->padded / 2 ? kx : kx - p->padded) * step;
            double s = lambda * lambda * (ux * ux + uy * uy);
            // k z (sqrt(1 - s) - 1) without the cancellation: -k z s / (1 + sqrt(1 - s)).
            double phase = s < 1 ? -k * material.distance * s / (1 + std::sqrt(1 - s)) : 0;
            double damping = s < 1 ? 1 : std::exp(-k * material.distance * std::sqrt(s - 1));
            fftw_complex &h = p->transfer[static_cast<std::size_t>(ky) * p->padded + kx];
            h[0] = scale * damping * std::cos(phase);
            h[1] = scale * damping * std::sin(phase);
        }
    }
    return Success();
}

void ReleasePropagator(Propagator *p) {
    if (p->forward != nullptr) fftw_destroy_plan(p->forward);
    if (p->backward != nullptr) fftw_destroy_plan(p->backward);
    for (int t = 0; p->work != nullptr && t < p->threads; ++t) fftw_free(p->work[t]);
    fftw_free(p->work);
    fftw_free(p->transfer);
    *p = Propagator{};
}

void Propagate(const Propagator &p, int slot, const double *thickness, double *intensity) {
    fftw_complex *field = p.work[slot];
    std::size_t n = static_cast<std::size_t>(p.n), padded = static_cast<std::size_t>(p.padded);
    int shift = p.n / 2;  // the image at the middle of its reflections
    for (std::size_t y = 0; y < padded; ++y) {
        long long ry = (static_cast<long long>(y) - shift + 2LL * p.n) % (2LL * p.n);
        std::size_t sy = static_cast<std::size_t>(ry < p.n ? ry : 2LL * p.n - 1 - ry);
        for (std::size_t x = 0; x < padded; ++x) {
            long long rx = (static_cast<long long>(x) - shift + 2LL * p.n) % (2LL * p.n);
            std::size_t sx = static_cast<std::size_t>(rx < p.n ? rx : 2LL * p.n - 1 - rx);
            double t = thickness[sy * n + sx];
            double amplitude = std::exp(-p.attenuation * t), phase = -p.retardation * t;
            field[y * padded + x][0] = amplitude * std::cos(phase);
            field[y * padded + x][1] = amplitude * std::sin(phase);
        }
    }
    fftw_execute_dft(p.forward, field, field);
    for (std::size_t i = 0; i < padded * padded; ++i) {
        double re = field[i][0] * p.transfer[i][0] - field[i][1] * p.transfer[i][1];
        double im = field[i][0] * p.transfer[i][1] + field[i][1] * p.transfer[i][0];
        field[i][0] = re;
        field[i][1] = im;
    }
    fftw_execute_dft(p.backward, field, field);
    std::size_t offset = static_cast<std::size_t>(shift);
    for (std::size_t y = 0; y < n; ++y)
        for (std::size_t x = 0; x < n; ++x) {
            const fftw_complex &u = field[(y + offset) * padded + x + offset];
            intensity[y * n + x] = u[0] * u[0] + u[1] * u[1];
        }
}
