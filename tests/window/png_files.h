// Reading and writing PNG files for the tests (test images, golden images).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lbw::test {

struct PngImage {
    uint32_t width = 0, height = 0;
    std::vector<uint8_t> rgba; // 4 bytes a pixel, rows top to bottom
};

// Writes 8-bit RGBA (or RGB when `with_alpha` is false, dropping every fourth byte).
bool write_png(const std::string &path, const PngImage &image, bool with_alpha = true);
// Reads any PNG as 8-bit RGBA.
bool read_png(const std::string &path, PngImage &image);

} // namespace lbw::test
