// Rendering and presenting against straightforward per-pixel versions of the documented
// algorithms, over random window, image and display sizes, pixel layouts, pitches, base
// alignments, background colours and pointer positions. Every byte of the window's
// buffer and of the display memory (with bytes around it and in the row padding) must
// agree, and each frame must ask the host for the display only in createWindow and
// updateWindow, once each, and allocate nothing when the size is unchanged. A second
// update follows a change of colour, image or size, or none (it need not render again).
// Now and then the display's description is one the library must refuse: nothing is drawn.
#include "tests/window/window_test.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>

namespace lbw::test {
namespace {

struct Layout {
    uint32_t red_size, red_shift, green_size, green_shift, blue_size, blue_shift;
};

uint32_t reference_component(uint8_t value, uint32_t size, uint32_t shift) {
    if (size == 0)
        return 0;
    uint64_t mask = size >= 32 ? 0xFFFFFFFFu : (uint64_t{1} << size) - 1;
    return static_cast<uint32_t>((value * mask + 127) / 255) << (shift % 32);
}

uint32_t reference_pack(const Layout &l, uint8_t r, uint8_t g, uint8_t b) {
    return reference_component(r, l.red_size, l.red_shift) | reference_component(g, l.green_size, l.green_shift) |
           reference_component(b, l.blue_size, l.blue_shift);
}

struct WindowState {
    int width, height;
    Rgb clear;
    std::vector<uint8_t> image; // empty: none
    int image_width = 0, image_height = 0;
    int mouse_x = 0, mouse_y = 0;
    bool buttons[3] = {};
};

// The window's buffer, pixel by pixel.
std::vector<uint8_t> reference_render(const WindowState &w) {
    std::vector<uint8_t> out(static_cast<size_t>(w.width) * w.height * 4);
    bool present = !w.image.empty();
    int dw = 0, dh = 0, ox = 0, oy = 0;
    if (present) {
        float sw = static_cast<float>(w.width) / static_cast<float>(w.image_width);
        float sh = static_cast<float>(w.height) / static_cast<float>(w.image_height);
        float s = sh < sw ? sh : sw;
        dw = static_cast<int>(s * static_cast<float>(w.image_width));
        dh = static_cast<int>(static_cast<float>(w.image_height) * s);
        dw = dw < 2 ? 1 : dw;
        dh = dh < 2 ? 1 : dh;
        ox = (w.width - dw) / 2;
        oy = (w.height - dh) / 2;
    }
    auto sample = [](int offset, int source, int drawn) {
        int64_t i = static_cast<int64_t>(offset) * source / drawn;
        return static_cast<int>(i < 0 ? 0 : i >= source ? source - 1 : i);
    };
    for (int y = 0; y < w.height; y++)
        for (int x = 0; x < w.width; x++) {
            uint8_t *p = &out[(static_cast<size_t>(y) * w.width + x) * 4];
            p[0] = w.clear[0], p[1] = w.clear[1], p[2] = w.clear[2];
            if (present && x >= ox && x < ox + dw && y >= oy && y < oy + dh) {
                int sx = sample(x - ox, w.image_width, dw), sy = sample(y - oy, w.image_height, dh);
                const uint8_t *q = &w.image[(static_cast<size_t>(sy) * w.image_width + sx) * 4];
                p[0] = q[0], p[1] = q[1], p[2] = q[2];
            }
            p[3] = 255;
        }
    return out;
}

// The display memory after one present, starting from `memory` with the display at
// byte `base` of it.
void reference_present(const WindowState &w, const std::vector<uint8_t> &framebuffer, std::vector<uint8_t> &memory,
                       size_t base, uint64_t pitch, uint64_t dw, uint64_t dh, const Layout &layout) {
    auto store = [&](uint64_t x, uint64_t y, uint32_t word) {
        std::memcpy(&memory[base + y * pitch + x * 4], &word, 4);
    };
    uint32_t background = reference_pack(layout, w.clear[0], w.clear[1], w.clear[2]);
    for (uint64_t y = 0; y < dh; y++)
        for (uint64_t x = 0; x < dw; x++)
            store(x, y, background);
    uint64_t W = static_cast<uint64_t>(w.width), H = static_cast<uint64_t>(w.height);
    uint64_t tw, th;
    uint64_t t = H * dw / W;
    t = t < 2 ? 1 : t;
    if (t <= dh) {
        tw = dw, th = t;
    } else {
        tw = W * dh / H;
        tw = tw < 2 ? 1 : tw;
        th = dh;
    }
    uint64_t ox = (dw - tw) / 2, oy = (dh - th) / 2;
    for (uint64_t i = 0; i < th; i++)
        for (uint64_t j = 0; j < tw; j++) {
            const uint8_t *p = &framebuffer[((H * i / th) * W + W * j / tw) * 4];
            store(ox + j, oy + i, reference_pack(layout, p[0], p[1], p[2]));
        }
    int64_t cx = std::clamp(w.mouse_x, 0, w.width - 1), cy = std::clamp(w.mouse_y, 0, w.height - 1);
    int64_t px = static_cast<int64_t>(ox + tw * static_cast<uint64_t>(cx) / W);
    int64_t py = static_cast<int64_t>(oy + th * static_cast<uint64_t>(cy) / H);
    uint32_t outline = reference_pack(layout, 0, 0, 0);
    uint32_t fill = w.buttons[0]   ? reference_pack(layout, 255, 60, 60)
                    : w.buttons[1] ? reference_pack(layout, 60, 255, 60)
                    : w.buttons[2] ? reference_pack(layout, 80, 130, 255)
                                   : reference_pack(layout, 255, 255, 255);
    for (int64_t dy = -7; dy <= 7; dy++)
        for (int64_t dx = -7; dx <= 7; dx++) {
            int64_t d = std::abs(dx) + std::abs(dy), x = px + dx, y = py + dy;
            if (d <= 7 && x >= 0 && y >= 0 && x < static_cast<int64_t>(dw) && y < static_cast<int64_t>(dh))
                store(static_cast<uint64_t>(x), static_cast<uint64_t>(y), d >= 6 ? outline : fill);
        }
}

class FrameDifferentialTest : public WindowTest {
protected:
    std::mt19937_64 random{4242};
    int between(int low, int high) { return low + static_cast<int>(random() % static_cast<uint64_t>(high - low + 1)); }

    Layout layout() {
        static const Layout common[] = {{8, 16, 8, 8, 8, 0}, {8, 0, 8, 8, 8, 16}, {5, 11, 6, 5, 5, 0},
                                        {10, 20, 10, 10, 10, 0}, {8, 24, 8, 16, 8, 8}, {8, 40, 8, 8, 8, 0}};
        if (random() % 2)
            return common[random() % std::size(common)];
        auto size = [&] { return static_cast<uint32_t>(random() % 5 == 0 ? between(30, 33) : between(1, 12)); };
        auto shift = [&] { return static_cast<uint32_t>(between(0, 40)); };
        return {size(), shift(), size(), shift(), size(), shift()};
    }

    // A window of w's size, colour and image; the capture must match reference_render.
    BaremetalWindow *render(WindowState &w) {
        BaremetalWindow *window = createWindow("frame", w.width, w.height);
        bool clear_first = random() % 2; // with an image, the colour shows from the next render on
        if (clear_first)
            clearWindow(window, w.clear[0], w.clear[1], w.clear[2]);
        if (!w.image.empty()) {
            BaremetalImage image{w.image_width, w.image_height, w.image.data(), {0, 0}};
            pushImage(window, &image);
        }
        if (!clear_first)
            clearWindow(window, w.clear[0], w.clear[1], w.clear[2]);
        Capture c = capture(window);
        EXPECT_TRUE(c.valid && c.reserved[0] == 0 && c.reserved[1] == 0);
        EXPECT_TRUE(c.pixels == reference_render(w)) << "window " << w.width << "x" << w.height << ", image "
                                                     << w.image_width << "x" << w.image_height;
        return window;
    }
    // Descriptions the library must refuse: it then draws nothing at all.
    using Info = LmBaremetalProgramFramebufferInfo;
    const std::vector<std::pair<const char *, std::function<void(Info &)>>> spoilers = {
        {"address 0", [](Info &d) { d.address = 0; }}, {"host word 0", [](Info &d) { d.host_word = 0; }},
        {"pitch 0", [](Info &d) { d.pitch = 0; }}, {"width 0", [](Info &d) { d.width = 0; }},
        {"height 0", [](Info &d) { d.height = 0; }}, {"24 bits", [](Info &d) { d.bits_per_pixel = 24; }},
        {"16 bits", [](Info &d) { d.bits_per_pixel = 16; }}, {"no red", [](Info &d) { d.red_size = 0; }},
        {"no green", [](Info &d) { d.green_size = 0; }}, {"no blue", [](Info &d) { d.blue_size = 0; }},
        {"pitch 4 x width - 1", [](Info &d) { d.pitch = d.width * 4 - 1; }},
        {"no answer", [this](Info &) { display().result = 0; }},
        {"no entry", [this](Info &) { host().set_entry(LM_ENTRY_QUERY_FRAMEBUFFER, nullptr); }},
        // A host that leaves the depth out: the library cleared the record first, so it
        // reads 0, not the 32 of the last answer.
        {"no depth", [this](Info &d) {
             static Info partial;
             partial = d;
             host().set_entry(LM_ENTRY_QUERY_FRAMEBUFFER, +[](Info *info) -> int {
                 uint32_t depth = info->bits_per_pixel;
                 *info = partial;
                 info->bits_per_pixel = depth;
                 return 1;
             });
         }},
    };

    void random_image(WindowState &w, int width, int height) {
        w.image_width = width, w.image_height = height;
        w.image.resize(static_cast<size_t>(width) * height * 4);
        for (auto &b : w.image)
            b = static_cast<uint8_t>(random());
    }
    // Mostly small; now and then wider than one chunk of columns, and few rows.
    void random_image(WindowState &w, bool wide) {
        random_image(w, wide ? between(1000, 3000) : between(1, 200), wide ? between(1, 3) : between(1, 150));
    }
    Rgb random_colour() {
        return {static_cast<uint8_t>(random()), static_cast<uint8_t>(random()), static_cast<uint8_t>(random())};
    }

    // One updateWindow onto a display in memory of the test's own: any base alignment, a
    // pitch with padding, random bytes everywhere beforehand. Each byte must be as the
    // per-pixel algorithms say, and the host is asked for the display once.
    void update_and_compare(BaremetalWindow *window, WindowState &w, bool wide_display) {
        getMousePosition(window, &w.mouse_x, &w.mouse_y);
        for (int b = 0; b < 3; b++)
            w.buttons[b] = getMouseButtonState(window, b);
        uint64_t dw = wide_display ? static_cast<uint64_t>(between(2000, 4500)) : static_cast<uint64_t>(between(1, 300));
        uint64_t dh = wide_display ? static_cast<uint64_t>(between(1, 3)) : static_cast<uint64_t>(between(1, 200));
        uint64_t pitch = dw * 4 + static_cast<uint64_t>(random() % 3 == 0 ? between(1, 13) : 0);
        size_t base = 64 + static_cast<size_t>(between(0, 3));
        std::vector<uint8_t> memory(base + pitch * dh + 64);
        for (auto &b : memory)
            b = static_cast<uint8_t>(random());
        std::vector<uint8_t> expected = memory;
        Layout l = layout();
        auto &d = display().description;
        d.address = reinterpret_cast<uintptr_t>(memory.data() + base);
        d.pitch = static_cast<uint32_t>(pitch);
        d.width = static_cast<uint32_t>(dw);
        d.height = static_cast<uint32_t>(dh);
        d.red_size = l.red_size, d.red_shift = l.red_shift;
        d.green_size = l.green_size, d.green_shift = l.green_shift;
        d.blue_size = l.blue_size, d.blue_shift = l.blue_shift;

        const char *spoiled = "";
        if (random() % 4 == 0) {
            const auto &[what, spoil] = spoilers[random() % spoilers.size()];
            spoil(d);
            spoiled = what;
        } else {
            reference_present(w, reference_render(w), expected, base, pitch, dw, dh, l);
        }
        const unsigned queries = display().queries;
        size_t allocations = host().heap().malloc_sizes.size();
        updateWindow(window);
        EXPECT_TRUE(*spoiled || display().queries == queries + 1) << "the host is asked once";
        EXPECT_EQ(host().heap().malloc_sizes.size(), allocations) << "an update at an unchanged size allocates nothing";
        ASSERT_TRUE(memory == expected) << "window " << w.width << "x" << w.height << ", image " << w.image_width
                                        << "x" << w.image_height << ", display " << dw << "x" << dh << " pitch "
                                        << pitch << " base +" << base - 64 << " " << spoiled;
        display().set_mode(64, 48); // back to memory the host owns before the buffer goes
        display().result = 1;
        host().set_entry(LM_ENTRY_QUERY_FRAMEBUFFER, &simhost::DisplayService::host_query_framebuffer);
    }
};

// Each round: a window, an update; then a change of what feeds its pixels (colour, image,
// size) or of nothing, after which the update renders or skips rendering, and another.
TEST_F(FrameDifferentialTest, RandomFramesMatchThePerPixelAlgorithms) {
    for (int round = 0; round < 300; round++) {
        SCOPED_TRACE(::testing::Message() << "round " << round);
        WindowState w{};
        bool wide = round % 10 == 0;
        w.width = wide ? between(1000, 2600) : between(1, 160);
        w.height = wide ? between(1, 4) : between(1, 120);
        w.clear = random_colour();
        if (random() % 5 != 0)
            random_image(w, round % 7 == 0);
        const unsigned queries = display().queries;
        BaremetalWindow *window = render(w);
        EXPECT_EQ(display().queries, queries + 1) << "only createWindow has presented";
        point_at(between(-5, w.width + 5), between(-5, w.height + 5), static_cast<uint32_t>(random() % 8));
        update_and_compare(window, w, round % 9 == 0);
        ASSERT_FALSE(HasFatalFailure());

        const int change = static_cast<int>(random() % 4);
        if (change == 1) {
            w.clear = random_colour(); // with an image, shown from the update's render on
            clearWindow(window, w.clear[0], w.clear[1], w.clear[2]);
        } else if (change == 2) {
            random_image(w, round % 11 == 0);
            BaremetalImage image{w.image_width, w.image_height, w.image.data(), {0, 0}};
            pushImage(window, &image);
        } else if (change == 3) {
            w.width = between(1, 160), w.height = between(1, 120);
            setWindowSize(window, w.width, w.height);
        }
        update_and_compare(window, w, round % 13 == 0);
        EXPECT_TRUE(capture(window).pixels == reference_render(w)) << "change " << change;
        destroyWindow(window);
    }
}

// Sampling products beyond 32 bits are formed in 64 bits, not clamped to column 0; and
// a scale whose product in single precision is one pixel wider than the window
// (16788160 columns into 8402517) divides by the drawn width.
TEST_F(FrameDifferentialTest, ExtremeImageWidthsRenderLikeThePerPixelAlgorithm) {
    for (auto [width, image_width] : {std::pair{40000, 70000}, {8402517, 16788160}}) {
        WindowState w{};
        w.width = width, w.height = 1, w.clear = {9, 8, 7};
        random_image(w, image_width, 1);
        destroyWindow(render(w));
    }
}

} // namespace
} // namespace lbw::test
