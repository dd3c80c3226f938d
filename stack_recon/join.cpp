#include "join.h"

#include <cstddef>

#include "memory.h"

Status JoinParts(const std::vector<const char *> &parts, const char *name, VolumeKind kind,
                 const NamePattern &pattern, Volume *volume, int *slices, int *size) {
    // Every part is checked before anything is written.
    std::vector<VolumePart> opened(parts.size());
    std::vector<double> centers;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        Status status = OpenVolumePart(parts[i], &opened[i]);
        if (!status.ok()) return status;
        const VolumePart &first = opened[0], &part = opened[i];
        if (i > 0 && (part.size != first.size || part.theta != first.theta || part.pixel != first.pixel ||
                      part.first_row != opened[i - 1].first_row + opened[i - 1].rows || centers.size() > 0x7fffffffu - part.rows))
            return Failure(About(parts[i], "parts do not fit together."));
        centers.insert(centers.end(), part.centers.begin(), part.centers.end());
    }
    const VolumePart &first = opened[0];
    *slices = static_cast<int>(centers.size());
    *size = first.size;
    VolumeFacts facts{*slices, first.size, first.first_row, first.pixel, centers.data(), first.theta.data(),
                      static_cast<int>(first.theta.size())};
    Status status = BeginVolume(name, kind, pattern, facts, InputFiles(parts), volume);
    if (!status.ok()) return status;
    std::size_t bytes = static_cast<std::size_t>(first.size) * static_cast<std::size_t>(first.size) * sizeof(double);
    auto *image = static_cast<double *>(AllocateBlock(bytes));
    if (image == nullptr) return Failure("memory allocation error.");
    int index = 0;
    for (const VolumePart &part : opened)
        for (int k = 0; status.ok() && k < part.rows; ++k) {
            status = ReadVolumePartSlice(part, k, image);
            if (status.ok()) status = WriteSlice(volume, index++, image);
        }
    ReleaseBlock(image, bytes);
    if (status.ok()) status = FinishVolume(volume);
    if (!status.ok()) CloseVolume(volume);
    return status;
}
