// Where the slices go, told from VOLUME's name: a multi-page float TIFF
// (".tif", ".tiff"), an HDF5 Data Exchange file (".h5"), or one image per
// row, named by a pattern with one "%d" (the detector row): a float TIFF
// of one page when the pattern ends in ".tif" or ".tiff", else the
// sinogram layout (a pattern ending in ".h5" is refused). Every file is written atomically (output.h): nothing
// that looks complete is left unless the whole run succeeded.
#pragma once

#include <set>
#include <string>
#include <utility>
#include <vector>

#include <sys/types.h>

#include "pattern.h"
#include "status.h"
#include "volume_hdf5.h"
#include "volume_tiff.h"

enum class VolumeKind { kTiff, kHdf5, kPattern, kBad };

// The kind of a volume name. A name holding '%' is a pattern or nothing;
// a name starting with '-' (standard output) is refused, since a volume is
// a file.
VolumeKind KindOfVolume(const char *name, NamePattern *pattern);

inline constexpr const char *kBadVolume = "bad volume name: .tif, .tiff, .h5, or a pattern with one %d.";

using FileId = std::pair<dev_t, ino_t>;

struct Volume {
    VolumeKind kind;
    std::string name;
    NamePattern pattern;
    int first_row, size;
    double pixel;  // micrometres, 0 for none
    std::set<FileId> inputs;  // files read, never to be replaced
    VolumeTiff tiff;
    VolumeHdf5 h5;
    std::vector<Output> files;  // pattern images written, to be renamed at the end
    OutputNames names;          // the files they replace, each once
};

// The files a run reads (by device and inode), so that no output
// replaces one.
std::set<FileId> InputFiles(const std::vector<const char *> &names);

// Opens the volume for `facts.rows` slices. Fails with "<name>: output is
// an input.", "<name>: exists and is not a volume; give the volume a new
// name." (an existing regular file, or a pattern's file, that is not a
// volume the toolkit wrote: see IsVolumeTiff, IsVolumeHdf5; a pattern's
// file in the sinogram layout must be square) or the writers' messages.
Status BeginVolume(const char *name, VolumeKind kind, const NamePattern &pattern, const VolumeFacts &facts,
                   std::set<FileId> inputs, Volume *volume);

// Writes slice `index` (0 first; detector row first_row + index).
Status WriteSlice(Volume *volume, int index, const double *image);

// Renames every file into place once all slices are written, all or none
// (CommitOutputSet).
Status FinishVolume(Volume *volume);

// Closes what a failed run left open (an HDF5 file, which the library
// would otherwise flush as the process ends); the failure path removes
// the files.
void CloseVolume(Volume *volume);
