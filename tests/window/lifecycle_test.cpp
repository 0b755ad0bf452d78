// Window lifecycle and attributes: creation, the active window, destruction and the
// host's window entries, the close request, size, title, null windows and the
// touch-bar stubs; what pushImage and captureWindow keep and hand out.
#include "tests/window/window_test.h"

namespace lbw::test {
namespace {

using LifecycleTest = WindowTest;

TEST_F(LifecycleTest, NewWindows) {
    BaremetalWindow *w = createWindow(nullptr, 0, -5);
    EXPECT_EQ(std::tuple(size(w), mouse(w), title(w)),
              std::tuple(std::pair(1, 1), std::pair(0, 0), "LorrinMoon"));
    press({0x04}); // it is the active window: a close key reaches it
    EXPECT_TRUE(windowShouldClose(w));

    w = createWindow("main", 640, 480);
    EXPECT_EQ(std::tuple(mouse(w), title(w), windowShouldClose(w)),
              std::tuple(std::pair(320, 240), "main", false));
    Capture c = capture(w); // black, like every window without an image or a colour
    EXPECT_EQ(std::tuple(c.pixels.size(), c.rgb(0, 0), c.rgb(639, 479)), std::tuple(1228800u, Rgb{}, Rgb{}));
    auto &sizes = host().heap().malloc_sizes; // two blocks the caller owns
    EXPECT_EQ(std::vector(sizes.end() - 2, sizes.end()), (std::vector<uint64_t>{sizeof(BaremetalImage), 1228800}));
}

TEST_F(LifecycleTest, TheHostIsToldBeforeTheRecordIsAllocatedAndAfterItIsReleased) {
    static uint64_t seen = 99;
    host().set_entry(LM_ENTRY_CREATE_WINDOW, +[]() -> int {
        seen = simhost::Host::instance().heap().malloc_sizes.size();
        return 0;
    });
    BaremetalWindow *w = createWindow("a title long enough", 30, 20);
    EXPECT_EQ(seen, 0u);
    std::vector<uint8_t> pixels(7 * 5 * 4, 9);
    BaremetalImage image{7, 5, pixels.data(), {0, 0}};
    pushImage(w, &image);
    host().set_entry(LM_ENTRY_DESTROY_WINDOW, +[]() -> int {
        seen = simhost::Host::instance().heap().bytes_in_use();
        return 0;
    });
    destroyWindow(w);
    EXPECT_EQ(seen, 0u);
    EXPECT_EQ(host().heap().bytes_in_use(), 0u);
    // Without the host's window entries windows work all the same.
    host().set_entry(LM_ENTRY_CREATE_WINDOW, nullptr);
    host().set_entry(LM_ENTRY_DESTROY_WINDOW, nullptr);
    w = createWindow("t", 3, 3);
    clearWindow(w, 1, 2, 3);
    EXPECT_EQ(capture(w).rgb(2, 2), (Rgb{1, 2, 3}));
    destroyWindow(w);
    EXPECT_EQ(display().windows_created + display().windows_destroyed, 0u);
}

TEST_F(LifecycleTest, TheNewestWindowIsActiveAndDestroyingItLeavesNone) {
    BaremetalWindow *first = createWindow("1", 10, 10);
    BaremetalWindow *second = createWindow("2", 10, 10);
    input().queue_keys({0x03, 'b'});
    input().queue_pointer({LM_POINTER_ABSOLUTE, 0, 7, 9, 0, 0, 0, 0});
    updateWindow(first); // polls for the active window, whichever is updated
    EXPECT_TRUE(windowShouldClose(second));
    EXPECT_FALSE(windowShouldClose(first));
    EXPECT_EQ(std::pair(mouse(first), mouse(second)), std::pair(std::pair(5, 5), std::pair(7, 9)));
    destroyWindow(second);
    // No active window now, although the first is alive: the flags are cleared and
    // nothing is read from the host.
    input().queue_pointer({});
    const unsigned key_polls = input().key_polls, pointer_polls = input().pointer_polls;
    press({0x03, 'a'});
    EXPECT_FALSE(windowShouldClose(first));
    EXPECT_EQ(std::pair(input().key_polls, input().pointer_polls), std::pair(key_polls, pointer_polls));
    EXPECT_EQ(std::pair(set_keys(), keylastchar()), std::pair(std::vector<std::string>{}, '\0'));
    // Destroying a window that is not active leaves the active one.
    BaremetalWindow *third = createWindow("3", 10, 10);
    destroyWindow(first);
    updateKeyboardState();
    EXPECT_TRUE(windowShouldClose(third));
    EXPECT_EQ(set_keys(), std::vector<std::string>{"keya"});
    EXPECT_EQ(std::pair(display().windows_created, display().windows_destroyed), std::pair(3u, 2u));
}

// Null windows, and the touch-bar stubs: nothing happens, nothing is allocated but the
// empty title's copy.
TEST_F(LifecycleTest, NullWindowsAndTheTouchBar) {
    input().queue_keys({'a'});
    updateWindow(nullptr); // not even input is read
    EXPECT_EQ(input().key_polls + display().queries, 0u);
    EXPECT_TRUE(windowShouldClose(nullptr));
    closeWindow(nullptr);
    EXPECT_EQ(std::tuple(size(nullptr), mouse(nullptr), title(nullptr)),
              std::tuple(std::pair(0, 0), std::pair(-1, -1), ""));
    getWindowSize(nullptr, nullptr, nullptr);
    getMousePosition(nullptr, nullptr, nullptr);
    setWindowSize(nullptr, 5, 5);
    EXPECT_FALSE(getMouseButtonState(nullptr, 0));
    EXPECT_EQ(captureWindow(nullptr), nullptr);
    clearWindow(nullptr, 1, 2, 3);
    uint8_t pixel[4] = {};
    BaremetalImage one{1, 1, pixel, {0, 0}};
    pushImage(nullptr, &one);
    setWindowTitle(nullptr, "ignored");
    destroyWindow(nullptr);
    setTouchBarButtonText(nullptr, 0, "x");
    setTouchBarButtonImage(nullptr, 3, &one);
    clearTouchBar(nullptr);
    EXPECT_EQ(getTouchBarButtonState(nullptr, 0) + getTouchBarButtonState(nullptr, 12345), 0);
    EXPECT_EQ(host().heap().malloc_sizes, std::vector<uint64_t>{1});
    EXPECT_EQ(display().windows_destroyed + host().heap().bytes_in_use(), 0u);
}

TEST_F(LifecycleTest, CloseSizeAndTitle) {
    BaremetalWindow *w = createWindow("first", 640, 480);
    point_at(300, 200);
    clearWindow(w, 4, 5, 6);
    setWindowSize(w, 1, 1);
    EXPECT_EQ(mouse(w), std::pair(0, 0));
    setWindowSize(w, 0, -3);
    EXPECT_EQ(size(w), std::pair(1, 1));
    setWindowSize(w, 3, 2);
    int width = 0, height = 0;
    getWindowSize(w, &width, nullptr); // never writes through a null out pointer
    getWindowSize(w, nullptr, &height);
    EXPECT_EQ(std::pair(width, height), std::pair(3, 2));
    Capture c = capture(w);
    EXPECT_EQ(std::tuple(c.width, c.height, c.rgb(2, 1)), std::tuple(3, 2, Rgb{4, 5, 6}));
    point_at(50, 50); // the pointer space follows the size
    EXPECT_EQ(mouse(w), std::pair(2, 1));
    EXPECT_EQ(display().queries, 1u) << "resizing does not present";

    closeWindow(w);
    closeWindow(w);
    updateWindow(w);
    EXPECT_TRUE(windowShouldClose(w)) << "a close request is never withdrawn";

    setWindowTitle(w, "second title");
    char *a = getWindowTitle(w);
    EXPECT_EQ(host().heap().malloc_sizes.back(), 13u);
    a[0] = 'X';
    EXPECT_EQ(title(w), "second title") << "each call hands out a new copy";
    free_(a);
    setWindowTitle(w, nullptr);
    EXPECT_EQ(title(w), "") << "the empty title, not the default one";
    EXPECT_TRUE(host().console().lines.empty()) << "a title is never sent to the host";
}

TEST_F(LifecycleTest, UnusablePushesKeepThePreviousImageAndPushesAreCopies) {
    BaremetalWindow *w = createWindow("t", 2, 2);
    uint8_t first_pixel[4] = {1, 1, 1, 1}, other_pixel[4] = {200, 0, 0, 0};
    BaremetalImage first{1, 1, first_pixel, {0, 0}}, other{1, 1, other_pixel, {0, 0}};
    pushImage(w, &first);
    first_pixel[0] = 99;
    BaremetalImage zero_width = other, negative_height = other, no_pixels = other;
    zero_width.width = 0;
    negative_height.height = -1;
    no_pixels.pixels = nullptr;
    for (BaremetalImage *image : {&zero_width, &negative_height, &no_pixels, (BaremetalImage *)nullptr})
        pushImage(w, image);
    EXPECT_EQ(capture(w).rgb(1, 1), (Rgb{1, 1, 1}));
    pushImage(w, &other);
    EXPECT_EQ(capture(w).rgb(1, 1), (Rgb{200, 0, 0}));
}

} // namespace
} // namespace lbw::test
