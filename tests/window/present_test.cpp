// Presenting: packing into the display's pixel layout, the scaled and centred target,
// the pointer diamond and its clipping, and the display described afresh on every
// present. Display memory belongs to the substitute host and is read word by word.
#include "tests/window/window_test.h"

#include <algorithm>
#include <cstdlib>

namespace lbw::test {
namespace {

using sim::kLayoutBgr888;
using sim::kLayoutRgb101010;
using sim::kLayoutRgb565;
using sim::kLayoutRgb888;
using sim::PixelLayout;

class PresentTest : public WindowTest {
protected:
    // A window whose every pixel is distinct.
    BaremetalWindow *identity_window(int width, int height) {
        BaremetalWindow *w = createWindow("t", width, height);
        pushImage(w, TestImage(width, height, pattern).get());
        return w;
    }

    // The word the display holds for window pixel (x, y) of the pattern.
    uint32_t pattern_word(int x, int y) {
        auto p = pattern(x, y);
        return display().pack(p[0], p[1], p[2]);
    }

    // Checks the whole display: `under(x, y)`, and on top the diamond centred at (px, py),
    // its fill up to distance 5 and its black outline at 6 and 7, clipped to the display.
    void expect_display(int64_t px, int64_t py, Rgb fill, const std::function<uint32_t(uint64_t x, uint64_t y)> &under) {
        int wrong = 0;
        for (uint32_t y = 0; y < display().height(); ++y)
            for (uint32_t x = 0; x < display().width(); ++x) {
                const int64_t d = std::abs(int64_t{x} - px) + std::abs(int64_t{y} - py);
                const uint32_t expected = d <= 5   ? display().pack(fill[0], fill[1], fill[2])
                                          : d <= 7 ? display().pack(0, 0, 0)
                                                   : under(x, y);
                if (display().pixel(x, y) != expected && ++wrong <= 5)
                    ADD_FAILURE() << "display pixel " << x << "," << y << " is " << std::hex << display().pixel(x, y)
                                  << ", expected " << expected;
            }
        EXPECT_EQ(wrong, 0);
        EXPECT_TRUE(display().guards_intact());
    }

    // How many display pixels differ from `word`.
    size_t pixels_other_than(uint32_t word) {
        size_t count = 0;
        for (uint32_t y = 0; y < display().height(); ++y)
            for (uint32_t x = 0; x < display().width(); ++x)
                count += display().pixel(x, y) != word;
        return count;
    }
};

TEST_F(PresentTest, WindowIsScaledToTheLargestCentredTarget) {
    struct Case {
        uint32_t display_width, display_height;
        int width, height;
        uint64_t x0, y0, target_width, target_height;
        int mouse_x, mouse_y;
        int64_t pointer_x, pointer_y; // where the diamond is centred
    };
    const Case cases[] = {
        {800, 600, 800, 600, 0, 0, 800, 600, 100, 50, 100, 50},        // one pixel to one
        {1024, 768, 320, 200, 0, 64, 1024, 640, 160, 100, 512, 384},   // t = 640: fills the width
        {1920, 1080, 640, 480, 240, 0, 1440, 1080, 320, 240, 960, 540}, // t = 1440 > 1080: the height
        {40, 20, 10, 10, 10, 0, 20, 20, 9, 9, 28, 18},                  // 10 + 20 x 9 / 10 = 28
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(::testing::Message() << c.width << "x" << c.height << " on " << c.display_width << "x"
                                          << c.display_height);
        display().set_mode(c.display_width, c.display_height);
        BaremetalWindow *w = identity_window(c.width, c.height);
        clearWindow(w, 70, 0, 90);
        point_at(c.mouse_x, c.mouse_y);
        updateWindow(w);
        const uint32_t bar = display().pack(70, 0, 90);
        expect_display(c.pointer_x, c.pointer_y, {255, 255, 255}, [&](uint64_t x, uint64_t y) {
            if (x < c.x0 || x >= c.x0 + c.target_width || y < c.y0 || y >= c.y0 + c.target_height)
                return bar;
            return pattern_word(static_cast<int>(c.width * (x - c.x0) / c.target_width),
                                static_cast<int>(c.height * (y - c.y0) / c.target_height));
        });
        destroyWindow(w);
    }
}

TEST_F(PresentTest, DisplayIsDescribedAfreshOnEveryPresent) {
    BaremetalWindow *w = createWindow("t", 4, 2);
    clearWindow(w, 255, 0, 0);
    updateWindow(w);
    EXPECT_EQ(display().pixel(0, 0), 0x00FF0000u);
    // A new mode between frames: other memory, size, pitch and layout.
    display().set_mode(16, 8, kLayoutBgr888, 16 * 4 + 12);
    updateWindow(w);
    EXPECT_EQ(display().queries, 3u);
    EXPECT_EQ(display().pixel(0, 0), 0x000000FFu);
    EXPECT_EQ(display().pixel(15, 7), 0x000000FFu);
    EXPECT_TRUE(display().guards_intact());
}

TEST_F(PresentTest, PackingFollowsTheDisplaysLayout) {
    struct Case {
        PixelLayout layout;
        Rgb colour;
        uint32_t word;
    };
    const Case cases[] = {
        {kLayoutRgb888, {0x12, 0x34, 0x56}, 0x00123456},
        {kLayoutBgr888, {0x12, 0x34, 0x56}, 0x00563412},
        {kLayoutRgb565, {255, 255, 255}, 0xFFFF},
        {kLayoutRgb565, {128, 128, 128}, (16u << 11) | (32u << 5) | 16u},
        {kLayoutRgb101010, {255, 128, 1}, (1023u << 20) | (514u << 10) | 4u},
        // One-bit fields: 1 from 128 upward.
        {{1, 0, 1, 1, 1, 2}, {127, 128, 255}, 0b110},
        // A shift of 32 acts as a shift of 0.
        {{8, 32, 8, 8, 8, 16}, {0x12, 0x34, 0x56}, 0x00563412},
        // Fields wider than 24 bits: the rescaling is formed in 64 bits.
        {{30, 0, 1, 30, 1, 31}, {128, 0, 255}, 538976288u | (1u << 31)},
        {{32, 0, 1, 0, 1, 0}, {1, 0, 0}, 0x01010101u},
        {{32, 0, 1, 0, 1, 0}, {255, 0, 0}, 0xFFFFFFFFu},
    };
    for (const Case &c : cases) {
        display().set_mode(8, 8, c.layout);
        BaremetalWindow *w = createWindow("t", 8, 8);
        clearWindow(w, c.colour[0], c.colour[1], c.colour[2]);
        point_at(7, 7);
        updateWindow(w);
        EXPECT_EQ(display().pixel(0, 0), c.word) << std::hex << c.word;
        destroyWindow(w);
    }
}

TEST_F(PresentTest, PointerIsADiamondColouredByButtonAndClippedAtEveryEdge) {
    display().set_mode(30, 20);
    BaremetalWindow *w = createWindow("t", 30, 20);
    clearWindow(w, 0, 0, 255);
    const uint32_t background = display().pack(0, 0, 255);
    struct Case {
        int x, y;
        uint32_t buttons;
        Rgb fill;
        size_t drawn;
    };
    const Rgb white{255, 255, 255}, red{255, 60, 60}, green{60, 255, 60}, blue{80, 130, 255};
    // Button 0 wins over 1, and 1 over 2. A half diamond keeps 64 pixels, a quarter at a
    // corner 36; two columns from the edge, the five columns beyond it (25 pixels) are lost.
    const Case cases[] = {
        {15, 10, 0, white, 113}, {15, 10, 1, red, 113},   {15, 10, 2, green, 113}, {15, 10, 4, blue, 113},
        {15, 10, 7, red, 113},   {15, 10, 6, green, 113}, {15, 10, 5, red, 113},   {0, 10, 0, white, 64},
        {29, 10, 0, white, 64},  {15, 0, 0, white, 64},   {15, 19, 0, white, 64},  {0, 0, 0, white, 36},
        {29, 0, 0, white, 36},   {0, 19, 0, white, 36},   {29, 19, 0, white, 36},  {2, 10, 0, white, 113 - 25},
        {-50, 10, 0, white, 64}, {100, 100, 0, white, 36},
    };
    for (const Case &c : cases) {
        display().fill(0x00777777);
        point_at(c.x, c.y, c.buttons);
        updateWindow(w);
        EXPECT_EQ(pixels_other_than(background), c.drawn) << c.x << "," << c.y;
        if (c.drawn == 113) // 61 of fill inside an outline of 52
            EXPECT_EQ(30 * 20 - pixels_other_than(display().pack(c.fill[0], c.fill[1], c.fill[2])), 61u);
        int64_t px = std::clamp(c.x, 0, 29), py = std::clamp(c.y, 0, 19);
        expect_display(px, py, c.fill, [&](uint64_t, uint64_t) { return background; });
    }
}

TEST_F(PresentTest, UnusableDescriptionsDrawNothing) {
    const std::vector<std::pair<const char *, std::function<void(LmBaremetalProgramFramebufferInfo &)>>> spoilers = {
        {"address 0", [](auto &d) { d.address = 0; }},
        {"host word 0", [](auto &d) { d.host_word = 0; }},
        {"pitch 0", [](auto &d) { d.pitch = 0; }},
        {"width 0", [](auto &d) { d.width = 0; }},
        {"height 0", [](auto &d) { d.height = 0; }},
        {"24 bits per pixel", [](auto &d) { d.bits_per_pixel = 24; }},
        {"16 bits per pixel", [](auto &d) { d.bits_per_pixel = 16; }},
        {"no red", [](auto &d) { d.red_size = 0; }},
        {"no green", [](auto &d) { d.green_size = 0; }},
        {"no blue", [](auto &d) { d.blue_size = 0; }},
        {"pitch 4 x width - 1", [](auto &d) { d.pitch = d.width * 4 - 1; }},
    };
    for (const auto &[what, spoil] : spoilers) {
        display().set_mode(16, 16);
        display().fill(0x00777777);
        spoil(display().description);
        BaremetalWindow *w = createWindow("t", 16, 16);
        updateWindow(w);
        EXPECT_EQ(pixels_other_than(0x00777777), 0u) << what;
        EXPECT_TRUE(display().guards_intact()) << what;
        destroyWindow(w);
    }
}

TEST_F(PresentTest, NoDisplayServiceDrawsNothing) {
    display().fill(0x00777777);
    display().result = 0;
    BaremetalWindow *w = createWindow("t", 8, 8);
    updateWindow(w);
    EXPECT_EQ(display().queries, 2u);
    host().set_entry(LM_ENTRY_QUERY_FRAMEBUFFER, nullptr);
    display().result = 1;
    updateWindow(w);
    EXPECT_EQ(display().queries, 2u);
    EXPECT_EQ(pixels_other_than(0x00777777), 0u);
    // Still drawn in memory.
    EXPECT_TRUE(capture(w).valid);
}

TEST_F(PresentTest, EarlierAnswersDoNotLeakIntoALaterQuery) {
    // A host that fills only part of the record: the library cleared it first, so the
    // fields it left out read 0 and the description is refused.
    BaremetalWindow *w = createWindow("t", 8, 8);
    display().fill(0x00777777);
    static LmBaremetalProgramFramebufferInfo partial;
    partial = display().description;
    host().set_entry(LM_ENTRY_QUERY_FRAMEBUFFER, +[](LmBaremetalProgramFramebufferInfo *info) -> int {
        info->address = partial.address;
        info->width = partial.width;
        info->height = partial.height;
        return 1;
    });
    updateWindow(w);
    EXPECT_EQ(pixels_other_than(0x00777777), 0u);
}

TEST_F(PresentTest, OnlyCreateAndUpdatePresent) {
    display().fill(0x00ABCDEF);
    BaremetalWindow *w = createWindow("t", 64, 48); // black, the pointer in the middle
    EXPECT_EQ(display().queries, 1u);
    expect_display(32, 24, {255, 255, 255}, [](uint64_t, uint64_t) { return 0u; });
    TestImage image(2, 2, pattern);
    pushImage(w, image.get());
    clearWindow(w, 1, 2, 3);
    setWindowSize(w, 4, 4);
    capture(w);
    updateKeyboardState();
    EXPECT_EQ(display().queries, 1u);
    updateWindow(w);
    EXPECT_EQ(display().queries, 2u);
}

} // namespace
} // namespace lbw::test
