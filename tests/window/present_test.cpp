// Presenting: packing into the display's pixel layout, the scaled and centred target,
// the pointer diamond and its clipping, and the display described afresh on every
// present. Display memory belongs to the substitute host and is read word by word.
#include "tests/window/window_test.h"

#include <algorithm>
#include <cstdlib>
#include <list>
#include <map>

namespace lbw::test {
namespace {

using sim::kLayoutBgr888;
using sim::kLayoutRgb101010;
using sim::kLayoutRgb565;
using sim::kLayoutRgb888;
using sim::PixelLayout;

struct Point {
    int64_t x, y;
    bool operator<(const Point &o) const { return x != o.x ? x < o.x : y < o.y; }
};

class PresentTest : public WindowTest {
protected:
    // A window of the display's own size, every pixel distinct, the pointer at (px, py).
    BaremetalWindow *identity_window(uint32_t width, uint32_t height) {
        BaremetalWindow *w = createWindow("t", static_cast<int>(width), static_cast<int>(height));
        images_.emplace_back(static_cast<int>(width), static_cast<int>(height), pattern);
        pushImage(w, images_.back().get());
        return w;
    }

    // The word the display holds for window pixel (x, y) of the pattern.
    uint32_t pattern_word(int x, int y) {
        auto p = pattern(x, y);
        return display().pack(p[0], p[1], p[2]);
    }

    // The diamond centred at (px, py) as the display shows it: outline (distance 6, 7)
    // and fill (distance up to 5), clipped to the display.
    std::map<Point, bool> diamond(int64_t px, int64_t py) {
        std::map<Point, bool> pixels; // true: fill
        for (int64_t dy = -7; dy <= 7; ++dy)
            for (int64_t dx = -7; dx <= 7; ++dx) {
                int64_t d = std::abs(dx) + std::abs(dy);
                Point p{px + dx, py + dy};
                if (d <= 7 && p.x >= 0 && p.y >= 0 && p.x < display().width() && p.y < display().height())
                    pixels[p] = d <= 5;
            }
        return pixels;
    }

    // Checks the whole display: the diamond at (px, py) over `under(x, y)`.
    void expect_display(int64_t px, int64_t py, Rgb fill, const std::function<uint32_t(uint32_t x, uint32_t y)> &under) {
        auto pointer = diamond(px, py);
        int wrong = 0;
        for (uint32_t y = 0; y < display().height(); ++y)
            for (uint32_t x = 0; x < display().width(); ++x) {
                auto found = pointer.find(Point{x, y});
                uint32_t expected = found == pointer.end() ? under(x, y)
                                    : found->second     ? display().pack(fill[0], fill[1], fill[2])
                                                        : display().pack(0, 0, 0);
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

    std::list<TestImage> images_;
};

TEST_F(PresentTest, CreatingAWindowShowsItBlackWithThePointerInTheMiddle) {
    display().fill(0x00ABCDEF);
    createWindow("t", 64, 48);
    EXPECT_EQ(display().queries, 1u);
    expect_display(32, 24, {255, 255, 255}, [](uint32_t, uint32_t) { return 0u; });
}

TEST_F(PresentTest, SameSizeWindowMapsOnePixelToOne) {
    display().set_mode(800, 600);
    BaremetalWindow *w = identity_window(800, 600);
    point_at(100, 50);
    updateWindow(w);
    expect_display(100, 50, {255, 255, 255}, [&](uint32_t x, uint32_t y) { return pattern_word(x, y); });
}

TEST_F(PresentTest, WideWindowFillsTheDisplaysWidth) {
    // 320 x 200 on 1024 x 768: t = 640, target 1024 x 640 at 0, 64.
    display().set_mode(1024, 768);
    BaremetalWindow *w = createWindow("t", 320, 200);
    clearWindow(w, 0, 0, 90);
    TestImage image(320, 200, pattern);
    pushImage(w, image.get());
    updateWindow(w);
    uint32_t bar = display().pack(0, 0, 90);
    expect_display(512, 64 + 320, {255, 255, 255}, [&](uint32_t x, uint32_t y) {
        if (y < 64 || y >= 704)
            return bar;
        return pattern_word(static_cast<int>(320 * x / 1024), static_cast<int>(200 * (y - 64) / 640));
    });
}

TEST_F(PresentTest, TallWindowFillsTheDisplaysHeight) {
    // 640 x 480 on 1920 x 1080: t = 1440 > 1080, target 1440 x 1080 at 240, 0; the
    // pointer at window position 320, 240 is centred on display pixel 960, 540.
    display().set_mode(1920, 1080);
    BaremetalWindow *w = createWindow("t", 640, 480);
    clearWindow(w, 70, 0, 0);
    TestImage image(640, 480, pattern);
    pushImage(w, image.get());
    updateWindow(w);
    uint32_t bar = display().pack(70, 0, 0);
    expect_display(960, 540, {255, 255, 255}, [&](uint32_t x, uint32_t y) {
        if (x < 240 || x >= 1680)
            return bar;
        return pattern_word(static_cast<int>(640 * (x - 240) / 1440), static_cast<int>(480 * y / 1080));
    });
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

TEST_F(PresentTest, PointerIsA113PixelDiamondColouredByButton) {
    display().set_mode(40, 40);
    BaremetalWindow *w = createWindow("t", 40, 40);
    clearWindow(w, 0, 0, 255);
    const uint32_t background = display().pack(0, 0, 255);
    struct Case {
        uint32_t buttons;
        Rgb fill;
    };
    const Case cases[] = {
        {0, {255, 255, 255}}, {1, {255, 60, 60}}, {2, {60, 255, 60}}, {4, {80, 130, 255}},
        {7, {255, 60, 60}},   {6, {60, 255, 60}}, {5, {255, 60, 60}},
    };
    for (const Case &c : cases) {
        point_at(20, 20, c.buttons);
        updateWindow(w);
        size_t fill = 0, outline = 0;
        for (uint32_t y = 0; y < 40; ++y)
            for (uint32_t x = 0; x < 40; ++x) {
                fill += display().pixel(x, y) == display().pack(c.fill[0], c.fill[1], c.fill[2]);
                outline += display().pixel(x, y) == 0;
            }
        EXPECT_EQ(fill, 61u) << c.buttons;
        EXPECT_EQ(outline, 52u) << c.buttons;
        EXPECT_EQ(pixels_other_than(background), 113u);
        expect_display(20, 20, c.fill, [&](uint32_t, uint32_t) { return background; });
    }
}

TEST_F(PresentTest, PointerIsClippedAtEveryEdge) {
    display().set_mode(30, 20);
    BaremetalWindow *w = createWindow("t", 30, 20);
    clearWindow(w, 0, 0, 255);
    const uint32_t background = display().pack(0, 0, 255);
    struct Case {
        int x, y;
        size_t drawn;
    };
    // A half diamond keeps 64 pixels, a quarter at a corner 36; two columns from the edge,
    // the five columns beyond it (25 pixels) are lost.
    const Case cases[] = {
        {0, 10, 64},  {29, 10, 64}, {15, 0, 64}, {15, 19, 64}, {0, 0, 36},  {29, 0, 36},
        {0, 19, 36},  {29, 19, 36}, {2, 10, 113 - 25}, {-50, 10, 64}, {100, 100, 36},
    };
    for (const Case &c : cases) {
        display().fill(0x00777777);
        point_at(c.x, c.y);
        updateWindow(w);
        EXPECT_EQ(pixels_other_than(background), c.drawn) << c.x << "," << c.y;
        int64_t px = std::clamp(c.x, 0, 29), py = std::clamp(c.y, 0, 19);
        expect_display(px, py, {255, 255, 255}, [&](uint32_t, uint32_t) { return background; });
    }
}

TEST_F(PresentTest, PointerFollowsTheTargetRectangle) {
    // Window 10 x 10 on 40 x 20: target 20 x 20 at 10, 0. Window position (5, 5) lands on
    // 10 + 20 x 5 / 10 = 20, 10; position (9, 9) on 28, 18.
    display().set_mode(40, 20);
    BaremetalWindow *w = createWindow("t", 10, 10);
    point_at(9, 9);
    updateWindow(w);
    expect_display(28, 18, {255, 255, 255}, [](uint32_t, uint32_t) { return 0u; });
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
    BaremetalWindow *w = createWindow("t", 8, 8);
    EXPECT_EQ(display().queries, 1u);
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
