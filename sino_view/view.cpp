#include "view.h"

#include <cmath>
#include <csetjmp>

#include <png.h>

#include "args.h"
#include "memory.h"

namespace {

// libpng reports its failures here and expects no return: the long jump
// goes back to WritePng, which reports the failure from C++ code, never
// from inside the encoder.
[[noreturn]] void PngFailure(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void PngWarning(png_structp, png_const_charp) {}

}  // namespace

Status WindowArguments(const char *lo, const char *hi, Window *window) {
    *window = Window{0, 0};
    Status read = StrictReal(lo, "bad window.", &window->lo);
    if (read.ok()) read = StrictReal(hi, "bad window.", &window->hi);
    if (!read.ok()) return read;
    if (!std::isfinite(window->lo) || !std::isfinite(window->hi) || !(window->hi > window->lo))
        return Failure("bad window.");
    return Success();
}

Window SampleWindow(const double *samples, std::size_t count) {
    Window window{0, 0};
    bool found = false;
    for (std::size_t s = 0; s < count; ++s) {
        double x = samples[s];
        if (!std::isfinite(x)) continue;
        if (!found || x < window.lo) window.lo = x;
        if (!found || x > window.hi) window.hi = x;
        found = true;
    }
    return window;
}

unsigned char GreyLevel(double sample, Window window) {
    if (!std::isfinite(sample)) return 0;
    if (!(window.hi > window.lo)) return 128;
    if (sample <= window.lo) return 0;
    if (sample >= window.hi) return 255;
    // Halved first, so that a window as wide as the double range does not
    // overflow to an infinite width.
    double t = (sample / 2 - window.lo / 2) / (window.hi / 2 - window.lo / 2);
    double level = std::floor(t * 255 + 0.5);
    return static_cast<unsigned char>(level < 0 ? 0 : level > 255 ? 255 : level);
}

Status WritePng(FILE *out, const double *samples, int columns, int rows, Window window, const char *write_failure) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, PngFailure, PngWarning);
    png_infop info = png == nullptr ? nullptr : png_create_info_struct(png);
    unsigned char *row = static_cast<unsigned char *>(AllocateArray(static_cast<std::size_t>(columns), 1));
    if (info == nullptr || row == nullptr) {
        png_destroy_write_struct(&png, &info);
        ReleaseArray(row);
        return Failure("memory allocation error.");
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        ReleaseArray(row);
        return Failure(write_failure);
    }
    png_init_io(png, out);
    png_set_IHDR(png, info, static_cast<png_uint_32>(columns), static_cast<png_uint_32>(rows), 8,
                 PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int k = 0; k < rows; ++k) {
        const double *view = samples + static_cast<std::size_t>(k) * columns;
        for (int i = 0; i < columns; ++i) row[i] = GreyLevel(view[i], window);
        png_write_row(png, row);
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    ReleaseArray(row);
    return Success();
}
