#include "arrays.h"

#include "angles_file.h"

#include <atomic>
#include <climits>
#include <cstring>

#ifdef _OPENMP
#include <omp.h>
#endif

namespace {

// 0 until set_threads is called: OpenMP's own count (OMP_NUM_THREADS).
std::atomic<int> thread_count{0};

Doubles Converted(const py::handle &object, const char *what, int dims) {
    py::array any = py::array::ensure(object);
    if (!any) {
        PyErr_Clear();
        RaiseValue(std::string(what) + ": not an array of numbers.");
    }
    char kind = any.dtype().kind();
    if (kind != 'f' && kind != 'i' && kind != 'u')
        RaiseValue(std::string(what) + ": dtype " + std::string(py::str(any.dtype())) + " is not real (float32 or float64).");
    if (any.ndim() != dims)
        RaiseValue(std::string(what) + ": " + std::to_string(any.ndim()) + " dimensions, " + std::to_string(dims) +
                   " expected.");
    for (int k = 0; k < dims; ++k) {
        if (any.shape(k) <= 0 || any.shape(k) > INT_MAX) RaiseValue(std::string(what) + ": bad number of pixels.");
    }
    Doubles doubles = Doubles::ensure(any);
    if (doubles) return doubles;
    // A dtype numpy does not cast to float64 unasked (longdouble) is cast
    // all the same, as any real dtype is taken.
    PyErr_Clear();
    py::array_t<double, py::array::c_style | py::array::forcecast> cast =
        py::array_t<double, py::array::c_style | py::array::forcecast>::ensure(any);
    if (cast) doubles = Doubles::ensure(cast);
    if (!doubles) {
        PyErr_Clear();
        RaiseValue(std::string(what) + ": dtype " + std::string(py::str(any.dtype())) + " does not convert to float64.");
    }
    return doubles;
}

}  // namespace

void RaiseValue(const std::string &message) { throw py::value_error(message); }

Doubles RealArray(const py::handle &object, const char *what, int dims) { return Converted(object, what, dims); }

Doubles OwnRealArray(const py::handle &object, const char *what, int dims) {
    Doubles doubles = Converted(object, what, dims);
    // A converted array is the module's own; the caller's memory (the
    // same array, or a view of it) is copied.
    if (doubles.ptr() != object.ptr() && doubles.owndata()) return doubles;
    std::vector<py::ssize_t> shape(doubles.shape(), doubles.shape() + doubles.ndim());
    Doubles copy = NewArray(shape);
    std::memcpy(copy.mutable_data(), doubles.data(), static_cast<std::size_t>(doubles.size()) * sizeof(double));
    return copy;
}

Doubles NewArray(std::vector<py::ssize_t> shape) { return Doubles(shape); }

void RaiseFailure(const Status &status) {
    if (status.ok()) return;
    if (status.message == "memory allocation error.") throw std::bad_alloc();
    throw py::value_error(status.message);
}

void RaiseFileFailure(const Status &status) {
    if (status.ok()) return;
    if (status.message == "memory allocation error.") throw std::bad_alloc();
    PyErr_SetString(PyExc_OSError, status.message.c_str());
    throw py::error_already_set();
}

std::string PathArgument(const py::handle &path) {
    py::object name = py::module_::import("os").attr("fsdecode")(path);
    std::string text = name.cast<std::string>();
    if (text.empty()) {
        PyErr_SetString(PyExc_OSError, "empty file name.");
        throw py::error_already_set();
    }
    return text;
}

Views::~Views() {
    if (made) ReleaseViews(&set);
}

void MakeViews(const py::handle &angles, int count, Views *views) {
    if (angles.is_none()) {
        RaiseFailure(EvenHalfTurn(count, &views->set));
    } else {
        Doubles degrees = RealArray(angles, "angles", 1);
        if (degrees.shape(0) != count)
            RaiseValue("angles: " + std::to_string(degrees.shape(0)) + " angles for " + std::to_string(count) +
                       " views.");
        // Angles of a shape no list in degrees has are radians, said by a
        // UserWarning as the programs say it.
        std::string span;
        bool radians = RadiansSpan(degrees.data(), count, &span);
        if (radians) {
            std::string warning = "angles read as radians (their values " + span + ").";
            if (PyErr_WarnEx(PyExc_UserWarning, warning.c_str(), 1) < 0) throw py::error_already_set();
        }
        Status made = radians ? ViewsFromRadians(degrees.data(), count, &views->set)
                              : ViewsFromDegrees(degrees.data(), count, &views->set);
        if (!made.ok() && made.message != "memory allocation error.") made.message = "angles: " + made.message;
        RaiseFailure(made);
    }
    views->made = true;
}

void SetThreadCount(int count) { thread_count = count; }

int ThreadCount() {
#ifdef _OPENMP
    return thread_count > 0 ? thread_count.load() : omp_get_max_threads();
#else
    return 1;
#endif
}

Computing::Computing() {
#ifdef _OPENMP
    if (thread_count > 0) omp_set_num_threads(thread_count);
#endif
}
