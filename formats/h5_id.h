// An HDF5 identifier (file, dataset, dataspace, type, property list)
// released when it leaves scope, so that a failure never leaves a file
// open: the readers (hdf5_stack) and the writers (volume_hdf5) share it.
#pragma once

#include <hdf5.h>

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
