#include "image_file.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include "images.h"
#include "kind.h"
#include "memory.h"
#include "streams.h"

namespace {

// "NAME:K": the name and K when K is a whole number of digits alone.
bool SplitIndex(const std::string &argument, std::string *name, long *index) {
    std::size_t colon = argument.rfind(':');
    if (colon == std::string::npos || colon + 1 == argument.size() || colon == 0) return false;
    const std::string digits = argument.substr(colon + 1);
    if (digits.find_first_not_of("0123456789") != std::string::npos || digits.size() > 9) return false;
    *name = argument.substr(0, colon);
    *index = std::strtol(digits.c_str(), nullptr, 10);
    return true;
}

Status OpenImages(const std::string &name, FileKind kind, Images *images) {
    if (kind == FileKind::kTiff) return TiffImages({name.c_str()}, images);
    bool present = false;
    Status opened = Hdf5Images(name.c_str(), "/exchange/data", images, &present);
    if (opened.ok() && !present) return Failure(About(name, "no /exchange/data."));
    return opened;
}

// The file an argument names, its kind and the image's index (-1: none).
FileKind Locate(const char *argument, std::string *name, long *index) {
    *name = argument;
    *index = -1;
    if (IsStandardStream(argument)) return FileKind::kUnknown;
    if (access(argument, F_OK) == 0) return KindOfFile(argument);
    FileKind kind = SplitIndex(argument, name, index) ? KindOfFile(name->c_str()) : FileKind::kUnknown;
    if (kind == FileKind::kUnknown) *name = argument, *index = -1;
    return kind;
}

}  // namespace

bool IsImageFile(const char *argument) {
    std::string name;
    long index = 0;
    return Locate(argument, &name, &index) != FileKind::kUnknown;
}

Status ReadImageFile(const char *argument, const std::string &prefix, Sinogram *image) {
    std::string name;
    long index = -1;
    FileKind kind = Locate(argument, &name, &index);
    if (kind == FileKind::kUnknown) return ReadSinogram(argument, prefix, image);

    // The readers keep pointers to `name`, which lives to the end.
    const std::string &kept = name;
    Images images;
    Status opened = OpenImages(kept, kind, &images);
    if (!opened.ok()) return opened;
    const std::string range = " (0 to " + std::to_string(images.images - 1) + ").";
    if (index < 0 && images.images > 1)
        return Failure(kept + ": " + std::to_string(images.images) + " images: name one as " + kept + ":K" + range);
    if (index >= images.images) return Failure(kept + ": no image " + std::to_string(index) + range);
    const int k = index < 0 ? 0 : static_cast<int>(index);
    std::size_t count = static_cast<std::size_t>(images.columns) * static_cast<std::size_t>(images.rows);
    *image = Sinogram{images.columns, images.rows, nullptr, count * sizeof(double)};
    image->samples = static_cast<double *>(AllocateBlock(image->bytes));
    if (image->samples == nullptr) return Failure("memory allocation error.");
    Status read = images.hdf5 ? ReadH5Image(images.h5, k, image->samples)
                              : ReadStackImage(images.tiff, k, image->samples);
    if (!read.ok()) ReleaseSinogram(image);
    return read;
}

Status ReadSinogramFile(const char *name, const std::string &prefix, Sinogram *sinogram) {
    struct stat about;
    bool regular = !IsStandardStream(name) && stat(name, &about) == 0 && S_ISREG(about.st_mode);
    if (regular && KindOfFile(name) != FileKind::kUnknown) return ReadImageFile(name, prefix, sinogram);
    return ReadSinogram(name, prefix, sinogram);
}
