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

// An image in the window pixel layout, and the record that points at it.
struct TestImage {
    std::vector<uint8_t> bytes;
    BaremetalImage record{};

    TestImage(int width, int height, const std::function<std::array<uint8_t, 4>(int x, int y)> &pixel);
    const BaremetalImage *get() {
        record.pixels = bytes.data();
        return &record;
    }
};

// A distinct colour for every pixel of an image up to 4096 x 4096.
std::array<uint8_t, 4> pattern(int x, int y);

// What captureWindow returned, copied; the library's record and pixels are released.
struct Capture {
    bool valid = false;
    int width = 0, height = 0;
    std::vector<uint8_t> pixels;
    uint64_t reserved[2] = {1, 1};

    std::array<uint8_t, 4> at(int x, int y) const {
        const uint8_t *p = &pixels[(static_cast<size_t>(y) * width + x) * 4];
        return {p[0], p[1], p[2], p[3]};
    }
    Rgb rgb(int x, int y) const {
        auto p = at(x, y);
        return {p[0], p[1], p[2]};
    }
};

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
    // One pointer report with absolute coordinates (range 0: already in pointer space).
    void point_at(int x, int y, uint32_t buttons = 0);

    decltype(&::createWindow) createWindow = nullptr;
    decltype(&::destroyWindow) destroyWindow = nullptr;
    decltype(&::closeWindow) closeWindow = nullptr;
    decltype(&::windowShouldClose) windowShouldClose = nullptr;
    decltype(&::getWindowSize) getWindowSize = nullptr;
    decltype(&::setWindowSize) setWindowSize = nullptr;
    decltype(&::getWindowTitle) getWindowTitle = nullptr;
    decltype(&::setWindowTitle) setWindowTitle = nullptr;
    decltype(&::updateWindow) updateWindow = nullptr;
    decltype(&::pushImage) pushImage = nullptr;
    decltype(&::clearWindow) clearWindow = nullptr;
    decltype(&::captureWindow) captureWindow = nullptr;
    decltype(&::updateKeyboardState) updateKeyboardState = nullptr;
    decltype(&::consumeKeyboardState) consumeKeyboardState = nullptr;
    decltype(&::getMousePosition) getMousePosition = nullptr;
    decltype(&::getMouseButtonState) getMouseButtonState = nullptr;
    decltype(&::baremetal_load_raw_image) baremetal_load_raw_image = nullptr;
    decltype(&::baremetal_save_raw_image) baremetal_save_raw_image = nullptr;
    void (*free_)(void *) = nullptr;
};

// Every key flag the library exports.
extern const std::vector<std::string> kKeyFlags;

} // namespace lbw::test
