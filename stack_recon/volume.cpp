#include "volume.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

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
// and waiting with the others to be renamed. Its record follows when the
// volume is finished (`final`: it is already), except in a file written
// directly (not a regular file), which takes the record as it stands.
Status WriteTiffFile(Volume *volume, const std::string &name, const double *image, bool final) {
    VolumeTiff tiff{};
    Status written = BeginVolumeTiffLayout(name.c_str(), volume->layout, &tiff);
    if (!written.ok()) return written;
    volume->files.push_back(tiff.out);
    volume->tails.push_back(0);
    if (!NoteOutputName(tiff.out, &volume->names)) return Failure(About(name, "two outputs name this file."));
    written = image != nullptr ? WriteVolumeTiffSlice(&tiff, image) : WriteVolumeTiffSamples(&tiff, volume->samples.data());
    if (written.ok() && (final || tiff.out.temporary.empty()))
        written = WriteVolumeTiffTail(&tiff, RecordJson(volume->record));
    else
        volume->tails.back() = 1;
    if (written.ok()) written = CloseOutput(&volume->files.back(), tiff.failure.c_str());
    return written;
}

Status WriteImageFile(Volume *volume, int row, const double *image) {
    std::string name = PatternName(volume->pattern, row);
    if (IsInput(volume->inputs, name)) return Failure(About(name, "output is an input."));
    std::string failure = About(name, "data write error.");
    Output out;
    Status written = OpenOutput(name.c_str(), About(name, "file not open.").c_str(), &out);
    if (!written.ok()) return written;
    volume->files.push_back(out);
    volume->tails.push_back(0);
    Output &file = volume->files.back();
    if (!NoteOutputName(file, &volume->names)) return Failure(About(name, "two outputs name this file."));
    std::size_t bytes = static_cast<std::size_t>(volume->size) * static_cast<std::size_t>(volume->size) * sizeof(double);
    written = WriteCheckedHeader(file.stream, volume->size, volume->size, failure.c_str());
    if (written.ok()) written = WriteBlock(file.stream, image, bytes, failure.c_str());
    if (written.ok()) written = CloseOutput(&file, failure.c_str());
    return written;
}

// Writes slice `index` where the volume keeps it: a float image as the
// writers round it, else volume->samples.
Status StoreSlice(Volume *volume, int index, const double *image, bool final) {
    switch (volume->kind) {
        case VolumeKind::kTiff:
            return image != nullptr ? WriteVolumeTiffSlice(&volume->tiff, image)
                                    : WriteVolumeTiffSamples(&volume->tiff, volume->samples.data());
        case VolumeKind::kHdf5:
            return image != nullptr ? WriteVolumeHdf5Slice(&volume->h5, index, image)
                                    : WriteVolumeHdf5Samples(&volume->h5, index, volume->samples.data());
        default: {
            std::string name = PatternName(volume->pattern, volume->first_row + index);
            if (IsInput(volume->inputs, name)) return Failure(About(name, "output is an input."));
            return WriteTiffFile(volume, name, image, final);
        }
    }
}

// The percentiles of the held slices (a second pass over them), then every
// slice scaled and stored.
Status StoreHeldSlices(Volume *volume) {
    std::size_t count = volume->floats.size();
    ChooseBins(&volume->percentiles);
    Status status;
    for (int k = 0; status.ok() && k < volume->rows; ++k) {
        status = GetHeldSlice(volume->held, k, volume->floats.data());
        if (status.ok()) CountLower(&volume->percentiles, volume->floats.data(), count);
    }
    VolumeStorage &s = volume->storage;
    PercentileValues(volume->percentiles, &s.lo, &s.hi);
    SetReals(&volume->record, "value_range", {s.lo, s.hi}, true);
    for (int k = 0; status.ok() && k < volume->rows; ++k) {
        status = GetHeldSlice(volume->held, k, volume->floats.data());
        if (!status.ok()) break;
        MapSamples(volume->floats.data(), count, s.type, s.lo, s.hi, volume->samples.data());
        status = StoreSlice(volume, k, nullptr, true);
    }
    ReleaseHeldSlices(&volume->held);
    return status;
}

}  // namespace

bool HoldsIntegers(VolumeKind kind, const char *name) {
    return kind == VolumeKind::kTiff || kind == VolumeKind::kHdf5 || TiffName(name);
}

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

Status CheckVolumeName(const char *name, VolumeKind kind, const std::set<FileId> &inputs) {
    if (kind == VolumeKind::kPattern) return Success();
    if (IsInput(inputs, name)) return Failure(About(name, "output is an input."));
    Status kept = KeepOtherFile(name, kind);
    if (!kept.ok()) return kept;
    // The folder the volume goes into is there.
    std::string folder = name;
    std::size_t slash = folder.find_last_of('/');
    folder = slash == std::string::npos ? "." : slash == 0 ? "/" : folder.substr(0, slash);
    struct stat s;
    if (stat(folder.c_str(), &s) != 0 || !S_ISDIR(s.st_mode)) {
        const char *why = stat(folder.c_str(), &s) != 0 ? std::strerror(errno) : std::strerror(ENOTDIR);
        return Failure(About(name, ("cannot create (" + std::string(why) + ").").c_str()));
    }
    return Success();
}

Status BeginVolume(const char *name, VolumeKind kind, const NamePattern &pattern, const VolumeFacts &facts,
                   const VolumeStorage &storage, Record record, std::set<FileId> inputs, Volume *volume) {
    if (storage.type != SampleType::kFloat32 && !HoldsIntegers(kind, name)) return Failure(kIntegersNeedTiff);
    volume->kind = kind;
    volume->rows = facts.rows;
    volume->storage = storage;
    volume->record = std::move(record);
    SetText(&volume->record, "type", SampleTypeName(storage.type));
    // Joined parts' samples keep the range their record states.
    if (storage.type != SampleType::kFloat32 && !storage.as_stored) {
        SetReals(&volume->record, "value_range", {storage.lo, storage.hi}, storage.percentiles);
        SetText(&volume->record, "value_range_from", storage.percentiles ? "0.1 and 99.9 percentiles" : "-V");
    }
    // Integers need the slice as floats and as stored; floats go to the
    // writers as they are.
    std::size_t pixels = static_cast<std::size_t>(facts.size) * static_cast<std::size_t>(facts.size);
    try {
        if (storage.type != SampleType::kFloat32) {
            volume->floats.assign(pixels, 0.0f);
            volume->samples.assign(pixels * static_cast<std::size_t>(SampleBytes(storage.type)), 0);
        }
    } catch (const std::bad_alloc &) {
        return Failure("memory allocation error.");
    }
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
    VolumeTiffLayout layout;
    layout.pages = kind == VolumeKind::kTiff ? facts.rows : 1;
    layout.size = facts.size;
    layout.pixel = facts.pixel;
    layout.type = storage.type;
    // The pages' own texts, from the storage or set on the TIFF writer.
    const std::vector<std::string> &texts = storage.page_texts.empty() ? volume->tiff.page_texts : storage.page_texts;
    if (kind == VolumeKind::kTiff && !texts.empty()) {
        layout.page_texts = texts;
        if (!texts[0].empty()) SetText(&volume->record, "page", texts[0]);
    }
    layout.record_room = RecordJsonRoom(volume->record);
    volume->layout = layout;
    if (storage.percentiles) {
        std::string beside = kind == VolumeKind::kPattern ? PatternName(pattern, facts.first_row) : std::string(name);
        Status held = HoldSlicesBeside(beside, pixels, &volume->held);
        if (held.ok()) held = StartPercentiles(&volume->percentiles);
        if (!held.ok()) return held;
    }
    if (kind == VolumeKind::kTiff) return BeginVolumeTiffLayout(name, layout, &volume->tiff);
    if (kind == VolumeKind::kHdf5) {
        VolumeFacts typed = facts;
        typed.type = storage.type;
        return BeginVolumeHdf5(name, typed, &volume->h5);
    }
    return Success();
}

Status WriteSlice(Volume *volume, int index, const double *image) {
    // The sinogram layout keeps the doubles.
    if (volume->kind == VolumeKind::kPattern && !TiffName(volume->name))
        return WriteImageFile(volume, volume->first_row + index, image);
    if (volume->storage.type == SampleType::kFloat32) return StoreSlice(volume, index, image, false);
    std::size_t count = volume->floats.size();
    for (std::size_t i = 0; i < count; ++i) volume->floats[i] = static_cast<float>(image[i]);
    if (volume->storage.percentiles) {
        CountUpper(&volume->percentiles, volume->floats.data(), count);
        return PutHeldSlice(volume->held, index, volume->floats.data());
    }
    const VolumeStorage &s = volume->storage;
    if (s.as_stored)
        MapSamples(volume->floats.data(), count, s.type, 0, SampleMax(s.type), volume->samples.data());
    else
        MapSamples(volume->floats.data(), count, s.type, s.lo, s.hi, volume->samples.data());
    return StoreSlice(volume, index, nullptr, false);
}

Status FinishVolume(Volume *volume) {
    if (volume->storage.percentiles) {
        Status stored = StoreHeldSlices(volume);
        if (!stored.ok()) return stored;
    }
    std::string record = RecordJson(volume->record);
    if (volume->kind == VolumeKind::kTiff) {
        Status tail = WriteVolumeTiffTail(&volume->tiff, record);
        return tail.ok() ? FinishVolumeTiff(&volume->tiff) : tail;
    }
    if (volume->kind == VolumeKind::kHdf5) return FinishVolumeHdf5Record(&volume->h5, volume->record);
    for (std::size_t i = 0; i < volume->files.size(); ++i) {
        if (!volume->tails[i]) continue;
        const Output &file = volume->files[i];
        Status tail = AppendVolumeTiffTail(volume->layout, record, file.temporary,
                                           About(file.target, "data write error.").c_str());
        if (!tail.ok()) return tail;
    }
    return CommitOutputSet(volume->files.data(), volume->files.size(), "file not open.");
}

void CloseVolume(Volume *volume) {
    if (volume->kind == VolumeKind::kHdf5) CloseVolumeHdf5(&volume->h5);
    ReleaseHeldSlices(&volume->held);
}
