// Where the slices go, told from VOLUME's name: a multi-page float TIFF
// (".tif", ".tiff"), an HDF5 Data Exchange file (".h5"), or one image per
// row, named by a pattern with one "%d" (the detector row): a float TIFF
// of one page when the pattern ends in ".tif" or ".tiff", else the
// sinogram layout (a pattern ending in ".h5" is refused). Every file is written atomically (output.h): nothing
// that looks complete is left unless the whole run succeeded.
//
// The samples are floats, or unsigned integers over a range of values
// (volume_samples.h): a range given, or the percentiles of the whole
// volume, for which the float slices are held in a nameless temporary file
// beside the volume (held_slices.h) until the last is made. Every file
// carries the run's record (volume_record.h), finished when the volume
// is: a TIFF's description, an HDF5 volume's attributes; the sinogram
// layout has no place for one.
#pragma once

#include <set>
#include <string>
#include <utility>
#include <vector>

#include <sys/types.h>

#include "held_slices.h"
#include "pattern.h"
#include "status.h"
#include "volume_record.h"
#include "volume_samples.h"
#include "volume_hdf5.h"
#include "volume_tiff.h"

enum class VolumeKind { kTiff, kHdf5, kPattern, kBad };

// The kind of a volume name. A name holding '%' is a pattern or nothing;
// a name starting with '-' (standard output) is refused, since a volume is
// a file.
VolumeKind KindOfVolume(const char *name, NamePattern *pattern);

inline constexpr const char *kBadVolume = "bad volume name: .tif, .tiff, .h5, or a pattern with one %d.";
inline constexpr const char *kIntegersNeedTiff =
    "integer samples need a .tif, .tiff or .h5 volume (a pattern's images in the sinogram layout hold doubles).";

// Whether the volume's kind and name can hold integer samples.
bool HoldsIntegers(VolumeKind kind, const char *name);

// How the samples are stored.
struct VolumeStorage {
    SampleType type = SampleType::kFloat32;
    bool percentiles = false;  // the range: the 0.1 and 99.9 percentiles of the whole volume
    double lo = 0, hi = 0;     // the range (the percentiles once the volume is finished)
    bool as_stored = false;    // the slices hold the integers already (parts joined): kept as they are
    // A text of each page's own (a TIFF volume: page k's description for
    // k >= 1; page 0's description is the record, which takes page 0's
    // text as its member "page"). Empty: none, or those set on
    // volume->tiff.page_texts before BeginVolume.
    std::vector<std::string> page_texts;
};

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
    std::vector<char> tails;    // whether each still waits for its record
    OutputNames names;          // the files they replace, each once
    VolumeStorage storage;
    Record record;              // late values set by the caller before FinishVolume
    VolumeTiffLayout layout;    // of a pattern's TIFF images
    HeldSlices held;
    Percentiles percentiles;
    int rows = 0;
    std::vector<float> floats;           // a slice rounded to floats
    std::vector<unsigned char> samples;  // the same as stored
};

// The files a run reads (by device and inode), so that no output
// replaces one.
std::set<FileId> InputFiles(const std::vector<const char *> &names);

// The checks BeginVolume makes of a volume's name (not a pattern's), made
// before the work, so that a long axis search does not end on them: "<name>:
// output is an input.", "<name>: exists and is not a volume; give the
// volume a new name.", and "<name>: cannot create (No such file or
// directory)." (or "Not a directory") when its folder is not there.
Status CheckVolumeName(const char *name, VolumeKind kind, const std::set<FileId> &inputs);

// Opens the volume for `facts.rows` slices, stored as `storage` says, with
// the record (its late values, those known only at the end, already in it:
// the room a TIFF keeps for them follows). The record gains "type" and,
// for integers, "value_range". Fails with kIntegersNeedTiff, "<name>:
// output is an input.", "<name>: exists and is not a volume; give the
// volume a new name." (an existing regular file, or a pattern's file, that
// is not a volume the toolkit wrote: see IsVolumeTiff, IsVolumeHdf5; a
// pattern's file in the sinogram layout must be square), the temporary
// file's message (HoldSlicesBeside) or the writers' messages.
Status BeginVolume(const char *name, VolumeKind kind, const NamePattern &pattern, const VolumeFacts &facts,
                   const VolumeStorage &storage, Record record, std::set<FileId> inputs, Volume *volume);

// Writes slice `index` (0 first; detector row first_row + index).
Status WriteSlice(Volume *volume, int index, const double *image);

// Scales the held slices by the percentiles (then in volume->storage and
// the record), writes the records, and renames every file into place once
// all slices are written, all or none (CommitOutputSet).
Status FinishVolume(Volume *volume);

// Closes what a failed run left open (an HDF5 file, which the library
// would otherwise flush as the process ends); the failure path removes
// the files.
void CloseVolume(Volume *volume);
