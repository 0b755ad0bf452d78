// Rendering a window's own pixels: placement and nearest-neighbour sampling of the pushed
// image, the background colour, and what pushImage, clearWindow and captureWindow do.
// Everything is observed through captureWindow, pixel by pixel.
#include "tests/window/window_test.h"

namespace lbw::test {
namespace {

using RenderTest = WindowTest;

TEST_F(RenderTest, ImagesAreScaledToFitAndCentred) {
    struct Case {
        int width, height, image_width, image_height;
        int64_t x0, y0, drawn_width, drawn_height; // the drawn image area
    };
    const Case cases[] = {
        {640, 480, 320, 240, 0, 0, 640, 480}, // s = 2: 2 x 2 blocks
        {640, 480, 100, 100, 80, 0, 480, 480}, // s = 4.8: pillarbox
        {100, 100, 300, 100, 0, 33, 100, 33},  // s = 1/3 in single precision: letterbox
        {10, 10, 1000, 1, 0, 4, 10, 1},       // dh truncates to 0 and becomes 1
        {3, 3, 2, 2, 0, 0, 3, 3},             // s = 1.5: columns 0, 0, 1
        // (x - ox) x imageWidth beyond 32 bits: formed in 64 bits, not clamped to column 0.
        {40000, 1, 70000, 1, 0, 0, 40000, 1},
        // s x imageWidth is 8402518 in single precision, one pixel wider than the window:
        // ox = -1 / 2 = 0 and the sampling divides by the drawn width.
        {8402517, 1, 16788160, 1, 0, 0, 8402518, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(::testing::Message() << c.width << "x" << c.height << " with " << c.image_width << "x"
                                          << c.image_height);
        BaremetalWindow *w = createWindow("t", c.width, c.height);
        clearWindow(w, 9, 8, 7);
        TestImage image(c.image_width, c.image_height, pattern); // alpha 0 everywhere
        pushImage(w, image.get());
        Capture capture_ = capture(w);
        ASSERT_EQ(capture_.width, c.width);
        ASSERT_EQ(capture_.height, c.height);
        int wrong = 0;
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x) {
                Rgba expected{9, 8, 7, 255};
                if (x >= c.x0 && x < c.x0 + c.drawn_width && y >= c.y0 && y < c.y0 + c.drawn_height) {
                    auto p = pattern(static_cast<int>((x - c.x0) * c.image_width / c.drawn_width),
                                     static_cast<int>((y - c.y0) * c.image_height / c.drawn_height));
                    expected = {p[0], p[1], p[2], 255};
                }
                if (capture_.at(x, y) != expected && ++wrong <= 3)
                    ADD_FAILURE() << "pixel " << x << "," << y;
            }
        EXPECT_EQ(wrong, 0);
        destroyWindow(w);
    }
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
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(c.at(x, y), (Rgba{uint8_t(x / 2), uint8_t(y / 2), 0, 255}));
    // The record and its pixels came from the heap as two blocks the caller owns.
    auto &sizes = host().heap().malloc_sizes;
    ASSERT_GE(sizes.size(), 2u);
    EXPECT_EQ(sizes[sizes.size() - 2], sizeof(BaremetalImage));
    EXPECT_EQ(sizes.back(), 64u);
}

TEST_F(RenderTest, UnusablePushesKeepThePreviousImageAndPushesAreCopies) {
    BaremetalWindow *w = createWindow("t", 2, 2);
    TestImage first(1, 1, [](int, int) { return Rgba{1, 1, 1, 1}; });
    pushImage(w, first.get());
    first.bytes[0] = 99;
    TestImage other(1, 1, [](int, int) { return Rgba{200, 0, 0, 0}; });
    BaremetalImage zero_width = *other.get(), negative_height = *other.get(), no_pixels = *other.get();
    zero_width.width = 0;
    negative_height.height = -1;
    no_pixels.pixels = nullptr;
    const BaremetalImage *unusable[] = {&zero_width, &negative_height, &no_pixels, nullptr};
    for (const BaremetalImage *image : unusable)
        pushImage(w, image);
    EXPECT_EQ(capture(w).rgb(1, 1), (Rgb{1, 1, 1}));
    pushImage(w, other.get());
    EXPECT_EQ(capture(w).rgb(1, 1), (Rgb{200, 0, 0}));
}

TEST_F(RenderTest, ClearWindowSetsTheBackground) {
    BaremetalWindow *w = createWindow("t", 4, 2);
    clearWindow(w, 255, 0, 0);
    Capture solid = capture(w);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(solid.at(x, y), (Rgba{255, 0, 0, 255}));
    // With an image (drawn 2 x 2 at 1, 0) the image stays and the bars take the colour.
    TestImage image(1, 1, [](int, int) { return Rgba{0, 0, 255, 255}; });
    pushImage(w, image.get());
    clearWindow(w, 0, 255, 0);
    Capture c = capture(w);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(c.rgb(x, y), (x == 0 || x == 3 ? Rgb{0, 255, 0} : Rgb{0, 0, 255}));
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
