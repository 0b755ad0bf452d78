#include "tests/support/images.h"

#include <png.h>

#include <cstring>

namespace lbw::test {

uint32_t Image::at(uint32_t x, uint32_t y) const {
    const uint8_t *p = &rgb[(size_t{y} * width + x) * 3];
    return uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2];
}

Image read_png(const std::string &path) {
    Image image;
    png_image png;
    std::memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&png, path.c_str()))
        return image;
    png.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(png));
    if (png_image_finish_read(&png, nullptr, rgb.data(), 0, nullptr))
        image = {png.width, png.height, std::move(rgb)};
    png_image_free(&png);
    return image;
}

long differing_pixels(const Image &a, const Image &b) {
    if (!a.ok() || !b.ok() || a.width != b.width || a.height != b.height)
        return -1;
    long differing = 0;
    for (size_t i = 0; i < a.rgb.size(); i += 3)
        differing += std::memcmp(&a.rgb[i], &b.rgb[i], 3) != 0;
    return differing;
}

} // namespace lbw::test
