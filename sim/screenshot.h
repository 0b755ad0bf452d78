// Screenshots: the display's pixels as a PNG file.
#pragma once

#include "simhost/display.h"

#include <cstdint>
#include <string>
#include <vector>

namespace lbw::sim {

// An image of 3 bytes a pixel (red, green, blue), rows top to bottom without gaps.
struct RgbImage {
    uint32_t width = 0, height = 0;
    std::vector<uint8_t> rgb;
};

// The display as it is now, each field rescaled to 8 bits.
RgbImage capture_display(const simhost::DisplayService &display);

// Writes `image` as a PNG at `path`, through a temporary file in the same folder that
// then replaces `path`, so a reader never finds half a file. False with `error` set
// when it cannot.
bool write_png(const std::string &path, const RgbImage &image, std::string &error);

// `path` with a number before its extension: ("shot.png", 12) -> "shot-0012.png".
std::string numbered_path(const std::string &path, uint64_t number);

} // namespace lbw::sim
