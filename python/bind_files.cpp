// The toolkit's files and the stacks and volumes of other software, read
// into arrays and written from them. The readers and writers keep lists of
// open files shared by the process, so these bindings hold the GIL.
#include <cmath>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "arrays.h"
#include "image_file.h"
#include "images.h"
#include "kind.h"
#include "output.h"
#include "output_name.h"
#include "sinogram.h"
#include "stack_inputs.h"
#include "streams.h"
#include "volume_hdf5.h"
#include "volume_tiff.h"

using namespace pybind11::literals;

namespace {

Doubles ReadSinogramArray(const py::handle &path) {
    std::string name = PathArgument(path);
    Sinogram sinogram;
    RaiseFileFailure(ReadSinogramFile(name.c_str(), NamePrefix(name.c_str(), ""), &sinogram));
    Doubles a = NewArray({sinogram.rows, sinogram.columns});
    std::memcpy(a.mutable_data(), sinogram.samples,
                static_cast<std::size_t>(sinogram.rows) * static_cast<std::size_t>(sinogram.columns) * sizeof(double));
    ReleaseSinogram(&sinogram);
    return a;
}

void WriteSinogramFile(const py::handle &path, const py::handle &data) {
    std::string name = PathArgument(path);
    Doubles a = RealArray(data, "sinogram", 2);
    std::string prefix = NamePrefix(name.c_str(), "");
    std::string failure = prefix + "data write error.";
    Output out;
    // A sinogram replaces only a sinogram or image, as the programs' do: a
    // mistyped name never loses a scan.
    RaiseFileFailure(CheckOutputName(name.c_str(), OutputRules{OutputKind::kSinogram, "sinogram", {}, nullptr, nullptr}));
    RaiseFileFailure(OpenOutput(name.c_str(), (prefix + "file not open.").c_str(), &out));
    Status status = WriteCheckedHeader(out.stream, Axis(a, 1), Axis(a, 0), failure.c_str());
    if (status.ok())
        status = WriteBlock(out.stream, a.data(), static_cast<std::size_t>(a.size()) * sizeof(double), failure.c_str());
    if (status.ok()) status = FinishOutput(&out, failure.c_str());
    if (!status.ok()) AbandonOutput(&out);
    RaiseFileFailure(status);
}

// A list of names: one str or path, or a sequence of them.
std::vector<std::string> Names(const py::handle &object) {
    std::vector<std::string> names;
    if (object.is_none()) return names;
    if (py::isinstance<py::str>(object) || py::isinstance<py::bytes>(object) || py::hasattr(object, "__fspath__")) {
        names.push_back(PathArgument(object));
    } else {
        for (py::handle item : object) names.push_back(PathArgument(item));
    }
    return names;
}

std::vector<const char *> Pointers(const std::vector<std::string> &names) {
    std::vector<const char *> pointers;
    for (const std::string &name : names) pointers.push_back(name.c_str());
    return pointers;
}

// Every image of a set, images x rows x columns.
Doubles ReadAll(const Images &images) {
    Doubles a = NewArray({images.images, images.rows, images.columns});
    std::size_t pixels = static_cast<std::size_t>(images.rows) * static_cast<std::size_t>(images.columns);
    RaiseFileFailure(ReadRows(images, images.images, 0, images.rows, a.mutable_data(), pixels, images.columns));
    return a;
}

Doubles ReadStack(const py::handle &paths) {
    std::vector<std::string> names = Names(paths);
    if (names.empty()) RaiseValue("no files.");
    Images images{};
    if (names.size() == 1 && KindOfFile(names[0].c_str()) == FileKind::kHdf5) {
        bool present = false;
        RaiseFileFailure(Hdf5Images(names[0].c_str(), kH5Data, &images, &present));
        if (!present) RaiseFileFailure(Failure(names[0] + ": no /exchange/data."));
    } else {
        RaiseFileFailure(TiffImages(Pointers(names), &images));
    }
    return ReadAll(images);
}

py::tuple ReadScan(const py::handle &paths, const py::handle &flats, const py::handle &darks) {
    std::vector<std::string> stack = Names(paths), flat_names = Names(flats), dark_names = Names(darks);
    if (stack.empty()) RaiseValue("no files.");
    StackInputs in;
    RaiseFileFailure(OpenStackInputs(Pointers(stack), Pointers(flat_names), Pointers(dark_names), false, &in));
    py::object f = py::none(), d = py::none();
    Doubles data = ReadAll(in.stack);
    if (in.have_flats) f = ReadAll(in.flats);
    if (in.have_darks) d = ReadAll(in.darks);
    return py::make_tuple(data, f, d);
}

bool EndsWith(const std::string &name, const char *suffix) {
    std::size_t n = std::strlen(suffix);
    return name.size() >= n && name.compare(name.size() - n, n, suffix) == 0;
}

void WriteVolume(const py::handle &path, const py::handle &data, double pixel, const py::handle &centers_object,
                 const py::handle &angles_object, int first_row) {
    std::string name = PathArgument(path);
    Doubles volume = RealArray(data, "volume", 3);
    int pages = Axis(volume, 0), size = Axis(volume, 1);
    if (Axis(volume, 2) != size) RaiseValue("volume: slices not square.");
    if (!(pixel >= 0 && std::isfinite(pixel))) RaiseValue("bad pixel size.");
    std::size_t pixels = static_cast<std::size_t>(size) * static_cast<std::size_t>(size);
    const bool hdf5 = EndsWith(name, ".h5") || EndsWith(name, ".hdf5") || EndsWith(name, ".hdf");
    // A volume replaces only a volume, as stack_recon's does: a scan or a
    // projection in the volume's place is refused, not lost.
    struct stat existing;
    if (stat(name.c_str(), &existing) == 0 && S_ISREG(existing.st_mode) &&
        !(hdf5 ? IsVolumeHdf5(name.c_str()) : IsVolumeTiff(name.c_str())))
        RaiseFileFailure(Failure(About(name, "exists and is not a volume; give the volume a new name.")));
    Status status;
    if (hdf5) {
        if (!SliceFitsChunk(size)) RaiseValue("bad image size.");
        std::vector<double> centers(pages, std::nan("")), theta;
        if (!centers_object.is_none()) {
            Doubles given = RealArray(py::module_::import("numpy").attr("atleast_1d")(centers_object), "centers", 1);
            if (given.shape(0) != 1 && given.shape(0) != pages) RaiseValue("centers: one per slice, or one for all.");
            for (int k = 0; k < pages; ++k) centers[k] = given.data()[given.shape(0) == 1 ? 0 : k];
        }
        if (!angles_object.is_none()) {
            Doubles given = RealArray(angles_object, "angles", 1);
            theta.assign(given.data(), given.data() + given.shape(0));
        }
        VolumeFacts facts{pages, size, first_row, pixel, centers.data(), theta.data(), static_cast<int>(theta.size())};
        VolumeHdf5 h5;
        status = BeginVolumeHdf5(name.c_str(), facts, &h5);
        for (int k = 0; k < pages && status.ok(); ++k) status = WriteVolumeHdf5Slice(&h5, k, volume.data() + k * pixels);
        if (status.ok()) status = FinishVolumeHdf5(&h5);
        if (!status.ok()) {
            CloseVolumeHdf5(&h5);
            AbandonOutput(&h5.out);
        }
    } else {
        VolumeTiff tiff;
        status = BeginVolumeTiff(name.c_str(), pages, size, pixel, &tiff);
        for (int k = 0; k < pages && status.ok(); ++k) status = WriteVolumeTiffSlice(&tiff, volume.data() + k * pixels);
        if (status.ok()) status = FinishVolumeTiff(&tiff);
        if (!status.ok()) AbandonOutput(&tiff.out);
    }
    RaiseFileFailure(status);
}

}  // namespace

void BindFiles(py::module_ &m) {
    m.def("read_sinogram", &ReadSinogramArray, "path"_a,
          R"(Reads a toolkit sinogram or image file (header 'N\tM', M x N float64 samples).

Returns an M x N float64 array.  Raises OSError with the programs' message.)");
    m.def("write_sinogram", &WriteSinogramFile, "path"_a, "a"_a,
          R"(Writes a 2-D array (M views x N detectors, or an image) as a toolkit sinogram file.

The file is written aside and renamed into place when complete.  An existing
file is replaced only when it is a sinogram or image (or empty): a TIFF, an
HDF5 file or a text file raises OSError ("exists and is not a sinogram;
give the sinogram a new name."), as the programs refuse it.)");
    m.def("read_stack", &ReadStack, "paths_or_h5"_a,
          R"(Reads a stack of images: TIFF files (their pages in order) or one HDF5 file's /exchange/data.

Returns images x rows x columns float64 (projections x rows x columns for a
scan).  Also reads the volumes write_volume writes.)");
    m.def("read_scan", &ReadScan, "paths_or_h5"_a, "flats"_a = py::none(), "darks"_a = py::none(),
          R"(Reads a scan: projections with their flats and darks (stack_recon's inputs).

paths_or_h5: TIFF files, or one HDF5 Data Exchange file (its data_white and
data_dark are the flats and darks).  flats, darks: TIFF files (for an HDF5 file, only what it lacks).
Returns (projections, flats, darks), P x R x C float64 each, None where absent.)");
    m.def("write_volume", &WriteVolume, "path"_a, "volume"_a, "pixel"_a = 0.0, "centers"_a = py::none(),
          "angles"_a = py::none(), "first_row"_a = 0,
          R"(Writes slices (S x K x K) as 32-bit floats: one multi-page TIFF, or HDF5 (.h5, .hdf5, .hdf).

A file of that name is replaced only when it is a volume (one the toolkit
wrote): a scan or a projection raises OSError ("exists and is not a
volume; give the volume a new name."), as stack_recon refuses it.
pixel: the voxel side in micrometres (0: none recorded).  HDF5 only:
centers (one per slice, or one; NaN when None), angles in degrees and the
detector row of slice 0, kept beside the slices as stack_recon keeps them.)");
    m.attr("read_volume") = m.attr("read_stack");
}
