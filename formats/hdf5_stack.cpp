#include "hdf5_stack.h"

#include <climits>
#include <cstring>
#include <memory>

#include <hdf5.h>


namespace {

// Releases an HDF5 identifier (file, dataset, dataspace, type) when it
// leaves scope, so that a failure never leaves the file open.
struct H5Id {
    hid_t id;
    explicit H5Id(hid_t value) : id(value) {}
    ~H5Id() {
        if (id >= 0) H5Idec_ref(id);
    }
    H5Id(const H5Id &) = delete;
    H5Id &operator=(const H5Id &) = delete;
    bool ok() const { return id >= 0; }
};

// Every HDF5 failure is reported once, by the caller, in the toolkit's words.
void QuietHdf5() { H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr); }

hid_t OpenFile(const char *name) { return H5Fopen(name, H5F_ACC_RDONLY, H5P_DEFAULT); }

// Whether `path` ("/a/b") names a link in the file, each step checked in
// turn as H5Lexists wants.
bool PathExists(hid_t file, const char *path) {
    std::string prefix;
    for (const char *at = path + 1;; ++at) {
        if (*at == '/' || *at == '\0') {
            prefix = std::string(path, static_cast<std::size_t>(at - path));
            if (H5Lexists(file, prefix.c_str(), H5P_DEFAULT) <= 0) return false;
        }
        if (*at == '\0') return true;
    }
}

bool SupportedType(hid_t type) {
    std::size_t size = H5Tget_size(type);
    switch (H5Tget_class(type)) {
        case H5T_INTEGER: return H5Tget_sign(type) == H5T_SGN_NONE && (size == 1 || size == 2 || size == 4);
        case H5T_FLOAT: return size == 4 || size == 8;
        default: return false;
    }
}

// Reads rows [first, first + count) of image k, row j to out + j * row_step.
bool ReadImageRows(hid_t data, hid_t space, int k, int first, int count, int columns, double *out,
                   std::size_t row_step) {
    hsize_t start[3] = {static_cast<hsize_t>(k), static_cast<hsize_t>(first), 0};
    hsize_t size[3] = {1, static_cast<hsize_t>(count), static_cast<hsize_t>(columns)};
    if (H5Sselect_hyperslab(space, H5S_SELECT_SET, start, nullptr, size, nullptr) < 0) return false;
    // The memory side: count rows of row_step samples, of which the first
    // `columns` are written.
    hsize_t extent[2] = {static_cast<hsize_t>(count), static_cast<hsize_t>(row_step)};
    H5Id memory(H5Screate_simple(2, extent, nullptr));
    hsize_t origin[2] = {0, 0}, part[2] = {static_cast<hsize_t>(count), static_cast<hsize_t>(columns)};
    if (!memory.ok() || H5Sselect_hyperslab(memory.id, H5S_SELECT_SET, origin, nullptr, part, nullptr) < 0)
        return false;
    return H5Dread(data, H5T_NATIVE_DOUBLE, memory.id, space, H5P_DEFAULT, out) >= 0;
}

}  // namespace

Status OpenH5Images(const char *file, const char *dataset, H5Images *images, bool *present) {
    QuietHdf5();
    *present = false;
    H5Id f(OpenFile(file));
    if (!f.ok()) return Failure(About(file, "data read error."));
    if (!PathExists(f.id, dataset)) return Success();
    *present = true;
    H5Id data(H5Dopen2(f.id, dataset, H5P_DEFAULT));
    if (!data.ok()) return Failure(About(file, "data read error."));
    H5Id space(H5Dget_space(data.id));
    hsize_t dims[3] = {};
    if (!space.ok() || H5Sget_simple_extent_ndims(space.id) != 3 ||
        H5Sget_simple_extent_dims(space.id, dims, nullptr) != 3)
        return Failure(About(file, "bad number of pixels."));
    for (hsize_t d : dims)
        if (d == 0 || d > INT_MAX) return Failure(About(file, "bad number of pixels."));
    H5Id type(H5Dget_type(data.id));
    if (!type.ok() || !SupportedType(type.id)) return Failure(About(file, "unsupported sample format."));
    // A dataset declared but never written reads as its fill value: huge
    // dimensions over a few bytes would become sinograms of zeros. (A
    // compressed chunked one counts as partly stored however whole it is,
    // so only "nothing stored" can be told.)
    H5D_space_status_t stored = H5D_SPACE_STATUS_ERROR;
    if (H5Dget_space_status(data.id, &stored) < 0 || stored == H5D_SPACE_STATUS_NOT_ALLOCATED)
        return Failure(About(file, "data read error."));
    *images = H5Images{file, dataset, static_cast<int>(dims[0]), static_cast<int>(dims[1]), static_cast<int>(dims[2])};
    return Success();
}

Status ReadH5Rows(const H5Images &images, int count_images, int first, int count, double *out,
                  std::size_t image_step, std::size_t row_step) {
    H5Id f(OpenFile(images.file));
    H5Id data(f.ok() ? H5Dopen2(f.id, images.dataset, H5P_DEFAULT) : -1);
    H5Id space(data.ok() ? H5Dget_space(data.id) : -1);
    if (!space.ok()) return Failure(About(images.file, "data read error."));
    for (int k = 0; k < count_images; ++k) {
        if (!ReadImageRows(data.id, space.id, k, first, count, images.columns,
                           out + static_cast<std::size_t>(k) * image_step, row_step))
            return Failure(About(images.file, "data read error."));
    }
    return Success();
}

Status MeanH5Rows(const H5Images &images, int first, int count, double *mean, double *page) {
    std::size_t samples = static_cast<std::size_t>(count) * static_cast<std::size_t>(images.columns);
    for (std::size_t i = 0; i < samples; ++i) mean[i] = 0;
    H5Id f(OpenFile(images.file));
    H5Id data(f.ok() ? H5Dopen2(f.id, images.dataset, H5P_DEFAULT) : -1);
    H5Id space(data.ok() ? H5Dget_space(data.id) : -1);
    if (!space.ok()) return Failure(About(images.file, "data read error."));
    // One image at a time through `page`, added up in image order as the
    // TIFF reader does.
    for (int k = 0; k < images.images; ++k) {
        if (!ReadImageRows(data.id, space.id, k, first, count, images.columns, page,
                           static_cast<std::size_t>(images.columns)))
            return Failure(About(images.file, "data read error."));
        for (std::size_t i = 0; i < samples; ++i) mean[i] += page[i];
    }
    for (std::size_t i = 0; i < samples; ++i) mean[i] /= images.images;
    return Success();
}
