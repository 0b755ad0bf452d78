// Pictures the tests compare (screenshots, screen dumps, golden images), as 8-bit RGB.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lbw::test {

struct Image {
    uint32_t width = 0, height = 0;
    std::vector<uint8_t> rgb; // 3 bytes a pixel, rows top to bottom
    bool ok() const { return width > 0 && rgb.size() == size_t{width} * height * 3; }
    // Pixel (x, y) as 0xRRGGBB.
    uint32_t at(uint32_t x, uint32_t y) const;
};

// A PNG file; an empty image when it cannot be read.
Image read_png(const std::string &path);

// Pixels that differ; -1 when either image is unreadable or the sizes differ.
long differing_pixels(const Image &a, const Image &b);

} // namespace lbw::test
