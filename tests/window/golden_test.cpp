// Golden images: a rendered window and presented displays (with the pointer), compared
// byte for byte with reference PNGs in data/.
//
// How the references were made and checked: this test wrote them with LBW_WRITE_GOLDEN=1
// (which also writes 8x enlarged copies, large_*.png, to the temporary folder), and the
// enlarged copies were inspected by eye against the arithmetic:
// - rendered_window.png: the 5 x 3 ramp in the 12 x 8 window at scale 2.4 (the width
//   limits), drawn 12 x 7 at 0, 0: source columns 3, 2, 3, 2, 2 and rows 3, 2, 2 pixels
//   wide, one row of the dark blue background at the bottom;
// - presented_display.png: that window scaled by 4 onto a 48 x 32 display (target
//   48 x 32 at 0, 0) with button 1's green diamond and its 2-pixel black outline
//   centred on display pixel 36, 8 (window position 9, 2);
// - presented_565.png: the same window on a 40 x 40 display of layout 5-6-5 with a
//   padded pitch: target 40 x 26 at 0, 7 between dark blue bars of 7 rows, and the white
//   diamond centred on 36, 29 (window position 11, 7) cut off by the right edge.
#include "tests/window/png_files.h"
#include "tests/window/window_test.h"

#include <cstdlib>
#include <filesystem>

namespace lbw::test {
namespace {

namespace fs = std::filesystem;

class GoldenTest : public WindowTest {
protected:
    // A 12 x 8 window on a dark blue background holding a 5 x 3 colour ramp.
    BaremetalWindow *scene() {
        BaremetalWindow *w = createWindow("golden", 12, 8);
        clearWindow(w, 20, 20, 70);
        pushImage(w, ramp_.get());
        return w;
    }

    PngImage from_display() {
        PngImage png;
        png.width = display().width();
        png.height = display().height();
        for (uint32_t y = 0; y < png.height; ++y)
            for (uint32_t x = 0; x < png.width; ++x) {
                uint8_t rgb[3];
                display().unpack(x, y, rgb);
                png.rgba.insert(png.rgba.end(), {rgb[0], rgb[1], rgb[2], 255});
            }
        return png;
    }

    void expect_golden(const std::string &name, const PngImage &actual) {
        fs::path path = fs::path(LBW_SOURCE_DIR) / "tests/window/data" / name;
        if (std::getenv("LBW_WRITE_GOLDEN")) {
            ASSERT_TRUE(write_png(path.string(), actual));
            PngImage large;
            large.width = actual.width * 8;
            large.height = actual.height * 8;
            for (uint32_t y = 0; y < large.height; ++y)
                for (uint32_t x = 0; x < large.width; ++x) {
                    const uint8_t *p = &actual.rgba[((y / 8) * actual.width + x / 8) * 4];
                    large.rgba.insert(large.rgba.end(), p, p + 4);
                }
            ASSERT_TRUE(write_png((fs::path(::testing::TempDir()) / ("large_" + name)).string(), large));
        }
        PngImage expected;
        ASSERT_TRUE(read_png(path.string(), expected)) << "missing golden image " << path;
        ASSERT_EQ(actual.width, expected.width);
        ASSERT_EQ(actual.height, expected.height);
        size_t differing = 0;
        for (size_t i = 0; i < actual.rgba.size(); i += 4)
            differing += !std::equal(actual.rgba.begin() + i, actual.rgba.begin() + i + 4, expected.rgba.begin() + i);
        EXPECT_EQ(differing, 0u) << "pixels differing from " << name;
    }

    TestImage ramp_{5, 3, [](int x, int y) {
                        return std::array<uint8_t, 4>{static_cast<uint8_t>(40 + x * 50), static_cast<uint8_t>(30 + y * 90),
                                                      static_cast<uint8_t>(200 - x * 30), 0};
                    }};
};

TEST_F(GoldenTest, RenderedWindow) {
    BaremetalWindow *w = scene();
    Capture c = capture(w);
    ASSERT_TRUE(c.valid);
    PngImage png{static_cast<uint32_t>(c.width), static_cast<uint32_t>(c.height), c.pixels};
    expect_golden("rendered_window.png", png);
}

TEST_F(GoldenTest, PresentedDisplayWithPointer) {
    display().set_mode(48, 32);
    BaremetalWindow *w = scene();
    point_at(9, 2, 0x2);
    updateWindow(w);
    expect_golden("presented_display.png", from_display());
}

TEST_F(GoldenTest, PresentedDisplayIn565WithClippedPointer) {
    display().set_mode(40, 40, sim::kLayoutRgb565, 40 * 4 + 8);
    BaremetalWindow *w = scene();
    point_at(11, 7);
    updateWindow(w);
    EXPECT_TRUE(display().guards_intact());
    expect_golden("presented_565.png", from_display());
}

} // namespace
} // namespace lbw::test
