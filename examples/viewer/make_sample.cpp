// Draws the viewer's sample picture, a small landscape, and writes it as a PNG: sky,
// sun, two hills and a checkered field, in integer arithmetic so that every build makes
// the same pixels.
#include <png.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr int kWidth = 240;
constexpr int kHeight = 180;

struct Rgb {
    uint8_t r, g, b;
};

Rgb pixel_at(int x, int y) {
    // Sun: a disc with a soft rim.
    int sx = x - 176, sy = y - 44, d2 = sx * sx + sy * sy;
    // Hills: two parabolas; the nearer one is darker.
    int far_hill = 104 + (x - 70) * (x - 70) / 90;
    int near_hill = 128 + (x - 190) * (x - 190) / 120;
    if (y >= 150) {
        bool light = ((x / 12) + (y / 6)) % 2 == 0;
        return light ? Rgb{196, 164, 92} : Rgb{168, 136, 70};
    }
    if (y >= near_hill)
        return Rgb{46, 122, 58};
    if (y >= far_hill)
        return Rgb{92, 160, 84};
    if (d2 <= 22 * 22 + 22)
        return Rgb{255, 214, 74};
    if (d2 <= 26 * 26 + 26)
        return Rgb{255, 190, 120};
    // Sky: deep blue at the top to pale at the horizon.
    return Rgb{static_cast<uint8_t>(70 + y), static_cast<uint8_t>(120 + y * 3 / 4), static_cast<uint8_t>(220 - y / 4)};
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_sample OUT.png\n");
        return 2;
    }
    std::vector<uint8_t> rgb(kWidth * kHeight * 3);
    for (int y = 0; y < kHeight; y++)
        for (int x = 0; x < kWidth; x++) {
            Rgb p = pixel_at(x, y);
            uint8_t *out = &rgb[(y * kWidth + x) * 3];
            out[0] = p.r;
            out[1] = p.g;
            out[2] = p.b;
        }
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = kWidth;
    image.height = kHeight;
    image.format = PNG_FORMAT_RGB;
    if (!png_image_write_to_file(&image, argv[1], 0, rgb.data(), 0, nullptr)) {
        std::fprintf(stderr, "make_sample: %s\n", image.message);
        return 1;
    }
    return 0;
}
