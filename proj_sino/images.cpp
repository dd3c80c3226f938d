#include "images.h"

#include <cstdio>

Images TiffImages(const std::vector<const char *> &names) {
    TiffStack stack = OpenTiffStack(names);
    return Images{false, stack, H5Images{}, stack.images, stack.rows, stack.columns};
}

bool Hdf5Images(const char *file, const char *dataset, Images *images) {
    H5Images h5;
    if (!OpenH5Images(file, dataset, &h5)) return false;
    *images = Images{true, TiffStack{}, h5, h5.images, h5.rows, h5.columns};
    return true;
}

bool IsHdf5File(const char *name) {
    FILE *file = std::fopen(name, "rb");
    if (file == nullptr) return false;
    unsigned char magic[8] = {};
    std::size_t got = std::fread(magic, 1, sizeof magic, file);
    std::fclose(file);
    return LooksLikeHdf5(magic, got);
}

std::string ReadRows(const Images &images, int count_images, int first, int count, double *out,
                     std::size_t image_step, std::size_t row_step) {
    if (images.hdf5) return ReadH5Rows(images.h5, count_images, first, count, out, image_step, row_step);
    return ReadStackRows(images.tiff, count_images, first, count, out, image_step, row_step);
}

std::string MeanRows(const Images &images, int first, int count, double *mean, double *page) {
    if (images.hdf5) return MeanH5Rows(images.h5, first, count, mean, page);
    return MeanStackRows(images.tiff, first, count, mean, page);
}
