// Presenting and rendering windows. updateWindow (input, present) of a window with a
// pushed image of its own size onto a 1920x1080 8-8-8 display, next to a plain memset of
// the same display memory (the floor for writing every display pixel once); the window
// does not change from frame to frame, so the update does not render it again.
// renderIntoFramebuffer through pushImage.
#include "bench/bench_library.h"

#include "libc/include/lorrinboot/window.h"
#include "simhost/display.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace lbw::bench {
namespace {

constexpr uint32_t kDisplayWidth = 1920;
constexpr uint32_t kDisplayHeight = 1080;

std::vector<unsigned char> pattern_image(int width, int height) {
    std::vector<unsigned char> pixels(static_cast<size_t>(width) * height * 4);
    for (size_t i = 0; i < pixels.size(); i++)
        pixels[i] = static_cast<unsigned char>(i * 7 + i / 4096);
    return pixels;
}

void update_window(benchmark::State &state, int width, int height) {
    simhost::Host::instance().display().set_mode(kDisplayWidth, kDisplayHeight, simhost::kLayoutRgb888);
    auto create = fn<decltype(::createWindow)>("createWindow");
    auto push = fn<decltype(::pushImage)>("pushImage");
    auto update = fn<decltype(::updateWindow)>("updateWindow");
    auto destroy = fn<decltype(::destroyWindow)>("destroyWindow");
    BaremetalWindow *window = create("bench", width, height);
    std::vector<unsigned char> pixels = pattern_image(width, height);
    BaremetalImage image{width, height, pixels.data(), {0, 0}};
    push(window, &image);
    for (auto _ : state) {
        update(window);
        benchmark::ClobberMemory();
    }
    destroy(window);
}

void display_memset(benchmark::State &state) {
    simhost::DisplayService &display = simhost::Host::instance().display();
    display.set_mode(kDisplayWidth, kDisplayHeight, simhost::kLayoutRgb888);
    auto *base = reinterpret_cast<unsigned char *>(static_cast<uintptr_t>(display.description.address));
    size_t bytes = static_cast<size_t>(display.pitch()) * display.height();
    for (auto _ : state) {
        std::memset(base, 0x40, bytes);
        benchmark::ClobberMemory();
    }
}

void push_image(benchmark::State &state, int width, int height, int image_width, int image_height) {
    auto create = fn<decltype(::createWindow)>("createWindow");
    auto push = fn<decltype(::pushImage)>("pushImage");
    auto destroy = fn<decltype(::destroyWindow)>("destroyWindow");
    BaremetalWindow *window = create("bench", width, height);
    std::vector<unsigned char> pixels = pattern_image(image_width, image_height);
    BaremetalImage image{image_width, image_height, pixels.data(), {0, 0}};
    for (auto _ : state) {
        push(window, &image);
        benchmark::ClobberMemory();
    }
    destroy(window);
}

BENCHMARK_CAPTURE(update_window, update_640x480_to_1920x1080_lib, 640, 480)->Unit(benchmark::kMicrosecond);
BENCHMARK(display_memset)->Name("update_window/update_640x480_to_1920x1080_memset")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(update_window, update_320x200_to_1920x1080_lib, 320, 200)->Unit(benchmark::kMicrosecond);
BENCHMARK(display_memset)->Name("update_window/update_320x200_to_1920x1080_memset")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(push_image, render_640x480_image_640x480_lib, 640, 480, 640, 480)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(push_image, render_640x480_image_100x100_lib, 640, 480, 100, 100)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace lbw::bench
