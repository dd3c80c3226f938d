#include "hdf5_stack.h"

#include <climits>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>

#include <hdf5.h>

#include "angles_file.h"
#include "h5_id.h"

namespace {

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

// Whether the first sample of a dataset can be read (its filters applied).
bool ReadsASample(hid_t data, hid_t space) {
    int rank = H5Sget_simple_extent_ndims(space);
    if (rank <= 0 || rank > H5S_MAX_RANK) return false;
    hsize_t start[H5S_MAX_RANK] = {}, count[H5S_MAX_RANK];
    for (int d = 0; d < rank; ++d) count[d] = 1;
    H5Id one(H5Scopy(space));
    hsize_t single = 1;
    H5Id memory(H5Screate_simple(1, &single, nullptr));
    if (!one.ok() || !memory.ok() || H5Sselect_hyperslab(one.id, H5S_SELECT_SET, start, nullptr, count, nullptr) < 0)
        return false;
    double sample = 0;
    return H5Dread(data, H5T_NATIVE_DOUBLE, memory.id, one.id, H5P_DEFAULT, &sample) >= 0;
}

// The message for a compression filter this HDF5 library cannot apply,
// with the filter's name (the file's, or the registered one's).
Status FilterMissing(const char *name, H5Z_filter_t filter, const char *stored) {
    const struct {
        H5Z_filter_t id;
        const char *name;
    } known[] = {{32000, "lzf"}, {32001, "blosc"}, {32004, "lz4"}, {32008, "bitshuffle"}, {307, "bzip2"}, {32013, "zfp"}};
    std::string what = stored;
    for (const auto &k : known)
        if (k.id == filter) what = k.name;
    if (what.empty()) what = "number";
    return Failure(std::string(name) + ": the HDF5 filter " + what + " (" + std::to_string(filter) +
                   ") is not available: install its plugin (tools/setup.sh installs lzf, blosc, lz4, bitshuffle, "
                   "bzip2 and zfp) or name its folder in HDF5_PLUGIN_PATH.");
}

// Whether every sample of a dataset lies in the file. HDF5 reads what was
// never stored as the fill value, so a few kilobytes declaring terabytes
// would become sinograms of zeros: a dataset never written, a chunked one
// with chunks missing (45 of 90 views written), contiguous storage past
// the file's end all fail with "data read error.", a compression filter
// this HDF5 library cannot apply names the filter; data in external raw files or virtual datasets,
// whose sources may be missing or short, with "unsupported dataset
// layout.". The chunks' extent goes to *chunk (zeros when not chunked).
Status CheckStorage(hid_t file, hid_t data, hid_t space, const char *name, hsize_t chunk[3]) {
    H5Id create(H5Dget_create_plist(data));
    if (!create.ok()) return Failure(About(name, "data read error."));
    H5D_layout_t layout = H5Pget_layout(create.id);
    int external = H5Pget_external_count(create.id);
    if (layout < 0 || external < 0) return Failure(About(name, "data read error."));
    if (layout == H5D_VIRTUAL || external > 0) return Failure(About(name, "unsupported dataset layout."));
    H5D_space_status_t stored = H5D_SPACE_STATUS_ERROR;
    if (H5Dget_space_status(data, &stored) < 0 || stored == H5D_SPACE_STATUS_NOT_ALLOCATED)
        return Failure(About(name, "data read error."));
    int filters = H5Pget_nfilters(create.id);
    if (filters < 0) return Failure(About(name, "data read error."));
    for (int i = 0; i < filters; ++i) {
        unsigned flags = 0;
        std::size_t values = 0;
        char filter_name[64] = "";
        H5Z_filter_t filter = H5Pget_filter2(create.id, static_cast<unsigned>(i), &flags, &values, nullptr,
                                             sizeof filter_name, filter_name, nullptr);
        if (filter < 0) return Failure(About(name, "data read error."));
        // A filter from a plugin may be loaded only when data needs it
        // (LZF is): a sample read through it tells.
        if (H5Zfilter_avail(filter) <= 0 && !ReadsASample(data, space)) return FilterMissing(name, filter, filter_name);
    }
    int rank = H5Sget_simple_extent_ndims(space);
    hsize_t dims[H5S_MAX_RANK] = {};
    if (rank < 0 || H5Sget_simple_extent_dims(space, dims, nullptr) != rank)
        return Failure(About(name, "data read error."));
    chunk[0] = chunk[1] = chunk[2] = 0;
    if (layout == H5D_CHUNKED) {
        hsize_t extent[H5S_MAX_RANK] = {};
        if (H5Pget_chunk(create.id, rank, extent) != rank) return Failure(About(name, "data read error."));
        // Counted in floating point: the product of the counts may pass
        // 64 bits, and then no file holds them all.
        double expected = 1;
        for (int d = 0; d < rank; ++d) {
            if (extent[d] == 0) return Failure(About(name, "data read error."));
            expected *= static_cast<double>((dims[d] + extent[d] - 1) / extent[d]);
        }
        // HDF5 1.10 wants the dataset's own dataspace here, not H5S_ALL.
        hsize_t present = 0;
        if (H5Dget_num_chunks(data, space, &present) < 0 || static_cast<double>(present) != expected)
            return Failure(About(name, "data read error."));
        for (int d = 0; d < rank && d < 3; ++d) chunk[d] = extent[d];
    } else if (layout == H5D_CONTIGUOUS) {
        haddr_t at = H5Dget_offset(data);
        hsize_t bytes = H5Dget_storage_size(data);
        hsize_t size = 0;
        if (at == HADDR_UNDEF || H5Fget_filesize(file, &size) < 0 || at > size || size - at < bytes)
            return Failure(About(name, "data read error."));
    }
    return Success();
}

// The bytes of `row_chunks` chunks down and all chunks across.
double ChunkSetBytes(const H5Images &images, long long row_chunks) {
    long long columns = images.chunk_columns;
    long long column_chunks = (images.columns + columns - 1) / columns;
    return static_cast<double>(row_chunks) * static_cast<double>(column_chunks) *
           static_cast<double>(images.chunk_images) * static_cast<double>(images.chunk_rows) *
           static_cast<double>(columns) * images.sample_bytes;
}

// Opens a dataset whose chunk cache holds `cache_bytes` (HDF5's default
// cache when 0). HDF5 keeps one chunk per slot of its hash table: with
// fewer than about two slots per chunk, chunks of one image's rows would
// share a slot and evict each other.
hid_t OpenDataset(hid_t file, const H5Images &images, double cache_bytes) {
    H5Id access(H5Pcreate(H5P_DATASET_ACCESS));
    if (!access.ok()) return -1;
    if (cache_bytes > 0) {
        double chunk_bytes = static_cast<double>(images.chunk_images) * static_cast<double>(images.chunk_rows) *
                             static_cast<double>(images.chunk_columns) * images.sample_bytes;
        double slots = 4 * std::ceil(cache_bytes / chunk_bytes) + 1;
        // A chunk read in full is the first to leave (w0 = 1): a band is
        // done with it.
        if (H5Pset_chunk_cache(access.id, static_cast<std::size_t>(slots < 521 ? 521 : slots),
                               static_cast<std::size_t>(cache_bytes), 1.0) < 0)
            return -1;
    }
    return H5Dopen2(file, images.dataset, access.id);
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

// Calls read(data, space) on the dataset opened with the chunk cache that
// rows [first, first + count) need; fails with the file's read error.
template <typename Read>
Status WithDataset(const H5Images &images, int first, int count, Read &&read) {
    H5Id f(OpenFile(images.file));
    H5Id data(f.ok() ? OpenDataset(f.id, images, H5ChunkBytes(images, first, count)) : -1);
    H5Id space(data.ok() ? H5Dget_space(data.id) : -1);
    if (!space.ok() || !read(data.id, space.id)) return Failure(About(images.file, "data read error."));
    return Success();
}

}  // namespace

Status CheckH5Storage(hid_t file, hid_t data, const char *name) {
    H5Id space(H5Dget_space(data));
    if (!space.ok()) return Failure(About(name, "data read error."));
    hsize_t chunk[3];
    return CheckStorage(file, data, space.id, name, chunk);
}

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
    hsize_t chunk[3];
    Status stored = CheckStorage(f.id, data.id, space.id, file, chunk);
    if (!stored.ok()) return stored;
    *images = H5Images{file,
                       dataset,
                       static_cast<int>(dims[0]),
                       static_cast<int>(dims[1]),
                       static_cast<int>(dims[2]),
                       static_cast<long long>(chunk[0]),
                       static_cast<long long>(chunk[1]),
                       static_cast<long long>(chunk[2]),
                       static_cast<int>(H5Tget_size(type.id))};
    return Success();
}

double H5ChunkBytes(const H5Images &images, int first, int count) {
    // Chunks of one image each are never read twice in a band: HDF5's own
    // small cache does.
    if (images.chunk_images <= 1 || count <= 0) return 0;
    long long rows = images.chunk_rows;
    return ChunkSetBytes(images, (first + static_cast<long long>(count) - 1) / rows - first / rows + 1);
}

double H5ChunkBytesAnyRows(const H5Images &images, int count) {
    if (images.chunk_images <= 1 || count <= 0) return 0;
    // Rows that start just before a chunk boundary touch one chunk more
    // than rows that start on one.
    long long rows = images.chunk_rows;
    long long row_chunks = (count - 1 + rows - 1) / rows + 1;
    long long all = (images.rows + rows - 1) / rows;
    return ChunkSetBytes(images, row_chunks < all ? row_chunks : all);
}

Status ReadH5Rows(const H5Images &images, int count_images, int first, int count, double *out,
                  std::size_t image_step, std::size_t row_step) {
    // The images in runs of one chunk's depth, the dataset opened afresh
    // for each: HDF5 keeps the chunks a dataset read until it is closed,
    // beyond the cache's size, and a run needs only its own.
    long long run = images.chunk_images > 1 ? images.chunk_images : count_images;
    for (long long start = 0; start < count_images; start += run) {
        int end = static_cast<int>(start + run < count_images ? start + run : count_images);
        Status read = WithDataset(images, first, count, [&](hid_t data, hid_t space) {
            for (int k = static_cast<int>(start); k < end; ++k) {
                if (!ReadImageRows(data, space, k, first, count, images.columns,
                                   out + static_cast<std::size_t>(k) * image_step, row_step))
                    return false;
            }
            return true;
        });
        if (!read.ok()) return read;
    }
    return Success();
}

Status ReadH5Image(const H5Images &images, int k, double *out) {
    return WithDataset(images, 0, images.rows, [&](hid_t data, hid_t space) {
        return ReadImageRows(data, space, k, 0, images.rows, images.columns, out,
                             static_cast<std::size_t>(images.columns));
    });
}

Status MeanH5Rows(const H5Images &images, int first, int count, double *mean, double *page) {
    std::size_t samples = static_cast<std::size_t>(count) * static_cast<std::size_t>(images.columns);
    for (std::size_t i = 0; i < samples; ++i) mean[i] = 0;
    // One image at a time through `page`, added up in image order as the
    // TIFF reader does; in runs of one chunk's depth, as ReadH5Rows reads.
    long long run = images.chunk_images > 1 ? images.chunk_images : images.images;
    for (long long start = 0; start < images.images; start += run) {
        int end = static_cast<int>(start + run < images.images ? start + run : images.images);
        Status read = WithDataset(images, first, count, [&](hid_t data, hid_t space) {
            for (int k = static_cast<int>(start); k < end; ++k) {
                if (!ReadImageRows(data, space, k, first, count, images.columns, page,
                                   static_cast<std::size_t>(images.columns)))
                    return false;
                for (std::size_t i = 0; i < samples; ++i) mean[i] += page[i];
            }
            return true;
        });
        if (!read.ok()) return read;
    }
    for (std::size_t i = 0; i < samples; ++i) mean[i] /= images.images;
    return Success();
}

Status ReadH5Angles(const char *file, int views, std::vector<double> *degrees, bool *present) {
    QuietHdf5();
    *present = false;
    H5Id f(OpenFile(file));
    if (!f.ok()) return Failure(About(file, "data read error."));
    if (!PathExists(f.id, kH5Theta)) return Success();
    *present = true;
    Status bad = Failure(About(file, "bad /exchange/theta."));
    H5Id data(H5Dopen2(f.id, kH5Theta, H5P_DEFAULT));
    H5Id space(data.ok() ? H5Dget_space(data.id) : -1);
    H5Id type(data.ok() ? H5Dget_type(data.id) : -1);
    if (!space.ok() || !type.ok()) return bad;
    // A list of another length: said with the counts, as an angle list's.
    const hssize_t points = H5Sget_simple_extent_npoints(space.id);
    if (points != views && H5Sget_simple_extent_ndims(space.id) == 1 && points >= 0)
        return Failure(About(file, (std::to_string(points) + " angles in /exchange/theta for " + std::to_string(views) +
                                    " views.").c_str()));
    if (points != views) return bad;
    // One angle a view: a list, or a column or row of one (N x 1, 1 x N);
    // a table of N/2 x 2 holds as many numbers and is no list of angles.
    int rank = H5Sget_simple_extent_ndims(space.id);
    hsize_t dims[2] = {0, 0};
    if (rank < 1 || rank > 2 || H5Sget_simple_extent_dims(space.id, dims, nullptr) != rank ||
        (rank == 2 && dims[0] != 1 && dims[1] != 1))
        return bad;
    H5T_class_t kind = H5Tget_class(type.id);
    if (kind != H5T_INTEGER && kind != H5T_FLOAT) return bad;
    hsize_t chunk[3];
    if (!CheckStorage(f.id, data.id, space.id, file, chunk).ok()) return bad;
    degrees->assign(static_cast<std::size_t>(views), 0.0);
    if (H5Dread(data.id, H5T_NATIVE_DOUBLE, H5S_ALL, H5S_ALL, H5P_DEFAULT, degrees->data()) < 0) return bad;
    for (double angle : *degrees)
        if (!std::isfinite(angle)) return bad;
    return Success();
}

Status ThetaUnitArgument(const char *text, ThetaUnit *unit) {
    if (std::strcmp(text, "degrees") == 0)
        *unit = ThetaUnit::kDegrees;
    else if (std::strcmp(text, "radians") == 0)
        *unit = ThetaUnit::kRadians;
    else
        return Failure("bad angle unit (degrees or radians).");
    return Success();
}

bool ThetaInRadians(const char *file, const std::vector<double> &theta, ThetaUnit unit, FILE *warn, bool list) {
    if (unit != ThetaUnit::kTold) return unit == ThetaUnit::kRadians;
    std::string span;
    if (!RadiansSpan(theta.data(), static_cast<int>(theta.size()), &span)) return false;
    std::fprintf(warn, "warning: %s: %s read as radians (%s values %s); -u degrees reads them as degrees.\n", file,
                 list ? "the angles" : "/exchange/theta", list ? "their" : "its", span.c_str());
    return true;
}
