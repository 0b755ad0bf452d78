// Shared by the window tests: the window API of the loaded library under its own names,
// and helpers to build images and read captures.
#pragma once

#include "libc/include/lorrinboot/window.h"
#include "simhost/display.h"
#include "simhost/images.h"
#include "simhost/input.h"
#include "tests/support/library_test.h"

#include <array>
#include <string>
#include <vector>

namespace lbw::test {

using Rgb = std::array<uint8_t, 3>;

// What captureWindow returned, copied; the library's record and pixels are released.
struct Capture {
    bool valid = false;
    int width = 0, height = 0;
    std::vector<uint8_t> pixels;
    uint64_t reserved[2] = {1, 1};

    Rgb rgb(int x, int y) const {
        const uint8_t *p = &pixels[(static_cast<size_t>(y) * width + x) * 4];
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
    void SetUp() override {
        LibraryTest::SetUp();
#define LBW_BIND(name) name = fn<std::remove_pointer_t<decltype(name)>>(#name);
        LBW_WINDOW_API(LBW_BIND)
#undef LBW_BIND
        free_ = fn<void(void *)>("free");
    }

    simhost::DisplayService &display() { return host().display(); }
    simhost::InputService &input() { return host().input(); }
    simhost::ImageDecoder &images() { return host().images(); }

    // The names of the key flags that are set, each with "=n" when it holds n > 1.
    std::vector<std::string> set_keys() {
        std::vector<std::string> names, flags = {"up", "down", "left", "right", "return", "back", "delete",
                                                 "space", "minus", "period"};
        for (char c : std::string("abcdefghijklmnopqrstuvwxyz0123456789"))
            flags.push_back(std::string(1, c));
        for (const std::string &flag : flags)
            if (unsigned value = var<unsigned char>(("key" + flag).c_str()))
                names.push_back("key" + flag + (value == 1 ? "" : "=" + std::to_string(value)));
        return names;
    }
    char &keylastchar() { return var<char>("keylastchar"); }

    Capture capture(BaremetalWindow *window) {
        Capture result;
        if (BaremetalImage *image = captureWindow(window)) {
            result = {true, image->width, image->height, {}, {image->reserved[0], image->reserved[1]}};
            result.pixels.assign(image->pixels, image->pixels + size_t{4} * image->width * image->height);
            free_(image->pixels);
            free_(image);
        }
        return result;
    }
    // getWindowTitle's copy as a string; the copy is released.
    std::string title(BaremetalWindow *window) {
        char *copy = getWindowTitle(window);
        std::string text = copy;
        free_(copy);
        return text;
    }
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
    void point_at(int x, int y, uint32_t buttons = 0) { report({LM_POINTER_ABSOLUTE, buttons, x, y, 0, 0, 0, 0}); }
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

} // namespace lbw::test
