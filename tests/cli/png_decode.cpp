#include "png_decode.h"

#include <csetjmp>
#include <cstring>

#include <png.h>

namespace {

struct Reader {
    const std::string *bytes;
    std::size_t at;
};

void ReadFromString(png_structp png, png_bytep data, png_size_t length) {
    Reader *reader = static_cast<Reader *>(png_get_io_ptr(png));
    if (reader->bytes->size() - reader->at < length) png_error(png, "truncated");
    std::memcpy(data, reader->bytes->data() + reader->at, length);
    reader->at += length;
}

}  // namespace

GreyImage DecodePng(const std::string &bytes) {
    GreyImage image{false, 0, 0, 0, 0, {}};
    if (bytes.size() < 8 || png_sig_cmp(reinterpret_cast<png_const_bytep>(bytes.data()), 0, 8) != 0) return image;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    Reader reader{&bytes, 0};
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        image.ok = false;
        return image;
    }
    png_set_read_fn(png, &reader, ReadFromString);
    png_read_info(png, info);
    image.width = static_cast<int>(png_get_image_width(png, info));
    image.height = static_cast<int>(png_get_image_height(png, info));
    image.bit_depth = png_get_bit_depth(png, info);
    image.color_type = png_get_color_type(png, info);
    std::size_t stride = png_get_rowbytes(png, info);
    image.pixels.resize(stride * static_cast<std::size_t>(image.height));
    for (int r = 0; r < image.height; ++r) png_read_row(png, image.pixels.data() + stride * r, nullptr);
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    image.ok = true;
    return image;
}
