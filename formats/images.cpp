#include "images.h"

#include "band.h"
#include "search.h"

Status TiffImages(const std::vector<const char *> &names, Images *images) {
    TiffStack stack;
    Status opened = OpenTiffStack(names, &stack);
    if (!opened.ok()) return opened;
    *images = Images{false, stack, H5Images{}, stack.images, stack.rows, stack.columns};
    return Success();
}

Status Hdf5Images(const char *file, const char *dataset, Images *images, bool *present) {
    H5Images h5;
    Status opened = OpenH5Images(file, dataset, &h5, present);
    if (!opened.ok() || !*present) return opened;
    *images = Images{true, TiffStack{}, h5, h5.images, h5.rows, h5.columns};
    return Success();
}

Status ReadRows(const Images &images, int count_images, int first, int count, double *out, std::size_t image_step,
                std::size_t row_step) {
    if (images.hdf5) return ReadH5Rows(images.h5, count_images, first, count, out, image_step, row_step);
    return ReadStackRows(images.tiff, count_images, first, count, out, image_step, row_step);
}

Status MeanRows(const Images &images, int first, int count, double *mean, double *page) {
    if (images.hdf5) return MeanH5Rows(images.h5, first, count, mean, page);
    return MeanStackRows(images.tiff, first, count, mean, page);
}

const char *ImageFile(const Images &images, int k) {
    if (images.hdf5) return images.h5.file;
    std::size_t f = 0;
    while (f + 1 < images.tiff.names.size() && k >= images.tiff.pages[f]) k -= images.tiff.pages[f++];
    return images.tiff.names[f];
}

double ReadCacheBytes(const Images &images, int count) {
    return images.hdf5 ? H5ChunkBytesAnyRows(images.h5, count) : 0;
}

int BandRowsWithCaches(double budget, int views, int columns, int rows, const std::vector<const Images *> &sets) {
    auto fits = [&](int band) {
        double bytes = BandRowBytes(views, columns) * band;
        for (const Images *set : sets)
            if (set != nullptr) bytes += ReadCacheBytes(*set, band);
        return bytes <= budget;
    };
    // The caches grow with the band, never shrink: the largest band that
    // fits is found by halving.
    return LargestThatHolds(BandRows(budget, views, columns, rows), fits);
}
