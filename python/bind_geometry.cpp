// The parallel-beam model on arrays: phantoms, the projector and its
// transpose, reconstruction, the search for the rotation axis. Each binding
// checks its arguments with the programs' messages, then calls what the
// program calls, with the GIL released.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstddef>
#include <string>
#include <vector>

#include "arrays.h"
#include "center.h"
#include "checks.h"
#include "fbp.h"
#include "fold.h"
#include "memory.h"
#include "owned.h"
#include "phantom.h"
#include "phantom_file.h"
#include "phantom_pixels.h"
#include "phantom_rays.h"
#include "profile.h"
#include "project.h"
#include "gridrec.h"
#include "range_weights.h"
#include "solvers.h"
#include "threads.h"
#include "whole_turn.h"

using namespace pybind11::literals;

namespace {

// A phantom from the programs' PHANTOM argument ("shepp-logan:R" or a
// file's name), from the text of such a file (several lines, or one line
// of six numbers), or from an array of ellipses (E x 6: xc yc a b angle
// value).
struct PhantomHolder {
    Phantom phantom{0, nullptr};
    ~PhantomHolder() {
        if (phantom.ellipses != nullptr) ReleasePhantom(&phantom);
    }
};

void MakePhantom(const py::handle &object, PhantomHolder *holder) {
    if (py::isinstance<py::str>(object) || py::isinstance<py::bytes>(object) || py::hasattr(object, "__fspath__")) {
        std::string text = PathArgument(object);
        bool is_text = text.find('\n') != std::string::npos ||
                       py::len(py::str(text).attr("split")()) == 6;
        Status status = is_text ? PhantomFromText(text, &holder->phantom) : ReadPhantom(text.c_str(), &holder->phantom);
        if (status.message.find("file not found.") != std::string::npos) RaiseFileFailure(status);
        RaiseFailure(status);
        return;
    }
    Doubles rows = RealArray(object, "phantom", 2);
    if (rows.shape(1) != 6) RaiseValue("phantom: 6 numbers per ellipse (xc yc a b angle value).");
    int count = Axis(rows, 0);
    holder->phantom.ellipses = static_cast<Ellipse *>(AllocateArray(count, sizeof(Ellipse)));
    if (holder->phantom.ellipses == nullptr) throw std::bad_alloc();
    holder->phantom.count = count;
    for (int e = 0; e < count; ++e) {
        const double *v = rows.data(e, 0);
        Ellipse ellipse{v[0], v[1], v[2], v[3], v[4], v[5]};
        if (!EllipseValid(ellipse)) RaiseValue("phantom: line " + std::to_string(e + 1) + ": bad ellipse.");
        holder->phantom.ellipses[e] = ellipse;
    }
}

// The view count of a scan: `views`, the angles' count, or the programs'
// default for the detector count (N pi).
int ViewCount(const py::handle &views, const py::handle &angles, int detectors) {
    long long count = 0;
    if (!views.is_none()) {
        count = views.cast<long long>();
    } else if (!angles.is_none()) {
        count = static_cast<long long>(py::len(angles));
    } else {
        count = DefaultViewCount(detectors);
    }
    if (count <= 0 || count > INT_MAX) RaiseValue("bad projection number.");
    return static_cast<int>(count);
}

double CheckedCenter(double center, int detectors) {
    if (!CenterInside(center, detectors)) RaiseValue("bad position of rotation center.");
    return center;
}

void CheckPixel(double pixel) {
    if (!(pixel > 0 && std::isfinite(pixel))) RaiseValue("bad pixel size.");
}

Doubles PhantomImage(const py::handle &phantom, int size, double pixel) {
    Grid grid = AxisGrid(size);
    if (!ImageSizeFits(size)) RaiseValue("bad image size.");
    grid.pixel = pixel;
    if (!(pixel >= 1e-100 && pixel <= 1e100)) RaiseValue("bad pixel size.");
    PhantomHolder holder;
    MakePhantom(phantom, &holder);
    const Phantom &p = holder.phantom;
    std::vector<EllipseFrame> frames(p.count);
    for (int e = 0; e < p.count; ++e) frames[e] = FrameOf(p.ellipses[e]);
    Doubles image = NewArray({size, size});
    double *pixels = image.mutable_data();
    {
        Computing computing;
        int threads = ThreadsFor(size);
        std::vector<Real> sums(static_cast<std::size_t>(threads) * static_cast<std::size_t>(size));
        // Each row computed whole by one thread: the bytes do not depend on
        // the thread count.
#pragma omp parallel for num_threads(threads) schedule(dynamic)
        for (int r = 0; r < size; ++r) {
            PhantomImageRow(frames.data(), p.count, grid, r, sums.data() + static_cast<std::size_t>(ThreadIndex()) * size,
                            pixels + static_cast<std::size_t>(r) * size);
        }
    }
    return image;
}

Doubles PhantomSino(const py::handle &phantom, int detectors, double center, const py::handle &views_count,
                    const py::handle &angles) {
    if (detectors <= 0) RaiseValue("bad detector number.");
    CheckedCenter(center, detectors);
    int count = ViewCount(views_count, angles, detectors);
    PhantomHolder holder;
    MakePhantom(phantom, &holder);
    Views views;
    MakeViews(angles, count, &views);
    Doubles sinogram = NewArray({count, detectors});
    double *samples = sinogram.mutable_data();
    {
        Computing computing;
        const ViewSet &v = views.set;
#pragma omp parallel for num_threads(ThreadsFor(count)) schedule(dynamic)
        for (int k = 0; k < count; ++k) {
            PhantomView(holder.phantom, v.cosines[k], v.sines[k], center, detectors,
                        samples + static_cast<std::size_t>(k) * detectors);
        }
    }
    return sinogram;
}

Doubles ProjectImage(const py::handle &image_object, int detectors, double center, const py::handle &views_count,
                     const py::handle &angles, double pixel) {
    Doubles image = RealArray(image_object, "image", 2);
    if (image.shape(0) != image.shape(1)) RaiseValue("image not square.");
    if (detectors <= 0) RaiseValue("bad detector number.");
    Detector detector{detectors, CheckedCenter(center, detectors)};
    int count = ViewCount(views_count, angles, detectors);
    Grid grid = AxisGrid(Axis(image, 0));
    CheckPixel(pixel);
    grid.pixel = pixel;
    Views views;
    MakeViews(angles, count, &views);
    Doubles sinogram = NewArray({count, detectors});
    Status status;
    {
        Computing computing;
        ProjectionWork work;
        status = AllocateProjection(grid.size, &work);
        if (status.ok()) {
            Project(grid, views.set, detector, image.data(), sinogram.mutable_data(), &work);
            // Finite pixels whose integrals are not finite: sums beyond the range.
            if (AllFinite(image.data(), static_cast<std::size_t>(image.size())) &&
                !AllFinite(sinogram.data(), static_cast<std::size_t>(sinogram.size())))
                status = Failure("result out of range.");
        }
    }
    RaiseFailure(status);
    return sinogram;
}

Doubles BackProject(const py::handle &sinogram_object, double center, int size, const py::handle &angles,
                    double pixel) {
    Doubles sinogram = RealArray(sinogram_object, "sinogram", 2);
    int count = Axis(sinogram, 0), detectors = Axis(sinogram, 1);
    Detector detector{detectors, CheckedCenter(center, detectors)};
    if (!ImageSizeFits(size)) RaiseValue("bad image size.");
    CheckPixel(pixel);
    Grid grid = AxisGrid(size);
    grid.pixel = pixel;
    Views views;
    MakeViews(angles, count, &views);
    Doubles image = NewArray({size, size});
    Status status;
    {
        Computing computing;
        ProjectionWork work;
        status = AllocateProjection(grid.size, &work);
        if (status.ok()) {
            ProjectTransposed(grid, views.set, detector, sinogram.data(), image.mutable_data(), &work);
        }
    }
    RaiseFailure(status);
    return image;
}

// What reconstructs one slice: the method and everything it needs, made
// once for every slice of a volume.
struct Slicer {
    std::string method;
    Kernel kernel = Kernel::kShepp;
    int iterations = 100;
    bool nonnegative = false;
    double interval = 1;
    Grid grid{};
    int detectors = 0;
    Views views;
};

// One slice: `samples` (views x detectors, changed) into `image`.
Status ReconstructSlice(const Slicer &s, double center, double *samples, double *image) {
    Detector detector{s.detectors, center};
    std::size_t count = static_cast<std::size_t>(s.views.set.count) * static_cast<std::size_t>(s.detectors);
    std::size_t pixels = static_cast<std::size_t>(s.grid.size) * static_cast<std::size_t>(s.grid.size);
    bool finite_input = AllFinite(samples, count);
    if (s.method == "fbp") {
        ViewFilter filter;
        if (!MakeViewFilter(s.detectors, s.kernel, ThreadsFor(s.views.set.count), &filter))
            return Failure("memory allocation error.");
        ReconstructImage(filter, samples, s.views.set, detector, s.grid, s.interval, image);
    } else if (s.method == "fourier") {
        GridRec rec;
        if (!MakeGridRec(s.detectors, s.kernel, s.grid.size, ThreadsFor(s.views.set.count), &rec))
            return Failure("memory allocation error.");
        GridRecImage(rec, samples, s.views.set, detector, s.grid, s.interval, image);
        ReleaseGridRec(&rec);
    } else {
        Problem problem{s.grid, &s.views.set, detector, samples};
        SolverWork work;
        Status allocated = AllocateSolverWork(problem, &work, s.method == "tv" ? Method::kTv : Method::kSirt);
        if (!allocated.ok()) return allocated;
        // The samples are line integrals in the interval's unit; the
        // projector's are in detector intervals.
        for (std::size_t i = 0; i < count; ++i) samples[i] /= s.interval;
        if (s.method == "sirt") {
            Sirt(problem, s.iterations, s.nonnegative, &work, image, nullptr);
        } else if (s.method == "cgls") {
            Cgls(problem, s.iterations, &work, image, nullptr);
        } else {
            int ran = 0;
            Tv(problem, TvSettings{s.iterations, s.nonnegative, kTvLambda, kTvTolerance}, &work, image, nullptr, &ran);
        }
    }
    // Finite samples whose image is not finite: sums beyond the double range.
    if (finite_input && !AllFinite(image, pixels)) return Failure("result out of range.");
    return Success();
}

// A whole number given to a keyword (an int or numpy integer; not a float
// such as 100.5): ValueError with `message` otherwise, or beyond an int.
int WholeNumber(const py::handle &value, const char *message) {
    long long number = 0;
    try {
        number = py::module_::import("operator").attr("index")(value).cast<long long>();
    } catch (const py::error_already_set &) {
        RaiseValue(message);
    } catch (const py::cast_error &) {
        RaiseValue(message);
    }
    if (number < INT_MIN || number > INT_MAX) RaiseValue(message);
    return static_cast<int>(number);
}

py::array Recon(const py::handle &data, const py::handle &center_object, double interval, const py::handle &size_object,
                const std::string &kernel, const py::handle &angles, const std::string &method,
                const py::handle &iterations, double pixel, std::pair<double, double> offset, bool nonnegative) {
    // A sinogram (views x detectors), or projections x rows x columns.
    py::array any = py::array::ensure(data);
    if (!any) throw py::error_already_set();
    bool volume = any.ndim() == 3;
    Doubles input = volume ? RealArray(data, "projections", 3) : RealArray(data, "sinogram", 2);
    int count = Axis(input, 0), rows = volume ? Axis(input, 1) : 1, detectors = Axis(input, volume ? 2 : 1);

    Slicer s;
    s.method = method;
    if (method != "fbp" && method != "fourier" && method != "sirt" && method != "cgls" && method != "tv")
        RaiseValue("unknown method (fbp, fourier, sirt, cgls or tv).");
    if (!KernelByName(kernel.c_str(), &s.kernel)) RaiseValue("unknown kernel (chesler, shepp or ramachandran).");
    if (!iterations.is_none()) {
        if (method == "fbp" || method == "fourier") RaiseValue("iterations need the sirt, cgls or tv method.");
        s.iterations = WholeNumber(iterations, "bad number of iterations.");
        if (s.iterations <= 0) RaiseValue("bad number of iterations.");
    } else if (method == "tv") {
        s.iterations = kTvIterations;
    }
    if (nonnegative && method != "sirt" && method != "tv") RaiseValue("nonnegative needs the sirt or tv method.");
    s.nonnegative = nonnegative;
    s.detectors = detectors;
    MakeViews(angles, count, &s.views);
    std::vector<double> centers(rows);
    Doubles given = RealArray(py::module_::import("numpy").attr("atleast_1d")(center_object), "center", 1);
    if (given.shape(0) != 1 && given.shape(0) != rows) RaiseValue("center: one per row, or one for all.");
    for (int r = 0; r < rows; ++r) centers[r] = CheckedCenter(given.data()[given.shape(0) == 1 ? 0 : r], detectors);
    if (!IntervalValid(interval)) RaiseValue("bad detector interval.");
    if (!IntervalKeepsImageFinite(s.views.set, interval)) RaiseValue("bad detector interval.");
    s.interval = interval;
    // A limited range's end views weighed as sino_recon weighs them.
    if (s.method == "fbp" || s.method == "fourier") WeighGap(&s.views.set, detectors, s.kernel, GapWeights::kPart);
    int size = size_object.is_none() ? detectors : WholeNumber(size_object, "bad image size.");
    if (!ImageSizeFits(size)) RaiseValue("bad image size.");
    s.grid = AxisGrid(size);
    CheckPixel(pixel);
    s.grid.pixel = pixel;
    if (!std::isfinite(offset.first) || !std::isfinite(offset.second)) RaiseValue("bad image center.");
    s.grid.x0 = offset.first;
    s.grid.y0 = offset.second;
    // A sample that is not finite would spread over its slice: refused as
    // sino_recon refuses it, the first named.
    std::size_t all = static_cast<std::size_t>(count) * static_cast<std::size_t>(rows) * detectors;
    if (std::size_t at = FirstNotFinite(input.data(), all); at < all) {
        std::size_t column = at % detectors, row = at / detectors % rows, view = at / detectors / rows;
        RaiseValue("sample not finite (view " + std::to_string(view) + (volume ? ", row " + std::to_string(row) : "") +
                   ", column " + std::to_string(column) + ").");
    }
    // The axis and the interval given the other way round, warned about as
    // sino_recon warns (once, for the first row whose axis it is).
    for (int r = 0; r < rows; ++r) {
        if (!AxisAndIntervalSwapped(detectors, centers[static_cast<std::size_t>(r)], interval)) continue;
        std::string swapped = SwappedAxisWarning(centers[static_cast<std::size_t>(r)], interval);
        if (PyErr_WarnEx(PyExc_UserWarning, swapped.substr(std::string("warning: ").size()).c_str(), 1) < 0)
            throw py::error_already_set();
        break;
    }
    std::string warning = LimitedRangeWarning(s.views.set);
    if (!warning.empty()) PyErr_WarnEx(PyExc_UserWarning, warning.substr(std::string("warning: ").size()).c_str(), 1);
    warning = OneViewWarning(count);
    if (!warning.empty()) PyErr_WarnEx(PyExc_UserWarning, warning.substr(std::string("warning: ").size()).c_str(), 1);
    // Views taken for an even half turn (no angles) that cover the whole
    // one, told as sino_recon tells them: on the middle row of a stack.
    if (angles.is_none()) {
        const int middle = rows / 2;
        std::vector<double> row(static_cast<std::size_t>(count) * detectors);
        for (int k = 0; k < count; ++k)
            std::copy_n(input.data() + (static_cast<std::size_t>(k) * rows + middle) * detectors, detectors,
                        row.data() + static_cast<std::size_t>(k) * detectors);
        if (LooksLikeWholeTurn(row.data(), detectors, count, centers[static_cast<std::size_t>(middle)])) {
            warning = WholeTurnWarning("give the angles");
            PyErr_WarnEx(PyExc_UserWarning, warning.substr(std::string("warning: ").size()).c_str(), 1);
        }
    }
    // Direct methods only: the iterations fit every view as it lies.
    for (int r = 0; r < rows && (s.method == "fbp" || s.method == "fourier"); ++r) {
        warning = HalfAcquisitionWarning(s.views.set, detectors, centers[static_cast<std::size_t>(r)]);
        if (warning.empty()) continue;
        PyErr_WarnEx(PyExc_UserWarning, warning.substr(std::string("warning: ").size()).c_str(), 1);
        break;
    }

    std::vector<py::ssize_t> shape = volume ? std::vector<py::ssize_t>{rows, size, size}
                                            : std::vector<py::ssize_t>{size, size};
    Doubles image = NewArray(shape);
    std::size_t samples = static_cast<std::size_t>(count) * static_cast<std::size_t>(detectors);
    std::size_t pixels = static_cast<std::size_t>(size) * static_cast<std::size_t>(size);
    Status status;
    {
        Computing computing;
        double *sinogram = static_cast<double *>(AllocateBlock(samples * sizeof(double)));
        status = sinogram == nullptr ? Failure("memory allocation error.") : Success();
        for (int r = 0; r < rows && status.ok(); ++r) {
            // The row's sinogram gathered (the filter works in place).
            const double *from = input.data() + static_cast<std::size_t>(r) * detectors;
            std::size_t step = static_cast<std::size_t>(rows) * detectors;
            for (int k = 0; k < count; ++k)
                std::copy(from + k * step, from + k * step + detectors, sinogram + static_cast<std::size_t>(k) * detectors);
            status = ReconstructSlice(s, centers[r], sinogram, image.mutable_data() + r * pixels);
        }
        if (sinogram != nullptr) ReleaseBlock(sinogram, samples * sizeof(double));
    }
    RaiseFailure(status);
    return image;
}

double FindCenterOf(const py::handle &sinogram_object, const py::handle &angles, bool full_turn) {
    Doubles sinogram = RealArray(sinogram_object, "sinogram", 2);
    int rows = Axis(sinogram, 0), columns = Axis(sinogram, 1);
    if (!angles.is_none() && full_turn) RaiseValue("angles and full_turn exclude each other.");
    if (columns < kMinDetectors || rows < kMinViews) RaiseValue("sinogram too small to find the center.");
    // As sino_center: a sample that is not finite is named.
    std::size_t all = static_cast<std::size_t>(rows) * columns;
    if (std::size_t at = FirstNotFinite(sinogram.data(), all); at < all)
        RaiseValue("sample not finite (view " + std::to_string(at / columns) + ", column " +
                   std::to_string(at % columns) + ").");
    Views views;
    if (!angles.is_none()) MakeViews(angles, rows, &views);
    const double *samples = sinogram.data();
    const char *no_center = "no clear center: the halves of the turn do not match.";
    const char *no_match = "no clear center: the views do not match their opposite ones.";
    CenterEstimate estimate{false, 0};
    std::string failure;
    {
        Computing computing;
        // The dispatch of sino_center: -t, -a over a full turn, -a over a
        // half turn, the even half turn.
        if (full_turn) {
            FullTurnWork first;
            if (!AllocateFullTurnWork(&first, columns, rows)) failure = "memory allocation error.";
            if (failure.empty()) estimate = FindClearFullTurnCenter(samples, &first);
            if (failure.empty() && !estimate.found) {
                CenterWork work;
                if (!AllocateCenterWork(&work, columns, rows)) failure = "memory allocation error.";
                if (failure.empty()) estimate = FindEvenFullTurnCenter(samples, &work);
                if (failure.empty() && estimate.half_turn)
                    failure = "the views cover a half turn (the last one matches the first one mirrored): leave out full_turn.";
                else if (failure.empty() && !estimate.found)
                    failure = no_match;
            }
        } else if (views.made && CoversFullTurn(views.set)) {
            FullTurnWork work;
            if (!AllocateFullTurnWork(&work, columns, rows)) failure = "memory allocation error.";
            if (failure.empty()) estimate = FindFullTurnCenter(samples, views.set, &work);
            if (failure.empty() && !estimate.found) failure = no_match;
        } else {
            std::vector<int> order(rows);
            std::vector<double> sorted;
            int used = rows;
            if (views.made) {
                used = EvenHalfTurnOrder(views.set, order.data());
                if (used == 0) failure = "angles neither evenly over a half turn nor over a full turn.";
                else if (used < kMinViews) failure = "sinogram too small to find the center.";
                bool as_read = used == rows;
                for (int k = 0; k < used && as_read; ++k) as_read = order[k] == k;
                if (failure.empty() && !as_read) {
                    sorted.resize(static_cast<std::size_t>(used) * columns);
                    for (int k = 0; k < used; ++k)
                        std::copy(samples + static_cast<std::size_t>(order[k]) * columns,
                                  samples + static_cast<std::size_t>(order[k] + 1) * columns,
                                  sorted.data() + static_cast<std::size_t>(k) * columns);
                    samples = sorted.data();
                }
            }
            if (failure.empty()) {
                CenterWork work;
                if (!AllocateCenterWork(&work, columns, used)) failure = "memory allocation error.";
                if (failure.empty()) estimate = FindCenter(samples, &work);
                if (failure.empty() && estimate.full_turn)
                    failure = "the views cover a full turn (opposite views match): give full_turn=True or the angles.";
                else if (failure.empty() && !estimate.found)
                    failure = no_center;
            }
        }
    }
    RaiseFailure(failure.empty() ? Success() : Failure(failure));
    return estimate.center;
}

}  // namespace

void BindGeometry(py::module_ &m) {
    m.def("phantom_image", &PhantomImage, "phantom"_a, "size"_a, "pixel"_a = 1.0,
          R"(The exact pixel means of an ellipse phantom (phantom_image).

phantom: 'shepp-logan:R' (the modified Shepp-Logan head of radius R detector
    intervals), the name of a file of ellipses, the text of such a file
    (lines 'xc yc a b angle value', lengths in detector intervals, angle in
    degrees), or an array of E x 6 such numbers.
size: the image side K, pixels.  pixel: the pixel side, detector intervals.
Returns a K x K float64 image, row 0 at the top, centred on the axis.)");
    m.def("phantom_sino", &PhantomSino, "phantom"_a, "detectors"_a, "center"_a, "views"_a = py::none(),
          "angles"_a = py::none(),
          R"(The exact line integrals of an ellipse phantom (phantom_sino).

phantom: as phantom_image takes it.  detectors: N per view.
center: the rotation axis, detector intervals from detector 0 (0 < c < N-1).
views: M (default: the angles' count, else N pi rounded down).
angles: M angles in degrees (default None: the even half turn, k 180/M).
Returns an M x N float64 sinogram.)");
    m.def("project", &ProjectImage, "image"_a, "detectors"_a, "center"_a, "views"_a = py::none(),
          "angles"_a = py::none(), "pixel"_a = 1.0,
          R"(Line integrals of a square image by Joseph's method (img_sino).

image: K x K densities per detector interval, row 0 at the top.
detectors, center, views, angles: as phantom_sino.  pixel: the pixel side,
detector intervals.  Returns an M x N float64 sinogram; backproject is its
exact transpose.)");
    m.def("backproject", &BackProject, "sinogram"_a, "center"_a, "size"_a, "angles"_a = py::none(),
          "pixel"_a = 1.0,
          R"(The exact transpose of project: every weight of the projector scattered back.

sinogram: M x N.  center: the rotation axis, detector intervals.
size: the image side K.  angles: M degrees (None: the even half turn).
Returns a K x K float64 image.  (Unfiltered and unweighted: for a
reconstruction use recon.))");
    m.def("recon", &Recon, "sinogram"_a, "center"_a, "interval"_a = 1.0, "size"_a = py::none(),
          "kernel"_a = "shepp", "angles"_a = py::none(), "method"_a = "fbp", "iterations"_a = py::none(),
          "pixel"_a = 1.0, "offset"_a = std::pair<double, double>(0.0, 0.0), "nonnegative"_a = false,
          R"(Reconstructs slices (sino_recon for 'fbp'; sino_iter for 'sirt', 'cgls').

sinogram: M views x N detectors of line integrals, or projections x rows x
    columns (M x R x N): every row reconstructed, a volume R x K x K.  A
    sample that is not finite raises ValueError naming its view and column.
center: the rotation axis in detector intervals from detector 0; one value,
    or one per row.
interval: the detector interval, in the unit of the densities (default 1).
size: the image side K, pixels (default N).
kernel: 'shepp' (this module's default), 'chesler' (sino_recon's default)
    or 'ramachandran'; fbp only.
angles: M angles in degrees (None: the even half turn).
method: 'fbp', 'fourier' (gridding, sino_recon -M fourier), 'sirt', 'cgls'
    or 'tv' (sino_iter).  iterations: sirt and cgls (default 100), tv (at most
    300, stopped by the relative change); not for fbp or fourier (ValueError).
pixel: the pixel side in detector intervals (sino_recon -p).
offset: (x, y), the image's centre in detector intervals from the axis (-o).
nonnegative: sirt and tv keep the image non-negative (sino_iter -n).
Returns float64 densities.  A limited range of angles, one view, and views given without angles that look
like a whole turn warn (UserWarning).)");
    m.def("find_center", &FindCenterOf, "sinogram"_a, "angles"_a = py::none(), "full_turn"_a = false,
          R"(The rotation axis of a sinogram, in detector intervals from detector 0 (sino_center).

sinogram: M x N (at least 16 x 3).  angles: M degrees over a half or a
full turn (None: the even half turn).  full_turn: the views cover the whole
turn evenly (sino_center -t).  Raises ValueError when no clear centre.)");
}
