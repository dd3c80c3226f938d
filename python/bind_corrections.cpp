// Corrections of projections and sinograms: normalisation against flats and
// darks, zingers, stripes (rings), folding a full turn, counting noise.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "arrays.h"
#include "checks.h"
#include "normalise.h"
#include "fold.h"
#include "sino_noise/noise.h"
#include "phase.h"
#include "real.h"
#include "rings.h"
#include "threads.h"
#include "zingers.h"

using namespace pybind11::literals;

namespace {

// The mean of a set of images (F x R x C, or one R x C image) the way the
// stack readers form it: summed in order, divided by the count.
std::vector<double> MeanImage(const py::handle &object, const char *what, int rows, int columns) {
    py::array any = py::array::ensure(object);
    if (!any) throw py::error_already_set();
    Doubles images = RealArray(object, what, any.ndim() == 2 ? 2 : 3);
    int count = images.ndim() == 2 ? 1 : Axis(images, 0);
    if (Axis(images, images.ndim() - 2) != rows || Axis(images, images.ndim() - 1) != columns)
        RaiseValue(std::string(what) + ": sizes differ.");
    std::size_t pixels = static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns);
    std::vector<double> mean(pixels, 0.0);
    for (int k = 0; k < count; ++k) {
        const double *image = images.data() + static_cast<std::size_t>(k) * pixels;
        for (std::size_t i = 0; i < pixels; ++i) mean[i] += image[i];
    }
    for (std::size_t i = 0; i < pixels; ++i) mean[i] /= count;
    return mean;
}

Doubles Normalize(const py::handle &projections, const py::handle &flats, const py::handle &darks) {
    Doubles p = OwnRealArray(projections, "projections", 3);
    int count = Axis(p, 0), rows = Axis(p, 1), columns = Axis(p, 2);
    if (flats.is_none() && !darks.is_none()) RaiseValue("darks need flats.");
    std::vector<double> flat, dark;
    if (!flats.is_none()) flat = MeanImage(flats, "flats", rows, columns);
    if (!darks.is_none()) dark = MeanImage(darks, "darks", rows, columns);
    // Flats at or below their darks in every column of a row (the two
    // given the wrong way round) leave no ratio to take: refused as
    // proj_sino refuses them, not made a block of the floor's 13.8.
    if (!flat.empty()) {
        int dead = RowWithoutBeam(flat.data(), dark.empty() ? nullptr : dark.data(), rows, columns);
        if (dead >= 0) RaiseValue("flat at or below the dark in every column of row " + std::to_string(dead) + ".");
    }
    std::size_t pixels = static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns);
    double *samples = p.mutable_data();
    {
        Computing computing;
        // A projection is `rows` sinograms of one view each.
#pragma omp parallel for num_threads(ThreadsFor(count))
        for (int k = 0; k < count; ++k) {
            NormaliseBand(samples + static_cast<std::size_t>(k) * pixels, rows, 1, columns,
                          flat.empty() ? nullptr : flat.data(), dark.empty() ? nullptr : dark.data());
        }
    }
    return p;
}

// Phase retrieval (proj_sino -P): the projections' counts normalised and
// filtered, each projection whole, into line integrals.
Doubles Paganin(const py::handle &projections, double delta_beta, double distance, double energy, double pixel,
                const py::handle &flats, const py::handle &darks) {
    Doubles p = RealArray(projections, "projections", 3);
    int views = Axis(p, 0), rows = Axis(p, 1), columns = Axis(p, 2);
    if (flats.is_none() && !darks.is_none()) RaiseValue("darks need flats.");
    std::vector<double> flat, dark;
    if (!flats.is_none()) flat = MeanImage(flats, "flats", rows, columns);
    if (!darks.is_none()) dark = MeanImage(darks, "darks", rows, columns);
    PhaseSettings settings{delta_beta, distance, energy, pixel};
    if (!(delta_beta > 0 && std::isfinite(delta_beta))) RaiseValue("bad delta/beta (-P).");
    if (!(distance > 0 && std::isfinite(distance))) RaiseValue("bad distance (-P).");
    if (!(energy > 0 && std::isfinite(energy))) RaiseValue("bad energy (-P).");
    if (!(pixel > 0 && std::isfinite(pixel))) RaiseValue("bad pixel (-P).");
    // The band layout the filter reads: row j of view v at (j views + v) columns.
    const std::size_t width = static_cast<std::size_t>(columns), depth = static_cast<std::size_t>(views);
    std::vector<double> band(static_cast<std::size_t>(rows) * depth * width), out(band.size());
    const double *samples = p.data();
    for (std::size_t v = 0; v < depth; ++v)
        for (std::size_t j = 0; j < static_cast<std::size_t>(rows); ++j)
            std::copy(samples + (v * rows + j) * width, samples + (v * rows + j + 1) * width,
                      band.data() + (j * depth + v) * width);
    Status status;
    {
        Computing computing;
        PhaseFilter filter;
        status = MakePhaseFilter(settings, rows, columns, ThreadsFor(views), &filter);
        if (status.ok()) {
            RetrievePhase(filter, band.data(), 0, views, flat.empty() ? nullptr : flat.data(),
                          dark.empty() ? nullptr : dark.data(), 0, rows, out.data());
            ReleasePhaseFilter(&filter);
        }
    }
    RaiseFailure(status);
    Doubles result = NewArray({views, rows, columns});
    double *to = result.mutable_data();
    for (std::size_t v = 0; v < depth; ++v)
        for (std::size_t j = 0; j < static_cast<std::size_t>(rows); ++j)
            std::copy(out.data() + (j * depth + v) * width, out.data() + (j * depth + v + 1) * width,
                      to + (v * rows + j) * width);
    return result;
}

// The views' angles in radians: the given degrees, else the even half turn.
std::vector<double> ZingerAngles(const py::handle &angles, int views) {
    std::vector<double> radians(static_cast<std::size_t>(views));
    if (angles.is_none()) {
        for (int k = 0; k < views; ++k) radians[static_cast<std::size_t>(k)] = k * (kPi / views);
        return radians;
    }
    Doubles degrees = RealArray(angles, "angles", 1);
    if (Axis(degrees, 0) != views) RaiseValue("one angle per view.");
    for (int k = 0; k < views; ++k) radians[static_cast<std::size_t>(k)] = degrees.at(k) * kPi / 180;
    return radians;
}

Doubles Zingers(const py::handle &data, double threshold, const py::handle &angles, bool counts) {
    if (!(threshold > 0 && std::isfinite(threshold))) RaiseValue("bad zinger threshold.");
    py::array any = py::array::ensure(data);
    if (!any) throw py::error_already_set();
    const ZingerNoise noise{threshold, counts};
    if (any.ndim() == 2) {
        Doubles sinogram = OwnRealArray(data, "sinogram", 2);
        std::vector<double> radians = ZingerAngles(angles, Axis(sinogram, 0));
        long long replaced = 0;
        Status status;
        {
            Computing computing;
            status = RemoveZingers(sinogram.mutable_data(), 1, Axis(sinogram, 0), Axis(sinogram, 1), radians.data(),
                                   noise, &replaced);
        }
        RaiseFailure(status);
        return sinogram;
    }
    // Projections x rows x columns: each row's sinogram gathered, filtered
    // and put back.
    Doubles p = OwnRealArray(data, "projections", 3);
    std::size_t count = static_cast<std::size_t>(p.shape(0)), rows = static_cast<std::size_t>(p.shape(1)),
                columns = static_cast<std::size_t>(p.shape(2));
    std::vector<double> band(count * rows * columns);
    std::vector<double> radians = ZingerAngles(angles, static_cast<int>(count));
    double *samples = p.mutable_data();
    Status status;
    {
        Computing computing;
        for (std::size_t k = 0; k < count; ++k)
            for (std::size_t r = 0; r < rows; ++r)
                std::copy(samples + (k * rows + r) * columns, samples + (k * rows + r + 1) * columns,
                          band.data() + (r * count + k) * columns);
        long long replaced = 0;
        status = RemoveZingers(band.data(), static_cast<int>(rows), static_cast<int>(count), static_cast<int>(columns),
                               radians.data(), noise, &replaced);
        for (std::size_t k = 0; k < count; ++k)
            for (std::size_t r = 0; r < rows; ++r)
                std::copy(band.data() + (r * count + k) * columns, band.data() + (r * count + k + 1) * columns,
                          samples + (k * rows + r) * columns);
    }
    RaiseFailure(status);
    return p;
}

Doubles RemoveRingsOf(const py::handle &data, const py::handle &method_name, const py::handle &size_object) {
    StripeMethod method = StripeMethod::kAuto;
    if (!method_name.is_none()) RaiseFailure(MethodArgument(method_name.cast<std::string>().c_str(), &method));
    int size = size_object.is_none() ? DefaultSize(method) : size_object.cast<int>();
    if (!size_object.is_none()) RaiseFailure(SizeArgument(std::to_string(size).c_str(), &size));
    Doubles sinogram = OwnRealArray(data, "sinogram", 2);
    int rows = Axis(sinogram, 0), columns = Axis(sinogram, 1);
    std::size_t count = static_cast<std::size_t>(sinogram.size());
    if (!AllFinite(sinogram.data(), count)) RaiseValue("sample not finite.");
    Status status;
    {
        Computing computing;
        status = RemoveRings(sinogram.mutable_data(), columns, rows, method, size, ThreadsFor(std::min(columns, rows)));
    }
    RaiseFailure(status);
    return sinogram;
}

py::tuple Fold(const py::handle &data, double center) {
    Doubles sinogram = RealArray(data, "sinogram", 2);
    int rows = Axis(sinogram, 0), n = Axis(sinogram, 1);
    if (rows % 2 != 0) RaiseValue("odd number of views for a full turn.");
    if (!CenterInside(center, n)) RaiseValue("bad position of rotation center.");
    FoldGeometry geometry;
    if (!MakeFoldGeometry(n, center, &geometry)) throw std::bad_alloc();
    int m = rows / 2;
    Doubles folded = NewArray({m, geometry.width});
    {
        Computing computing;
        const double *samples = sinogram.data();
        double *out = folded.mutable_data();
#pragma omp parallel for num_threads(ThreadsFor(m))
        for (int k = 0; k < m; ++k) {
            FoldView(samples + static_cast<std::size_t>(k) * n, samples + static_cast<std::size_t>(k + m) * n, geometry,
                     out + static_cast<std::size_t>(k) * geometry.width);
        }
    }
    return py::make_tuple(folded, FoldedCenter(geometry));
}

Doubles Noise(const py::handle &data, double open, const py::object &seed_object) {
    if (!(open >= kFewestOpenCounts && open <= kMostOpenCounts)) RaiseValue("bad open beam count.");
    std::uint64_t seed = 0;
    try {
        seed = seed_object.cast<std::uint64_t>();
    } catch (const py::cast_error &) {
        RaiseValue("bad seed.");
    }
    Doubles sinogram = OwnRealArray(data, "sinogram", 2);
    int columns = Axis(sinogram, 1);
    std::size_t count = static_cast<std::size_t>(sinogram.size()), bad = count;
    {
        Computing computing;
        bad = AddNoise(Scan{open, seed}, sinogram.mutable_data(), count, 0);
    }
    if (bad < count)
        RaiseValue("view " + std::to_string(bad / columns) + ", detector " + std::to_string(bad % columns) +
                   ": sample out of range.");
    return sinogram;
}

}  // namespace

void BindCorrections(py::module_ &m) {
    m.def("normalize", &Normalize, "projections"_a, "flats"_a = py::none(), "darks"_a = py::none(),
          R"(Line integrals from detector counts (proj_sino): p = -ln((I - D) / (F - D)).

projections: P x R x C counts (any real or integer dtype).
flats, darks: F x R x C images (or one R x C image), averaged; None: F = 1
    (the counts already normalised), D = 0.  Darks need flats.
A ratio that is not a positive finite number becomes 1e-6 (13.8155...);
a row whose flat is at or below its dark in every column (flats and darks
swapped) raises ValueError, as proj_sino refuses it.
Returns P x R x C float64 line integrals.)");
    m.def("paganin", &Paganin, "projections"_a, "delta_beta"_a, "distance"_a, "energy"_a, "pixel"_a,
          "flats"_a = py::none(), "darks"_a = py::none(),
          R"(Single-distance phase retrieval (proj_sino -P; Paganin et al., J. Microsc. 2002).

projections: P x R x C counts of a propagation-based phase-contrast scan.
delta_beta: delta/beta of the object's one material.
distance: object to detector, metres.  energy: keV.  pixel: detector pixel, metres.
flats, darks: as normalize takes them.
Each flat-corrected projection is filtered by 1 / (1 + pi lambda z
(delta/beta) |u|^2) before the logarithm.  Returns P x R x C float64 line
integrals of the linear attenuation (mu times the thickness).)");
    m.def("zingers", &Zingers, "data"_a, "threshold"_a, "angles"_a = py::none(), "counts"_a = true,
          R"(Replaces zingers by the median of their neighbours (proj_sino -z T).

data: a sinogram M x N, or projections P x R x C (each row's sinogram:
    a sample's neighbours are in its own view, and in the adjacent views
    where they are close in angle).  proj_sino applies it to the counts,
    before normalising: normalize(zingers(p, T), f, d).
threshold: T noises above what the neighbours predict (6 is usual).
angles: the views' angles in degrees (None: the even half turn).
counts: the samples are detector counts (photon noise known), as with
    flats; False for line integrals or normalised data.
Returns a float64 copy.)");
    m.def("remove_rings", &RemoveRingsOf, "sinogram"_a, "method"_a = py::none(), "size"_a = py::none(),
          R"(Removes the stripes that become rings (sino_rings).

sinogram: M x N line integrals, finite.
method: 'auto' (default), 'detect', 'sort' or 'fft'.
size: the method's filter size, odd, 3 to 1001 (default 7 for detect, 5 for
    sort and fft).  Returns a float64 copy.)");
    m.def("fold", &Fold, "sinogram"_a, "center"_a,
          R"(Folds a full turn (2M views, view k + M opposite view k) into a half turn (sino_fold).

center: the axis in detector intervals.  Returns (folded, center): the M x W
float64 sinogram and its axis (for a half-acquisition scan W is up to 2N).)");
    m.def("noise", &Noise, "sinogram"_a, "open_counts"_a, "seed"_a,
          R"(Counting noise on line integrals (sino_noise): p -> -ln(n / I0), n Poisson of mean I0 e^-p.

open_counts: I0, counts per detector in the open beam (1 to 1e15).
seed: 0 to 2**64 - 1; the same seed gives the same samples.
Returns a float64 copy.)");
}
