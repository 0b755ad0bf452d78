// Rendering a window's own pixels, and packing 8-bit colours into display pixels.
#include "window/window.h"

namespace lm {

namespace {

// Where the pushed image lands in the window: scaled by one factor to the largest size
// that fits, centred.
struct ImageArea {
    bool present;
    int32_t x, y;
    int32_t width, height;
};

// A drawn size from its single-precision value: truncated, at least 1. It never exceeds
// the window (`limit`) for any size a float holds exactly; beyond that the clamp keeps
// the conversion defined.
int32_t drawn_size(float value, int32_t limit) {
    if (!(value < static_cast<float>(limit)))
        return limit;
    int32_t size = static_cast<int32_t>(value);
    return size < 2 ? 1 : size;
}

ImageArea place_image(const BaremetalWindow &window) {
    if (window.image.size == 0 || window.imageWidth <= 0 || window.imageHeight <= 0)
        return {};
    float width = static_cast<float>(window.width);
    float height = static_cast<float>(window.height);
    float image_width = static_cast<float>(window.imageWidth);
    float image_height = static_cast<float>(window.imageHeight);
    float scale_w = width / image_width;
    float scale_h = height / image_height;
    float scale = scale_h < scale_w ? scale_h : scale_w;
    ImageArea area;
    area.present = true;
    area.width = drawn_size(scale * image_width, window.width);
    area.height = drawn_size(image_height * scale, window.height);
    area.x = (window.width - area.width) / 2;
    area.y = (window.height - area.height) / 2;
    return area;
}

// Nearest-neighbour source index for `offset` pixels into a drawn span of `drawn`
// pixels showing `source` pixels. The product is formed in 64 bits so that large
// images cannot overflow it.
int32_t sample_index(int32_t offset, int32_t source, int32_t drawn) {
    int64_t index = static_cast<int64_t>(offset) * source / drawn;
    if (index < 0)
        return 0;
    return index >= source ? source - 1 : static_cast<int32_t>(index);
}

} // namespace

void renderIntoFramebuffer(BaremetalWindow *window) {
    if (!window || window->width <= 0 || window->height <= 0)
        return;
    const int32_t width = window->width;
    const int32_t height = window->height;
    // assign keeps the capacity: re-rendering at an unchanged size does not allocate.
    window->framebuffer.assign(static_cast<uint64_t>(width) * static_cast<uint64_t>(height) * 4, 0);
    const ImageArea area = place_image(*window);
    const unsigned char *image = window->image.data;
    unsigned char *out = window->framebuffer.data;

    for (int32_t y = 0; y < height; ++y) {
        const bool image_row = area.present && y >= area.y && y - area.y < area.height;
        const int32_t sy = image_row ? sample_index(y - area.y, window->imageHeight, area.height) : 0;
        for (int32_t x = 0; x < width; ++x, out += 4) {
            if (image_row && x >= area.x && x - area.x < area.width) {
                const int32_t sx = sample_index(x - area.x, window->imageWidth, area.width);
                const unsigned char *pixel =
                    image + (static_cast<uint64_t>(sy) * static_cast<uint64_t>(window->imageWidth) + sx) * 4;
                out[0] = pixel[0];
                out[1] = pixel[1];
                out[2] = pixel[2];
            } else {
                out[0] = window->clearRed;
                out[1] = window->clearGreen;
                out[2] = window->clearBlue;
            }
            // No transparency: the image's own fourth byte is never read.
            out[3] = 255;
        }
    }
}

uint32_t packComponent(uint8_t value, uint32_t size, uint32_t shift) {
    if (size == 0)
        return 0;
    const uint64_t mask = size >= 32 ? 0xFFFFFFFFu : (uint64_t{1} << size) - 1;
    // Rounded to nearest; in 64 bits, so that fields wider than 24 bits do not overflow.
    const uint32_t scaled = static_cast<uint32_t>((value * mask + 127) / 255);
    return scaled << (shift % 32);
}

uint32_t packFramebufferPixel(const DisplayFramebuffer &display, uint8_t red, uint8_t green, uint8_t blue) {
    return packComponent(red, display.redSize, display.redShift) |
           packComponent(green, display.greenSize, display.greenShift) |
           packComponent(blue, display.blueSize, display.blueShift);
}

} // namespace lm
