// Presenting a window on the host's display: background, the window scaled to fit and
// centred, and the pointer as a small diamond on top. Display memory is written
// directly; the display is described afresh by the host on every present.
#include "host/program_api.h"
#include "window/window.h"

#include <string.h>

namespace lm {

namespace {

// Display pixels need not be 4-byte aligned (the host chooses base and pitch).
typedef uint32_t display_word __attribute__((aligned(1), may_alias));

void store_pixel(const DisplayFramebuffer &display, uint64_t column, uint64_t row, uint32_t word) {
    *reinterpret_cast<display_word *>(display.base + row * display.pitch + column * 4) = word;
}

uint64_t at_least_one(uint64_t value) {
    return value < 2 ? 1 : value;
}

int32_t clamp_into(int32_t value, int32_t size) {
    if (value < 0)
        return 0;
    return value > size - 1 ? size - 1 : value;
}

struct Rectangle {
    uint64_t x, y, width, height;
};

// The largest rectangle with the window's proportions that fits the display, centred.
Rectangle target_rectangle(uint64_t window_width, uint64_t window_height, const DisplayFramebuffer &display) {
    Rectangle target;
    uint64_t tall = at_least_one(window_height * display.width / window_width);
    if (tall <= display.height) {
        target.width = display.width;
        target.height = tall;
    } else {
        target.width = at_least_one(window_width * display.height / window_height);
        target.height = display.height;
    }
    target.x = (display.width - target.width) / 2;
    target.y = (display.height - target.height) / 2;
    return target;
}

void draw_pointer(const BaremetalWindow &window, const Rectangle &target, const DisplayFramebuffer &display) {
    if (window.pointerWidth <= 0 || window.pointerHeight <= 0)
        return;
    const uint64_t cx = static_cast<uint64_t>(clamp_into(window.mouseX, window.pointerWidth));
    const uint64_t cy = static_cast<uint64_t>(clamp_into(window.mouseY, window.pointerHeight));
    const int64_t px = static_cast<int64_t>(target.x + target.width * cx / static_cast<uint64_t>(window.pointerWidth));
    const int64_t py = static_cast<int64_t>(target.y + target.height * cy / static_cast<uint64_t>(window.pointerHeight));

    const uint32_t outline = packFramebufferPixel(display, 0, 0, 0);
    uint32_t fill;
    if (window.mouseButtons[0])
        fill = packFramebufferPixel(display, 255, 60, 60);
    else if (window.mouseButtons[1])
        fill = packFramebufferPixel(display, 60, 255, 60);
    else if (window.mouseButtons[2])
        fill = packFramebufferPixel(display, 80, 130, 255);
    else
        fill = packFramebufferPixel(display, 255, 255, 255);

    // A diamond of radius 7: 61 fill pixels inside a 2-pixel outline of 52. What falls
    // off the display is clipped.
    for (int64_t dy = -7; dy <= 7; ++dy) {
        for (int64_t dx = -7; dx <= 7; ++dx) {
            const int64_t distance = (dx < 0 ? -dx : dx) + (dy < 0 ? -dy : dy);
            const int64_t column = px + dx;
            const int64_t row = py + dy;
            if (distance > 7 || column < 0 || row < 0 || column >= display.width || row >= display.height)
                continue;
            store_pixel(display, static_cast<uint64_t>(column), static_cast<uint64_t>(row),
                        distance >= 6 ? outline : fill);
        }
    }
}

} // namespace

bool queryDisplayFramebuffer(DisplayFramebuffer *display) {
    // Cleared before every query: nothing of an earlier answer survives into the next.
    static LmBaremetalProgramFramebufferInfo info;
    memset(&info, 0, sizeof info);
    auto query = host_entry<uint32_t (*)(LmBaremetalProgramFramebufferInfo *)>(LM_ENTRY_QUERY_FRAMEBUFFER);
    if (!query || query(&info) == 0)
        return false;
    if (info.address == 0 || info.host_word == 0 || info.pitch == 0 || info.width == 0 || info.height == 0)
        return false;
    if (info.bits_per_pixel != 32 || info.red_size == 0 || info.green_size == 0 || info.blue_size == 0)
        return false;
    if (info.pitch / 4 < info.width)
        return false;
    display->base = info.address;
    display->hostWord = info.host_word;
    display->pitch = info.pitch;
    display->width = info.width;
    display->height = info.height;
    display->redSize = info.red_size;
    display->greenSize = info.green_size;
    display->blueSize = info.blue_size;
    display->redShift = info.red_shift;
    display->greenShift = info.green_shift;
    display->blueShift = info.blue_shift;
    return true;
}

void presentToDisplay(BaremetalWindow *window) {
    if (!window || window->width <= 0 || window->height <= 0)
        return;
    const uint64_t width = static_cast<uint64_t>(window->width);
    const uint64_t height = static_cast<uint64_t>(window->height);
    // Only a window rendered at its current size is read (an empty buffer was never
    // rendered).
    if (window->framebuffer.size != width * height * 4)
        return;
    DisplayFramebuffer display;
    if (!queryDisplayFramebuffer(&display))
        return;

    const uint32_t background = packFramebufferPixel(display, window->clearRed, window->clearGreen, window->clearBlue);
    for (uint64_t row = 0; row < display.height; ++row)
        for (uint64_t column = 0; column < display.width; ++column)
            store_pixel(display, column, row, background);

    const Rectangle target = target_rectangle(width, height, display);
    const unsigned char *pixels = window->framebuffer.data;
    for (uint64_t i = 0; i < target.height; ++i) {
        const uint64_t sy = height * i / target.height;
        for (uint64_t j = 0; j < target.width; ++j) {
            const uint64_t sx = width * j / target.width;
            const unsigned char *pixel = pixels + (sy * width + sx) * 4;
            store_pixel(display, target.x + j, target.y + i,
                        packFramebufferPixel(display, pixel[0], pixel[1], pixel[2]));
        }
    }

    draw_pointer(*window, target, display);
}

} // namespace lm
