#include "volume_hdf5.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <new>

#include "h5_id.h"
#include "hdf5_stack.h"

namespace {

// A one-dimensional dataset of doubles, written whole. No object records
// the time it was made, so that the same run writes the same bytes.
bool WriteDoubles(hid_t file, const char *path, const double *values, int count) {
    hsize_t extent = static_cast<hsize_t>(count);
    H5Id space(H5Screate_simple(1, &extent, nullptr));
    H5Id create(H5Pcreate(H5P_DATASET_CREATE));
    if (create.id < 0 || H5Pset_obj_track_times(create.id, false) < 0) return false;
    H5Id set(space.id >= 0 ? H5Dcreate2(file, path, H5T_IEEE_F64LE, space.id, H5P_DEFAULT, create.id, H5P_DEFAULT) : -1);
    return set.id >= 0 && (count == 0 || H5Dwrite(set.id, H5T_NATIVE_DOUBLE, H5S_ALL, H5S_ALL, H5P_DEFAULT, values) >= 0);
}

template <typename T>
bool WriteAttribute(hid_t object, const char *name, hid_t file_type, hid_t memory_type, T value) {
    H5Id space(H5Screate(H5S_SCALAR));
    H5Id attribute(space.id >= 0 ? H5Acreate2(object, name, file_type, space.id, H5P_DEFAULT, H5P_DEFAULT) : -1);
    return attribute.id >= 0 && H5Awrite(attribute.id, memory_type, &value) >= 0;
}

// /exchange/data, chunked by slice. Chunks are written whole and never
// read back, so they bypass the chunk cache, and no fill value is ever
// written.
hid_t FileType(SampleType type) {
    return type == SampleType::kUint8 ? H5T_STD_U8LE : type == SampleType::kUint16 ? H5T_STD_U16LE : H5T_IEEE_F32LE;
}

hid_t CreateData(hid_t file, int rows, int size, SampleType type) {
    hsize_t extent[3] = {static_cast<hsize_t>(rows), static_cast<hsize_t>(size), static_cast<hsize_t>(size)};
    hsize_t chunk[3] = {1, extent[1], extent[2]};
    H5Id space(H5Screate_simple(3, extent, nullptr));
    H5Id create(H5Pcreate(H5P_DATASET_CREATE));
    H5Id access(H5Pcreate(H5P_DATASET_ACCESS));
    if (space.id < 0 || create.id < 0 || access.id < 0 || H5Pset_chunk(create.id, 3, chunk) < 0 ||
        H5Pset_fill_time(create.id, H5D_FILL_TIME_NEVER) < 0 || H5Pset_obj_track_times(create.id, false) < 0 ||
        H5Pset_chunk_cache(access.id, 0, 0, H5D_CHUNK_CACHE_W0_DEFAULT) < 0)
        return -1;
    return H5Dcreate2(file, "/exchange/data", FileType(type), space.id, H5P_DEFAULT, create.id, access.id);
}

}  // namespace

bool SliceFitsChunk(int size) { return 4.0 * size * size < 4294967296.0; }

namespace {

Status Begin(const char *name, const VolumeFacts &facts, VolumeHdf5 *h5) {
    H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr);
    h5->rows = facts.rows;
    h5->size = facts.size;
    h5->written = 0;
    h5->failure = About(name, "data write error.");
    try {
        h5->slice.assign(static_cast<std::size_t>(facts.size) * static_cast<std::size_t>(facts.size), 0.0f);
    } catch (const std::bad_alloc &) {
        return Failure("memory allocation error.");
    }
    Status reserved = ReserveOutput(name, About(name, "file not open.").c_str(), &h5->out);
    if (!reserved.ok()) return reserved;
    Status failed = Failure(h5->failure);
    // The file format of HDF5 1.8, whose dense attribute storage holds a
    // record of any size (a list of 4096 texts or more, such as the names
    // of a long command line, outgrows an object header otherwise).
    H5Id access(H5Pcreate(H5P_FILE_ACCESS));
    if (access.id < 0 || H5Pset_libver_bounds(access.id, H5F_LIBVER_V18, H5F_LIBVER_V18) < 0)
        return Failure(About(name, "file not open."));
    h5->file = H5Fcreate(OutputPath(h5->out).c_str(), H5F_ACC_TRUNC, H5P_DEFAULT, access.id);
    if (h5->file < 0) return Failure(About(name, "file not open."));
    H5Id group_create(H5Pcreate(H5P_GROUP_CREATE));
    if (group_create.id < 0 || H5Pset_obj_track_times(group_create.id, false) < 0) return failed;
    H5Id group(H5Gcreate2(h5->file, "/exchange", H5P_DEFAULT, group_create.id, H5P_DEFAULT));
    if (group.id < 0) return failed;
    h5->type = facts.type;
    h5->data = CreateData(h5->file, facts.rows, facts.size, facts.type);
    if (h5->data < 0) return failed;
    if (!WriteAttribute(h5->data, "first_row", H5T_STD_I32LE, H5T_NATIVE_INT, facts.first_row)) return failed;
    if (facts.pixel > 0 && !WriteAttribute(h5->data, "pixel_size", H5T_IEEE_F64LE, H5T_NATIVE_DOUBLE, facts.pixel))
        return failed;
    if (!WriteDoubles(h5->file, "/exchange/center", facts.centers, facts.rows) ||
        !WriteDoubles(h5->file, "/exchange/theta", facts.theta, facts.views))
        return failed;
    return Success();
}

}  // namespace

// A failure closes the file at once: left open, the library would try to
// flush it when the process ends, after the file was removed.
Status BeginVolumeHdf5(const char *name, const VolumeFacts &facts, VolumeHdf5 *h5) {
    Status status = Begin(name, facts, h5);
    if (!status.ok()) CloseVolumeHdf5(h5);
    return status;
}

Status WriteVolumeHdf5Slice(VolumeHdf5 *h5, int index, const double *image) {
    std::size_t samples = h5->slice.size();
    for (std::size_t i = 0; i < samples; ++i) h5->slice[i] = static_cast<float>(image[i]);
    hsize_t start[3] = {static_cast<hsize_t>(index), 0, 0};
    hsize_t count[3] = {1, static_cast<hsize_t>(h5->size), static_cast<hsize_t>(h5->size)};
    H5Id file_space(H5Dget_space(h5->data));
    H5Id memory(H5Screate_simple(3, count, nullptr));
    if (file_space.id < 0 || memory.id < 0 ||
        H5Sselect_hyperslab(file_space.id, H5S_SELECT_SET, start, nullptr, count, nullptr) < 0 ||
        H5Dwrite(h5->data, H5T_NATIVE_FLOAT, memory.id, file_space.id, H5P_DEFAULT, h5->slice.data()) < 0) {
        CloseVolumeHdf5(h5);
        return Failure(h5->failure);
    }
    ++h5->written;
    return Success();
}

Status WriteVolumeHdf5Samples(VolumeHdf5 *h5, int index, const unsigned char *samples) {
    hsize_t start[3] = {static_cast<hsize_t>(index), 0, 0};
    hsize_t count[3] = {1, static_cast<hsize_t>(h5->size), static_cast<hsize_t>(h5->size)};
    H5Id file_space(H5Dget_space(h5->data));
    H5Id memory(H5Screate_simple(3, count, nullptr));
    if (file_space.id < 0 || memory.id < 0 ||
        H5Sselect_hyperslab(file_space.id, H5S_SELECT_SET, start, nullptr, count, nullptr) < 0 ||
        H5Dwrite(h5->data, FileType(h5->type), memory.id, file_space.id, H5P_DEFAULT, samples) < 0) {
        CloseVolumeHdf5(h5);
        return Failure(h5->failure);
    }
    ++h5->written;
    return Success();
}

Status FinishVolumeHdf5Record(VolumeHdf5 *h5, const Record &record) {
    if (!WriteRecordAttributes(h5->data, record)) {
        CloseVolumeHdf5(h5);
        return Failure(h5->failure);
    }
    return FinishVolumeHdf5(h5);
}

Status FinishVolumeHdf5(VolumeHdf5 *h5) {
    bool complete = h5->written == h5->rows;
    // Closing writes what HDF5 still holds; a full disk shows here.
    bool closed = H5Dclose(h5->data) >= 0;
    h5->data = -1;
    closed = H5Fclose(h5->file) >= 0 && closed;
    h5->file = -1;
    if (!complete || !closed) return Failure(h5->failure);
    return CommitOutput(&h5->out, h5->failure.c_str());
}

void CloseVolumeHdf5(VolumeHdf5 *h5) {
    if (h5->data >= 0) H5Dclose(h5->data);
    if (h5->file >= 0) H5Fclose(h5->file);
    h5->data = h5->file = -1;
}

namespace {

bool ReadDoubles(hid_t file, const char *path, std::vector<double> *values) {
    H5Id set(H5Dopen2(file, path, H5P_DEFAULT));
    H5Id space(set.id >= 0 ? H5Dget_space(set.id) : -1);
    hsize_t count = 0;
    if (space.id < 0 || H5Sget_simple_extent_ndims(space.id) != 1 ||
        H5Sget_simple_extent_dims(space.id, &count, nullptr) != 1 || count > (hsize_t{1} << 31))
        return false;
    values->assign(count, 0);
    return count == 0 || H5Dread(set.id, H5T_NATIVE_DOUBLE, H5S_ALL, H5S_ALL, H5P_DEFAULT, values->data()) >= 0;
}

template <typename T>
bool ReadAttribute(hid_t object, const char *name, hid_t memory_type, T *value) {
    if (H5Aexists(object, name) <= 0) return false;
    H5Id attribute(H5Aopen(object, name, H5P_DEFAULT));
    return attribute.id >= 0 && H5Aread(attribute.id, memory_type, value) >= 0;
}

}  // namespace

bool IsVolumeHdf5(const char *file) {
    H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr);
    if (H5Fis_hdf5(file) <= 0) return false;
    H5Id f(H5Fopen(file, H5F_ACC_RDONLY, H5P_DEFAULT));
    return f.id >= 0 && H5Lexists(f.id, "/exchange", H5P_DEFAULT) > 0 &&
           H5Lexists(f.id, "/exchange/data", H5P_DEFAULT) > 0 && H5Lexists(f.id, "/exchange/center", H5P_DEFAULT) > 0;
}

Status OpenVolumePart(const char *file, VolumePart *part) {
    H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr);
    *part = VolumePart{file, 0, 0, 0, 0, {}, {}, SampleType::kFloat32, false, {}};
    FILE *exists = std::fopen(file, "rb");
    if (exists == nullptr) return Failure(About(file, "file not found."));
    std::fclose(exists);
    Status not_volume = Failure(About(file, "not a volume."));
    H5Id f(H5Fopen(file, H5F_ACC_RDONLY, H5P_DEFAULT));
    if (f.id < 0) return not_volume;
    if (H5Lexists(f.id, "/exchange", H5P_DEFAULT) <= 0 || H5Lexists(f.id, "/exchange/data", H5P_DEFAULT) <= 0 ||
        H5Lexists(f.id, "/exchange/center", H5P_DEFAULT) <= 0 || H5Lexists(f.id, "/exchange/theta", H5P_DEFAULT) <= 0)
        return not_volume;
    H5Id data(H5Dopen2(f.id, "/exchange/data", H5P_DEFAULT));
    H5Id space(data.id >= 0 ? H5Dget_space(data.id) : -1);
    H5Id type(data.id >= 0 ? H5Dget_type(data.id) : -1);
    hsize_t dims[3] = {};
    if (space.id < 0 || type.id < 0 || H5Sget_simple_extent_ndims(space.id) != 3 ||
        H5Sget_simple_extent_dims(space.id, dims, nullptr) != 3 ||
        !(H5Tget_class(type.id) == H5T_FLOAT ||
          (H5Tget_class(type.id) == H5T_INTEGER && H5Tget_sign(type.id) == H5T_SGN_NONE &&
           (H5Tget_size(type.id) == 1 || H5Tget_size(type.id) == 2))) ||
        dims[0] == 0 || dims[1] == 0 || dims[1] != dims[2] || dims[0] > 0x7fffffff || dims[1] > 32767)
        return not_volume;
    part->rows = static_cast<int>(dims[0]);
    part->size = static_cast<int>(dims[1]);
    part->type = H5Tget_class(type.id) == H5T_FLOAT ? SampleType::kFloat32
                 : H5Tget_size(type.id) == 1        ? SampleType::kUint8
                                                    : SampleType::kUint16;
    if (!ReadRecordAttributes(data.id, &part->record, &part->recorded)) return not_volume;
    // Read as a double, whatever its stored type: a value of any width that
    // is not a row whose part ends within the int range is refused, never
    // clipped or rounded into one.
    double first_row = -1;
    if (!ReadAttribute(data.id, "first_row", H5T_NATIVE_DOUBLE, &first_row) || !(first_row >= 0) ||
        first_row != std::floor(first_row) || first_row > INT_MAX - static_cast<double>(dims[0]))
        return not_volume;
    part->first_row = static_cast<int>(first_row);
    if (H5Aexists(data.id, "pixel_size") > 0 && !ReadAttribute(data.id, "pixel_size", H5T_NATIVE_DOUBLE, &part->pixel))
        return Failure(About(file, "data read error."));
    if (!(part->pixel >= 0 && std::isfinite(part->pixel))) return not_volume;
    // Every dataset wholly stored in this file: a chunk never written, or a
    // virtual dataset whose source is gone, would read as zeros.
    for (const char *path : {"/exchange/data", "/exchange/center", "/exchange/theta"}) {
        H5Id set(H5Dopen2(f.id, path, H5P_DEFAULT));
        if (set.id < 0) return not_volume;
        Status stored = CheckH5Storage(f.id, set.id, file);
        if (!stored.ok()) return stored;
    }
    if (!ReadDoubles(f.id, "/exchange/center", &part->centers) || !ReadDoubles(f.id, "/exchange/theta", &part->theta))
        return Failure(About(file, "data read error."));
    if (part->centers.size() != dims[0]) return not_volume;
    for (const std::vector<double> *values : {&part->centers, &part->theta})
        for (double v : *values)
            if (!std::isfinite(v)) return not_volume;
    return Success();
}

Status ReadVolumePartSlice(const VolumePart &part, int index, double *image) {
    Status unreadable = Failure(About(part.file, "data read error."));
    H5Id f(H5Fopen(part.file.c_str(), H5F_ACC_RDONLY, H5P_DEFAULT));
    H5Id data(f.id >= 0 ? H5Dopen2(f.id, "/exchange/data", H5P_DEFAULT) : -1);
    H5Id space(data.id >= 0 ? H5Dget_space(data.id) : -1);
    if (space.id < 0) return unreadable;
    hsize_t start[3] = {static_cast<hsize_t>(index), 0, 0};
    hsize_t count[3] = {1, static_cast<hsize_t>(part.size), static_cast<hsize_t>(part.size)};
    H5Id memory(H5Screate_simple(3, count, nullptr));
    if (memory.id < 0 || H5Sselect_hyperslab(space.id, H5S_SELECT_SET, start, nullptr, count, nullptr) < 0 ||
        H5Dread(data.id, H5T_NATIVE_DOUBLE, memory.id, space.id, H5P_DEFAULT, image) < 0)
        return unreadable;
    return Success();
}

void KeepHdf5FromClosingAtExit() { H5dont_atexit(); }
