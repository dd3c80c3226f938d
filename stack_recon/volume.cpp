#include "volume.h"

#include <cstdio>
#include <cstring>

#include <sys/stat.h>

#include "output.h"
#include "sinogram.h"
#include "streams.h"

namespace {

bool EndsWith(const std::string &text, const char *end) {
    std::size_t n = std::strlen(end);
    return text.size() > n && text.compare(text.size() - n, n, end) == 0;
}

bool IsInput(const std::set<FileId> &inputs, const std::string &name) {
    struct stat s;
    return stat(name.c_str(), &s) == 0 && inputs.count({s.st_dev, s.st_ino}) != 0;
}

bool TiffName(const std::string &name) { return EndsWith(name, ".tif") || EndsWith(name, ".tiff"); }

// A slice of a pattern in the sinogram layout: a square image.
bool IsSliceFile(const std::string &name) {
    FILE *in = std::fopen(name.c_str(), "rb");
    if (in == nullptr) return false;
    int columns = 0, rows = 0;
    bool square = ReadSinogramHeader(in, &columns, &rows) && columns == rows;
    std::fclose(in);
    return square;
}

// A volume replaces only what a volume wrote: an existing regular file
// named for one that the toolkit did not write as a volume (a projection
// whose name took the volume's place on the command line) is refused.
// Names that are not regular files (a device, a FIFO) are written through
// as before.
Status KeepOtherFile(const std::string &name, VolumeKind kind) {
    struct stat s;
    if (stat(name.c_str(), &s) != 0 || !S_ISREG(s.st_mode)) return Success();
    bool volume = kind == VolumeKind::kHdf5 ? IsVolumeHdf5(name.c_str())
                  : TiffName(name)         ? IsVolumeTiff(name.c_str())
                                           : IsSliceFile(name);
    if (volume) return Success();
    return Failure(About(name, "exists and is not a volume; give the volume a new name."));
}

// A slice as a TIFF of one page, for a pattern named .tif or .tiff: closed
// and waiting with the others to be renamed.
Status WriteTiffFile(Volume *volume, const std::string &name, const double *image) {
    VolumeTiff tiff{};
    Status written = BeginVolumeTiff(name.c_str(), 1, volume->size, volume->pixel, &tiff);
    if (!written.ok()) return written;
    volume->files.push_back(tiff.out);
    if (!NoteOutputName(tiff.out, &volume->names)) return Failure(About(name, "two outputs name this file."));
    written = WriteVolumeTiffSlice(&tiff, image);
    if (written.ok()) written = CloseOutput(&volume->files.back(), tiff.failure.c_str());
    return written;
}

Status WriteImageFile(Volume *volume, int row, const double *image) {
    std::string name = PatternName(volume->pattern, row);
    if (IsInput(volume->inputs, name)) return Failure(About(name, "output is an input."));
    if (TiffName(volume->name)) return WriteTiffFile(volume, name, image);
    std::string failure = About(name, "data write error.");
    Output out;
    Status written = OpenOutput(name.c_str(), About(name, "file not open.").c_str(), &out);
    if (!written.ok()) return written;
    volume->files.push_back(out);
    Output &file = volume->files.back();
    if (!NoteOutputName(file, &volume->names)) return Failure(About(name, "two outputs name this file."));
    std::size_t bytes = static_cast<std::size_t>(volume->size) * static_cast<std::size_t>(volume->size) * sizeof(double);
    written = WriteCheckedHeader(file.stream, volume->size, volume->size, failure.c_str());
    if (written.ok()) written = WriteBlock(file.stream, image, bytes, failure.c_str());
    if (written.ok()) written = CloseOutput(&file, failure.c_str());
    return written;
}

}  // namespace

VolumeKind KindOfVolume(const char *name, NamePattern *pattern) {
    std::string text = name;
    if (text.empty() || IsStandardStream(name)) return VolumeKind::kBad;
    // A pattern's files are TIFF pages for a .tif name, the sinogram layout
    // otherwise; files of one slice named .h5 are refused.
    if (text.find('%') != std::string::npos)
        return ParsePattern(name, pattern) && !EndsWith(text, ".h5") ? VolumeKind::kPattern : VolumeKind::kBad;
    if (EndsWith(text, ".tif") || EndsWith(text, ".tiff")) return VolumeKind::kTiff;
    if (EndsWith(text, ".h5")) return VolumeKind::kHdf5;
    return VolumeKind::kBad;
}

std::set<FileId> InputFiles(const std::vector<const char *> &names) {
    std::set<FileId> files;
    for (const char *name : names) {
        struct stat s;
        if (stat(name, &s) == 0) files.insert({s.st_dev, s.st_ino});
    }
    return files;
}

Status BeginVolume(const char *name, VolumeKind kind, const NamePattern &pattern, const VolumeFacts &facts,
                   std::set<FileId> inputs, Volume *volume) {
    volume->kind = kind;
    volume->name = name;
    volume->pattern = pattern;
    volume->first_row = facts.first_row;
    volume->size = facts.size;
    volume->pixel = facts.pixel;
    volume->inputs = std::move(inputs);
    if (kind != VolumeKind::kPattern && IsInput(volume->inputs, name)) return Failure(About(name, "output is an input."));
    if (kind != VolumeKind::kPattern) {
        Status kept = KeepOtherFile(name, kind);
        if (!kept.ok()) return kept;
    }
    // Every file of a pattern is checked before the first slice is made.
    for (int k = 0; kind == VolumeKind::kPattern && k < facts.rows; ++k) {
        std::string file = PatternName(pattern, facts.first_row + k);
        if (IsInput(volume->inputs, file)) return Failure(About(file, "output is an input."));
        Status kept = KeepOtherFile(file, kind);
        if (!kept.ok()) return kept;
    }
    if (kind == VolumeKind::kTiff) return BeginVolumeTiff(name, facts.rows, facts.size, facts.pixel, &volume->tiff);
    if (kind == VolumeKind::kHdf5) return BeginVolumeHdf5(name, facts, &volume->h5);
    return Success();
}

Status WriteSlice(Volume *volume, int index, const double *image) {
    switch (volume->kind) {
        case VolumeKind::kTiff: return WriteVolumeTiffSlice(&volume->tiff, image);
        case VolumeKind::kHdf5: return WriteVolumeHdf5Slice(&volume->h5, index, image);
        default: return WriteImageFile(volume, volume->first_row + index, image);
    }
}

Status FinishVolume(Volume *volume) {
    if (volume->kind == VolumeKind::kTiff) return FinishVolumeTiff(&volume->tiff);
    if (volume->kind == VolumeKind::kHdf5) return FinishVolumeHdf5(&volume->h5);
    return CommitOutputSet(volume->files.data(), volume->files.size(), "file not open.");
}

void CloseVolume(Volume *volume) {
    if (volume->kind == VolumeKind::kHdf5) CloseVolumeHdf5(&volume->h5);
}
