#include "hdf5_theta.h"

#include <cmath>
#include <string>

#include <hdf5.h>

namespace {

// Releases an HDF5 identifier when it leaves scope.
struct Id {
    hid_t id;
    explicit Id(hid_t value) : id(value) {}
    ~Id() {
        if (id >= 0) H5Idec_ref(id);
    }
    Id(const Id &) = delete;
    Id &operator=(const Id &) = delete;
};

bool Exists(hid_t file) {
    return H5Lexists(file, "/exchange", H5P_DEFAULT) > 0 && H5Lexists(file, kH5Theta, H5P_DEFAULT) > 0;
}

}  // namespace

Status ReadH5Theta(const char *file, int views, std::vector<double> *degrees, bool *present) {
    H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr);
    *present = false;
    Status unreadable = Failure(About(file, "data read error."));
    Id f(H5Fopen(file, H5F_ACC_RDONLY, H5P_DEFAULT));
    if (f.id < 0) return unreadable;
    if (!Exists(f.id)) return Success();
    *present = true;
    Id data(H5Dopen2(f.id, kH5Theta, H5P_DEFAULT));
    Id space(data.id >= 0 ? H5Dget_space(data.id) : -1);
    Id type(data.id >= 0 ? H5Dget_type(data.id) : -1);
    if (space.id < 0 || type.id < 0 || H5Sget_simple_extent_ndims(space.id) != 1) return unreadable;
    H5T_class_t kind = H5Tget_class(type.id);
    if (kind != H5T_FLOAT && kind != H5T_INTEGER) return unreadable;
    hsize_t count = 0;
    H5Sget_simple_extent_dims(space.id, &count, nullptr);
    // The count is checked before anything is read: a claim of billions
    // costs nothing.
    if (count != static_cast<hsize_t>(views))
        return Failure(About(file, (std::to_string(count) + " angles for " + std::to_string(views) + " views.").c_str()));
    degrees->assign(count, 0);
    if (count > 0 && H5Dread(data.id, H5T_NATIVE_DOUBLE, H5S_ALL, H5S_ALL, H5P_DEFAULT, degrees->data()) < 0)
        return unreadable;
    for (double d : *degrees)
        if (!std::isfinite(d)) return Failure(About(file, "bad angle."));
    return Success();
}
