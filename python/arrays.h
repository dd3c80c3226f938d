// Numpy arrays in and out of the libraries, and their failures raised as
// Python exceptions: what every binding of the module shares.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include "status.h"
#include "views.h"

namespace py = pybind11;

// C-ordered doubles: what every library function takes.
using Doubles = py::array_t<double, py::array::c_style>;

// A real array (any float, integer or unsigned dtype; a list is taken as
// numpy takes it) of `dims` dimensions, none of them empty, as C-ordered
// doubles: the caller's own memory when it already is (float64, C order,
// aligned: no copy), else a converted copy. Raises ValueError naming `what`
// for any other dtype, another number of dimensions, an empty or an
// oversized axis.
Doubles RealArray(const py::handle &object, const char *what, int dims);

// The same, as a copy the library may change in place: the converted array
// when a conversion was made, else a fresh copy of the caller's.
Doubles OwnRealArray(const py::handle &object, const char *what, int dims);

// A new array of the shape, for a result.
Doubles NewArray(std::vector<py::ssize_t> shape);

// An axis of an array as an int (RealArray has checked the range).
inline int Axis(const py::array &a, int k) { return static_cast<int>(a.shape(k)); }

// Raises ValueError (MemoryError for "memory allocation error.") with the
// library's message unless the status is a success; RaiseFileFailure raises
// OSError, for the functions that read and write files.
void RaiseFailure(const Status &status);
void RaiseFileFailure(const Status &status);
[[noreturn]] void RaiseValue(const std::string &message);

// A path as the libraries take it: str, bytes or os.PathLike.
std::string PathArgument(const py::handle &path);

// The views of a sinogram of `count` rows: an even half turn for None, else
// an array of `count` angles in degrees. Raises the library's messages.
// The set is released when the holder goes.
struct Views {
    ViewSet set{};
    bool made = false;
    ~Views();
};
void MakeViews(const py::handle &angles, int count, Views *views);

// The library's thread count (set_threads), applied in each thread that
// computes: OpenMP keeps its count per calling thread.
void SetThreadCount(int count);
int ThreadCount();

// Held while the libraries compute: the GIL released, so that other Python
// threads run, and the module's thread count applied to this thread.
struct Computing {
    Computing();
    py::gil_scoped_release release;
};

// Adds the module's functions, by subject.
void BindGeometry(py::module_ &m);
void BindCorrections(py::module_ &m);
void BindFiles(py::module_ &m);
