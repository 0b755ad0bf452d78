// Shared by the window tests: the window API of the loaded library under its own names,
// and helpers to build images and read captures.
#pragma once

#include "libc/include/lorrinboot/window.h"
#include "simhost/display.h"
#include "simhost/images.h"
#include "simhost/input.h"
#include "tests/support/library_test.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace lbw::test {

using Rgb = std::array<uint8_t, 3>;
using Rgba = std::array<uint8_t, 4>;

// An image in the window pixel layout, and the record that points at it.
struct TestImage {
    std::vector<uint8_t> bytes;
    BaremetalImage record{};

    TestImage(int width, int height, const std::function<Rgba(int x, int y)> &pixel);
    const BaremetalImage *get() {
        record.pixels = bytes.data();
        return &record;
    }
};

// A distinct colour for every pixel of an image up to 4096 x 4096 (alpha 0); beyond, it
// repeats every 4096 columns or rows.
Rgba pattern(int x, int y);

// What captureWindow returned, copied; the library's record and pixels are released.
struct Capture {
    bool valid = false;
    int width = 0, height = 0;
    std::vector<uint8_t> pixels;
    uint64_t reserved[2] = {1, 1};

    Rgba at(int x, int y) const {
        const uint8_t *p = &pixels[(static_cast<size_t>(y) * width + x) * 4];
        return {p[0], p[1], p[2], p[3]};
    }
    Rgb rgb(int x, int y) const {
        auto p = at(x, y);
        return {p[0], p[1], p[2]};
    }
};

#define LBW_WINDOW_API(X)                                                                                            \
    X(createWindow) X(destroyWindow) X(closeWindow) X(windowShouldClose) X(getWindowSize) X(setWindowSize)         \
    X(getWindowTitle) X(setWindowTitle) X(updateWindow) X(pushImage) X(clearWindow) X(captureWindow)              \
    X(updateKeyboardState) X(consumeKeyboardState) X(getMousePosition) X(getMouseButtonState)                     \
    X(baremetal_load_raw_image) X(baremetal_save_raw_image) X(setTouchBarButtonText) X(setTouchBarButtonImage)    \
    X(clearTouchBar) X(getTouchBarButtonState)

class WindowTest : public LibraryTest {
protected:
    void SetUp() override;

    sim::DisplayService &display() { return host().display(); }
    sim::InputService &input() { return host().input(); }
    sim::ImageDecoder &images() { return host().images(); }

    unsigned char &key(const std::string &name) { return var<unsigned char>(name.c_str()); }
    char &keylastchar() { return var<char>("keylastchar"); }
    // The names of the key flags that are set.
    std::vector<std::string> set_keys();

    Capture capture(BaremetalWindow *window);
    // getWindowTitle's copy as a string; the copy is released.
    std::string title(BaremetalWindow *window);
    // Polls once with these key words queued.
    void press(std::initializer_list<uint32_t> words) {
        input().queue_keys(words);
        updateKeyboardState();
    }
    // Polls once with this pointer report queued.
    void report(const LmBaremetalProgramPointerState &state) {
        input().queue_pointer(state);
        updateKeyboardState();
    }
    // One pointer report with absolute coordinates (range 0: already in pointer space).
    void point_at(int x, int y, uint32_t buttons = 0) {
        report({LM_POINTER_ABSOLUTE, buttons, x, y, 0, 0, 0, 0});
    }
    std::pair<int, int> mouse(BaremetalWindow *window) {
        int x = -2, y = -2;
        getMousePosition(window, &x, &y);
        return {x, y};
    }
    std::pair<int, int> size(BaremetalWindow *window) {
        int width = -2, height = -2;
        getWindowSize(window, &width, &height);
        return {width, height};
    }

#define LBW_DECLARE(name) decltype(&::name) name = nullptr;
    LBW_WINDOW_API(LBW_DECLARE)
#undef LBW_DECLARE
    void (*free_)(void *) = nullptr;
};

// Every key flag the library exports.
extern const std::vector<std::string> kKeyFlags;

} // namespace lbw::test
