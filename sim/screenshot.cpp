#include "sim/screenshot.h"

#include "simhost/display.h"

#include <png.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace lbw::sim {

RgbImage capture_display(const simhost::DisplayService &display) {
    RgbImage image;
    image.width = display.width();
    image.height = display.height();
    image.rgb.resize(uint64_t{image.width} * image.height * 3);
    uint8_t *out = image.rgb.data();
    for (uint32_t y = 0; y < image.height; y++)
        for (uint32_t x = 0; x < image.width; x++, out += 3)
            display.unpack(x, y, out);
    return image;
}

bool write_png(const std::string &path, const RgbImage &image, std::string &error) {
    std::string temp = path + ".part-" + std::to_string(getpid());
    std::FILE *file = std::fopen(temp.c_str(), "wb");
    if (!file) {
        error = "cannot create " + temp + ": " + std::strerror(errno);
        return false;
    }
    png_image png;
    std::memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    png.width = image.width;
    png.height = image.height;
    png.format = PNG_FORMAT_RGB;
    bool ok = png_image_write_to_stdio(&png, file, 0, image.rgb.data(), 0, nullptr);
    if (!ok)
        error = std::string("cannot encode the PNG: ") + png.message;
    png_image_free(&png);
    if (std::fclose(file) != 0 && ok) {
        error = "cannot write " + temp + ": " + std::strerror(errno);
        ok = false;
    }
    if (ok && std::rename(temp.c_str(), path.c_str()) != 0) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        ok = false;
    }
    if (!ok)
        std::remove(temp.c_str());
    return ok;
}

std::string numbered_path(const std::string &path, uint64_t number) {
    char digits[24];
    std::snprintf(digits, sizeof digits, "-%04llu", static_cast<unsigned long long>(number));
    size_t slash = path.rfind('/');
    size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash) || dot == slash + 1)
        return path + digits;
    return path.substr(0, dot) + digits + path.substr(dot);
}

} // namespace lbw::sim
