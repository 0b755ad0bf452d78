// Rendering a window's own pixels: placement and nearest-neighbour sampling of the pushed
// image, the background colour, and what pushImage, clearWindow and captureWindow do.
// Everything is observed through captureWindow, pixel by pixel.
#include "tests/window/window_test.h"

namespace lbw::test {
namespace {

using RenderTest = WindowTest;

Rgb rgb_of(std::array<uint8_t, 4> p) {
    return {p[0], p[1], p[2]};
}

// Checks every pixel of a capture: inside [x0, x0 + w) x [y0, y0 + h) it must be the
// image pixel that `sample` names, elsewhere the background.
void expect_placement(const Capture &c, Rgb background, int x0, int y0, int w, int h,
                      const std::function<std::pair<int, int>(int x, int y)> &sample) {
    int wrong = 0;
    for (int y = 0; y < c.height; ++y)
        for (int x = 0; x < c.width; ++x) {
            Rgb expected = background;
            if (x >= x0 && x < x0 + w && y >= y0 && y < y0 + h) {
                auto [sx, sy] = sample(x, y);
                expected = rgb_of(pattern(sx, sy));
            }
            if (c.rgb(x, y) != expected && ++wrong <= 5)
                ADD_FAILURE() << "pixel " << x << "," << y;
            if (c.at(x, y)[3] != 255 && ++wrong <= 5)
                ADD_FAILURE() << "alpha at " << x << "," << y;
        }
    EXPECT_EQ(wrong, 0);
}

TEST_F(RenderTest, HalfSizeImageFillsTheWindowInTwoByTwoBlocks) {
    BaremetalWindow *w = createWindow("t", 640, 480);
    TestImage image(320, 240, pattern);
    pushImage(w, image.get());
    Capture c = capture(w);
    ASSERT_TRUE(c.valid);
    ASSERT_EQ(c.width, 640);
    ASSERT_EQ(c.height, 480);
    expect_placement(c, {0, 0, 0}, 0, 0, 640, 480, [](int x, int y) { return std::pair{x / 2, y / 2}; });
}

TEST_F(RenderTest, SquareImageInAWideWindowIsPillarboxed) {
    BaremetalWindow *w = createWindow("t", 640, 480);
    clearWindow(w, 9, 8, 7);
    TestImage image(100, 100, pattern);
    pushImage(w, image.get());
    // s = 4.8: drawn 480 x 480 at 80, 0.
    Capture c = capture(w);
    expect_placement(c, {9, 8, 7}, 80, 0, 480, 480,
                     [](int x, int y) { return std::pair{(x - 80) * 100 / 480, y * 100 / 480}; });
    EXPECT_EQ(c.rgb(79, 200), (Rgb{9, 8, 7}));
    EXPECT_EQ(c.rgb(560, 200), (Rgb{9, 8, 7}));
}

TEST_F(RenderTest, WideImageInASquareWindowIsLetterboxed) {
    BaremetalWindow *w = createWindow("t", 100, 100);
    clearWindow(w, 1, 2, 3);
    TestImage image(300, 100, pattern);
    pushImage(w, image.get());
    // s = 1/3 in single precision: drawn 100 x 33 at 0, 33.
    Capture c = capture(w);
    expect_placement(c, {1, 2, 3}, 0, 33, 100, 33,
                     [](int x, int y) { return std::pair{x * 300 / 100, (y - 33) * 100 / 33}; });
    EXPECT_EQ(c.rgb(50, 32), (Rgb{1, 2, 3}));
    EXPECT_EQ(c.rgb(50, 66), (Rgb{1, 2, 3}));
}

TEST_F(RenderTest, DrawnSizeBelowOneBecomesOne) {
    BaremetalWindow *w = createWindow("t", 10, 10);
    TestImage image(1000, 1, pattern);
    pushImage(w, image.get());
    // dh truncates to 0 and becomes 1: a single row of samples in row 4.
    Capture c = capture(w);
    expect_placement(c, {0, 0, 0}, 0, 4, 10, 1, [](int x, int) { return std::pair{x * 100, 0}; });
}

TEST_F(RenderTest, UpscalingByOneAndAHalfSamplesNearestNeighbours) {
    BaremetalWindow *w = createWindow("t", 3, 3);
    TestImage image(2, 2, pattern);
    pushImage(w, image.get());
    Capture c = capture(w);
    const int source[3] = {0, 0, 1};
    expect_placement(c, {0, 0, 0}, 0, 0, 3, 3, [&](int x, int y) { return std::pair{source[x], source[y]}; });
}

TEST_F(RenderTest, SamplingProductsDoNotOverflowForWideImages) {
    // (x - ox) x imageWidth reaches 39999 x 70000, beyond 32 bits: formed in 64 bits, the
    // last column still samples image column 69998 instead of being clamped to column 0.
    BaremetalWindow *w = createWindow("t", 40000, 1);
    TestImage image(70000, 1, pattern);
    pushImage(w, image.get());
    Capture c = capture(w);
    ASSERT_TRUE(c.valid);
    expect_placement(c, {0, 0, 0}, 0, 0, 40000, 1,
                     [](int x, int) { return std::pair{static_cast<int>(int64_t{x} * 70000 / 40000), 0}; });
    EXPECT_EQ(c.rgb(39999, 0), rgb_of(pattern(69998, 0)));
}

TEST_F(RenderTest, ImageAlphaIsIgnoredAndCapturesAreOpaque) {
    BaremetalWindow *w = createWindow("t", 4, 4);
    TestImage image(1, 1, [](int, int) { return std::array<uint8_t, 4>{10, 20, 30, 0}; });
    pushImage(w, image.get());
    Capture c = capture(w);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(c.at(x, y), (std::array<uint8_t, 4>{10, 20, 30, 255}));
}

TEST_F(RenderTest, CaptureHoldsTheWindowAtItsOwnSize) {
    BaremetalWindow *w = createWindow("t", 4, 4);
    TestImage image(2, 2, pattern);
    pushImage(w, image.get());
    Capture c = capture(w);
    ASSERT_TRUE(c.valid);
    EXPECT_EQ(c.width, 4);
    EXPECT_EQ(c.height, 4);
    EXPECT_EQ(c.reserved[0], 0u);
    EXPECT_EQ(c.reserved[1], 0u);
    expect_placement(c, {0, 0, 0}, 0, 0, 4, 4, [](int x, int y) { return std::pair{x / 2, y / 2}; });
    // The record and its pixels came from the heap as two blocks the caller owns.
    auto &sizes = host().heap().malloc_sizes;
    ASSERT_GE(sizes.size(), 2u);
    EXPECT_EQ(sizes[sizes.size() - 2], sizeof(BaremetalImage));
    EXPECT_EQ(sizes.back(), 64u);
}

TEST_F(RenderTest, CaptureOfNoWindowIsNull) {
    EXPECT_EQ(captureWindow(nullptr), nullptr);
}

TEST_F(RenderTest, UnusablePushesKeepThePreviousImage) {
    BaremetalWindow *w = createWindow("t", 2, 2);
    TestImage first(1, 1, [](int, int) { return std::array<uint8_t, 4>{1, 1, 1, 1}; });
    pushImage(w, first.get());
    TestImage other(1, 1, [](int, int) { return std::array<uint8_t, 4>{200, 0, 0, 0}; });
    BaremetalImage zero_width = *other.get();
    zero_width.width = 0;
    BaremetalImage negative_height = *other.get();
    negative_height.height = -1;
    BaremetalImage no_pixels = *other.get();
    no_pixels.pixels = nullptr;
    pushImage(w, &zero_width);
    pushImage(w, &negative_height);
    pushImage(w, &no_pixels);
    pushImage(w, nullptr);
    pushImage(nullptr, other.get());
    EXPECT_EQ(capture(w).rgb(1, 1), (Rgb{1, 1, 1}));
    pushImage(w, other.get());
    EXPECT_EQ(capture(w).rgb(1, 1), (Rgb{200, 0, 0}));
}

TEST_F(RenderTest, PushedImageIsCopied) {
    BaremetalWindow *w = createWindow("t", 2, 2);
    TestImage image(1, 1, [](int, int) { return std::array<uint8_t, 4>{5, 6, 7, 8}; });
    pushImage(w, image.get());
    image.bytes[0] = 99;
    EXPECT_EQ(capture(w).rgb(0, 0), (Rgb{5, 6, 7}));
}

TEST_F(RenderTest, ClearWindowFillsAWindowWithoutImage) {
    BaremetalWindow *w = createWindow("t", 3, 2);
    clearWindow(w, 255, 0, 0);
    clearWindow(nullptr, 1, 2, 3);
    Capture c = capture(w);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(c.at(x, y), (std::array<uint8_t, 4>{255, 0, 0, 255}));
}

TEST_F(RenderTest, ClearWindowWithAnImageColoursTheBars) {
    BaremetalWindow *w = createWindow("t", 4, 2);
    TestImage image(1, 1, [](int, int) { return std::array<uint8_t, 4>{0, 0, 255, 255}; });
    pushImage(w, image.get());
    clearWindow(w, 255, 0, 0);
    // The image (drawn 2 x 2 at 1, 0) stays; the bars take the new colour.
    Capture c = capture(w);
    for (int y = 0; y < 2; ++y) {
        EXPECT_EQ(c.rgb(0, y), (Rgb{255, 0, 0}));
        EXPECT_EQ(c.rgb(1, y), (Rgb{0, 0, 255}));
        EXPECT_EQ(c.rgb(2, y), (Rgb{0, 0, 255}));
        EXPECT_EQ(c.rgb(3, y), (Rgb{255, 0, 0}));
    }
}

TEST_F(RenderTest, ReRenderingAtTheSameSizeDoesNotAllocate) {
    BaremetalWindow *w = createWindow("t", 8, 8);
    TestImage image(3, 3, pattern);
    pushImage(w, image.get());
    auto &heap = host().heap();
    size_t allocations = heap.malloc_sizes.size() + heap.realloc_sizes.size();
    updateWindow(w);
    updateWindow(w);
    clearWindow(w, 1, 2, 3);
    pushImage(w, image.get()); // same size: the image buffer is reused too
    EXPECT_EQ(heap.malloc_sizes.size() + heap.realloc_sizes.size(), allocations);
}

} // namespace
} // namespace lbw::test
