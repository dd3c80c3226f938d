// A volume as an HDF5 file in the Data Exchange layout: /exchange/data
// holds the slices as rows x size x size 32-bit floats, chunked one slice
// per chunk (a viewer reads any slice with one chunk), uncompressed;
// beside it /exchange/center holds the rotation axis used for each slice
// (detector column, one per slice) and /exchange/theta the views' angles
// in degrees. /exchange/data carries the attributes "first_row" (the
// detector row of slice 0) and, with a pixel size, "pixel_size" (the
// voxel side in micrometres). The slices may be unsigned 8 or 16-bit
// integers instead (volume_samples.h), and a volume that records its run
// carries the record as attributes of /exchange/data too
// (volume_record.h), written when the volume is finished.
#pragma once

#include <string>
#include <vector>

#include <hdf5.h>

#include "output.h"
#include "status.h"
#include "volume_record.h"
#include "volume_samples.h"

// What is written beside the slices.
struct VolumeFacts {
    int rows, size;       // slices, and their side
    int first_row;        // detector row of slice 0
    double pixel;         // micrometres; 0 for none
    const double *centers;  // `rows` values
    const double *theta;    // `views` angles, degrees
    int views;
    SampleType type = SampleType::kFloat32;
};

// A volume being written.
struct VolumeHdf5 {
    Output out;
    hid_t file = -1, data = -1;
    int rows = 0, size = 0, written = 0;
    std::string failure;     // "<name>: data write error."
    std::vector<float> slice;
    SampleType type = SampleType::kFloat32;
};

// Whether a slice of size x size floats fits one HDF5 chunk (under 4 GiB).
bool SliceFitsChunk(int size);

// Creates the file (atomically, see output.h) with its datasets, centers
// and angles. Fails with "<name>: file not open.", "<name>: data write
// error." or "memory allocation error.".
Status BeginVolumeHdf5(const char *name, const VolumeFacts &facts, VolumeHdf5 *h5);

// Whether the file is a volume this toolkit wrote: an HDF5 file holding
// /exchange/data and /exchange/center (the centers, which only a volume
// records). A file that cannot be opened as HDF5 is not.
bool IsVolumeHdf5(const char *file);

// Writes slice `index` (size x size doubles, row 0 first), each sample
// rounded to the nearest float. Fails with "<name>: data write error.".
Status WriteVolumeHdf5Slice(VolumeHdf5 *h5, int index, const double *image);

// Writes slice `index` as stored (size * size * SampleBytes bytes,
// little-endian). Fails with "<name>: data write error.".
Status WriteVolumeHdf5Samples(VolumeHdf5 *h5, int index, const unsigned char *samples);

// Closes the file and renames it into place once every slice was written.
Status FinishVolumeHdf5(VolumeHdf5 *h5);

// The same, with the run's record written first as attributes of
// /exchange/data.
Status FinishVolumeHdf5Record(VolumeHdf5 *h5, const Record &record);

// Closes what is open; the caller's failure path removes the file.
void CloseVolumeHdf5(VolumeHdf5 *h5);

// Keeps the HDF5 library from closing its files itself when the process
// ends. A file whose write failed (a full disk) cannot be closed, and the
// library's attempt at exit crashes (HDF5 1.10): the process must end on
// its one line instead. Call before any other HDF5 function; files closed
// by the program are unaffected.
void KeepHdf5FromClosingAtExit();

// A volume written by BeginVolumeHdf5, read back: a part of a stack split
// between jobs, to be joined with the others.
struct VolumePart {
    std::string file;
    int rows, size, first_row;
    double pixel;  // 0 when none was recorded
    std::vector<double> centers, theta;
    SampleType type = SampleType::kFloat32;
    bool recorded = false;  // false for a volume written before volumes recorded their runs
    Record record;          // its attributes, when recorded
};

// Opens a part and reads what lies beside its slices. Fails with "<file>:
// file not found.", "<file>: not a volume." (no /exchange/data of
// rows x size x size floats, or 8 or 16-bit unsigned integers, with its
// centers; a record that cannot be read) or "<file>: data read error.".
Status OpenVolumePart(const char *file, VolumePart *part);

// Reads slice `index` of a part into `image` (size x size doubles).
// Fails with "<file>: data read error.".
Status ReadVolumePartSlice(const VolumePart &part, int index, double *image);
