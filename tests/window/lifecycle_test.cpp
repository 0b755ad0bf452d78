// Window lifecycle and attributes: creation, the active window, destruction and the
// host's window entries, the close request, size, title, and the touch-bar stubs.
#include "tests/window/window_test.h"

#include <cstring>

namespace lbw::test {
namespace {

using LifecycleTest = WindowTest;

TEST_F(LifecycleTest, SmallestWindowGetsTheDefaultTitle) {
    BaremetalWindow *w = createWindow(nullptr, 0, -5);
    ASSERT_NE(w, nullptr);
    int width = -1, height = -1, x = -1, y = -1;
    getWindowSize(w, &width, &height);
    EXPECT_EQ(width, 1);
    EXPECT_EQ(height, 1);
    getMousePosition(w, &x, &y);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    EXPECT_EQ(title(w), "LorrinMoon");
    // It is the active window: a close key reaches it.
    press({0x04});
    EXPECT_TRUE(windowShouldClose(w));
}

TEST_F(LifecycleTest, NewWindowIsBlackWithThePointerInTheMiddle) {
    BaremetalWindow *w = createWindow("main", 640, 480);
    int x, y;
    getMousePosition(w, &x, &y);
    EXPECT_EQ(x, 320);
    EXPECT_EQ(y, 240);
    Capture c = capture(w);
    ASSERT_EQ(c.pixels.size(), 1228800u);
    for (size_t i = 0; i < c.pixels.size(); i += 4)
        ASSERT_EQ((std::array<uint8_t, 4>{c.pixels[i], c.pixels[i + 1], c.pixels[i + 2], c.pixels[i + 3]}),
                  (std::array<uint8_t, 4>{0, 0, 0, 255}))
            << "byte " << i;
    EXPECT_FALSE(windowShouldClose(w));
    EXPECT_EQ(title(w), "main");
}

TEST_F(LifecycleTest, HostIsToldBeforeTheRecordIsAllocated) {
    static size_t allocations_seen = 99;
    host().set_entry(LM_ENTRY_CREATE_WINDOW, +[]() -> int {
        allocations_seen = sim::Host::instance().heap().malloc_sizes.size();
        ++sim::Host::instance().display().windows_created;
        return 0;
    });
    createWindow("t", 2, 2);
    EXPECT_EQ(allocations_seen, 0u);
    EXPECT_EQ(display().windows_created, 1u);
}

TEST_F(LifecycleTest, WindowsWorkWithoutTheHostsWindowEntries) {
    host().set_entry(LM_ENTRY_CREATE_WINDOW, nullptr);
    host().set_entry(LM_ENTRY_DESTROY_WINDOW, nullptr);
    BaremetalWindow *w = createWindow("t", 3, 3);
    clearWindow(w, 1, 2, 3);
    EXPECT_EQ(capture(w).rgb(2, 2), (Rgb{1, 2, 3}));
    destroyWindow(w);
    EXPECT_EQ(display().windows_created, 0u);
    EXPECT_EQ(display().windows_destroyed, 0u);
}

TEST_F(LifecycleTest, DestroyReleasesEverythingThenTellsTheHost) {
    uint64_t before = host().heap().bytes_in_use();
    BaremetalWindow *w = createWindow("a title long enough", 30, 20);
    TestImage image(7, 5, pattern);
    pushImage(w, image.get());
    EXPECT_GT(host().heap().bytes_in_use(), before);
    static uint64_t in_use_seen = 0;
    host().set_entry(LM_ENTRY_DESTROY_WINDOW, +[]() -> int {
        in_use_seen = sim::Host::instance().heap().bytes_in_use();
        ++sim::Host::instance().display().windows_destroyed;
        return 0;
    });
    destroyWindow(w);
    EXPECT_EQ(host().heap().bytes_in_use(), before);
    EXPECT_EQ(in_use_seen, before);
    EXPECT_EQ(display().windows_created, 1u);
    EXPECT_EQ(display().windows_destroyed, 1u);
    destroyWindow(nullptr);
    EXPECT_EQ(display().windows_destroyed, 1u);
}

TEST_F(LifecycleTest, TheNewestWindowIsActiveAndDestroyingItLeavesNone) {
    BaremetalWindow *first = createWindow("1", 10, 10);
    BaremetalWindow *second = createWindow("2", 10, 10);
    press({0x03});
    EXPECT_TRUE(windowShouldClose(second));
    EXPECT_FALSE(windowShouldClose(first));
    destroyWindow(second);
    // No active window now, although the first is alive: input is not read at all.
    press({0x03, 'a'});
    EXPECT_FALSE(windowShouldClose(first));
    EXPECT_EQ(input().keys.size(), 2u);
    EXPECT_EQ(key("keya"), 0);
    // Destroying a window that is not active leaves the active one.
    BaremetalWindow *third = createWindow("3", 10, 10);
    destroyWindow(first);
    updateKeyboardState();
    EXPECT_TRUE(windowShouldClose(third));
    EXPECT_EQ(key("keya"), 1);
    EXPECT_EQ(display().windows_destroyed, 2u);
}

TEST_F(LifecycleTest, CloseRequests) {
    EXPECT_TRUE(windowShouldClose(nullptr));
    closeWindow(nullptr);
    BaremetalWindow *w = createWindow("t", 2, 2);
    EXPECT_FALSE(windowShouldClose(w));
    closeWindow(w);
    EXPECT_TRUE(windowShouldClose(w));
    closeWindow(w);
    updateWindow(w);
    EXPECT_TRUE(windowShouldClose(w)) << "a close request is never withdrawn";
}

TEST_F(LifecycleTest, SizeQueries) {
    int width = 5, height = 5;
    getWindowSize(nullptr, &width, &height);
    EXPECT_EQ(width, 0);
    EXPECT_EQ(height, 0);
    BaremetalWindow *w = createWindow("t", 7, 9);
    getWindowSize(w, nullptr, nullptr);
    getWindowSize(nullptr, nullptr, nullptr);
    width = 0;
    getWindowSize(w, &width, nullptr);
    EXPECT_EQ(width, 7);
    height = 0;
    getWindowSize(w, nullptr, &height);
    EXPECT_EQ(height, 9);
}

TEST_F(LifecycleTest, ResizingClampsThePointerAndReRendersWithoutPresenting) {
    BaremetalWindow *w = createWindow("t", 640, 480);
    point_at(300, 200);
    clearWindow(w, 4, 5, 6);
    setWindowSize(w, 1, 1);
    int x, y, width, height;
    getMousePosition(w, &x, &y);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    setWindowSize(w, 0, -3);
    getWindowSize(w, &width, &height);
    EXPECT_EQ(width, 1);
    EXPECT_EQ(height, 1);
    setWindowSize(w, 3, 2);
    Capture c = capture(w);
    EXPECT_EQ(c.width, 3);
    EXPECT_EQ(c.height, 2);
    EXPECT_EQ(c.rgb(2, 1), (Rgb{4, 5, 6}));
    // The pointer space follows the size: absolute positions now clamp to 2, 1.
    point_at(50, 50);
    getMousePosition(w, &x, &y);
    EXPECT_EQ(x, 2);
    EXPECT_EQ(y, 1);
    EXPECT_EQ(display().queries, 1u);
    setWindowSize(nullptr, 5, 5);
}

TEST_F(LifecycleTest, Titles) {
    char *empty = getWindowTitle(nullptr);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty[0], 0);
    EXPECT_EQ(host().heap().malloc_sizes.back(), 1u);
    free_(empty);

    BaremetalWindow *w = createWindow("first", 2, 2);
    setWindowTitle(w, "second title");
    EXPECT_EQ(title(w), "second title");
    EXPECT_EQ(host().heap().malloc_sizes.back(), 13u);
    // Each call hands out a new copy.
    char *a = getWindowTitle(w);
    char *b = getWindowTitle(w);
    EXPECT_NE(a, b);
    a[0] = 'X';
    EXPECT_STREQ(b, "second title");
    free_(a);
    free_(b);

    setWindowTitle(w, nullptr);
    char *none = getWindowTitle(w);
    EXPECT_EQ(none[0], 0);
    EXPECT_EQ(host().heap().malloc_sizes.back(), 1u);
    free_(none);
    setWindowTitle(nullptr, "ignored");
    // A title is never drawn and never sent to the host.
    EXPECT_TRUE(host().console().lines.empty());
}

TEST_F(LifecycleTest, UpdatingNoWindowDoesNothing) {
    input().queue_keys({'a'});
    updateWindow(nullptr);
    EXPECT_EQ(input().key_polls, 0u);
    EXPECT_EQ(display().queries, 0u);
}

TEST_F(LifecycleTest, UpdateReadsInputRendersAndPresents) {
    BaremetalWindow *w = createWindow("t", 4, 4);
    input().queue_keys({'k'});
    updateWindow(w);
    EXPECT_EQ(key("keyk"), 1);
    EXPECT_EQ(display().queries, 2u);
    EXPECT_EQ(input().pointer_polls, 1u);
}

TEST_F(LifecycleTest, TouchBarStubsDoNothing) {
    auto set_text = fn<decltype(::setTouchBarButtonText)>("setTouchBarButtonText");
    auto set_image = fn<decltype(::setTouchBarButtonImage)>("setTouchBarButtonImage");
    auto clear = fn<decltype(::clearTouchBar)>("clearTouchBar");
    auto state = fn<decltype(::getTouchBarButtonState)>("getTouchBarButtonState");
    BaremetalWindow *w = createWindow("t", 2, 2);
    uint64_t in_use = host().heap().bytes_in_use();
    set_text(w, 0, "x");
    set_text(nullptr, -1, nullptr);
    set_image(w, 3, nullptr);
    clear(w);
    clear(nullptr);
    EXPECT_EQ(state(w, 0), 0);
    EXPECT_EQ(state(nullptr, 12345), 0);
    EXPECT_EQ(host().heap().bytes_in_use(), in_use);
    EXPECT_EQ(display().queries, 1u);
}

} // namespace
} // namespace lbw::test
