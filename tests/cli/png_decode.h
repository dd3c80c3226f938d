// Decoding the PNGs the toolkit writes, for tests.
#pragma once

#include <string>
#include <vector>

struct GreyImage {
    bool ok;  // false when the bytes are not a PNG libpng can decode
    int width, height;
    int bit_depth, color_type;
    std::vector<unsigned char> pixels;  // row by row, one byte per pixel
};

GreyImage DecodePng(const std::string &bytes);
