#include "tests/window/png_files.h"

#include <png.h>

#include <cstring>

namespace lbw::test {

bool write_png(const std::string &path, const PngImage &image, bool with_alpha) {
    png_image png;
    std::memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    png.width = image.width;
    png.height = image.height;
    png.format = with_alpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
    std::vector<uint8_t> rows;
    if (with_alpha) {
        rows = image.rgba;
    } else {
        for (size_t i = 0; i + 3 < image.rgba.size(); i += 4)
            rows.insert(rows.end(), image.rgba.begin() + i, image.rgba.begin() + i + 3);
    }
    bool ok = png_image_write_to_file(&png, path.c_str(), 0, rows.data(), 0, nullptr);
    png_image_free(&png);
    return ok;
}

bool read_png(const std::string &path, PngImage &image) {
    png_image png;
    std::memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&png, path.c_str()))
        return false;
    png.format = PNG_FORMAT_RGBA;
    image.width = png.width;
    image.height = png.height;
    image.rgba.assign(PNG_IMAGE_SIZE(png), 0);
    bool ok = png_image_finish_read(&png, nullptr, image.rgba.data(), 0, nullptr);
    png_image_free(&png);
    return ok;
}

} // namespace lbw::test
