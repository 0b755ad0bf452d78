// Window lifecycle and attributes: creation, the active window, destruction and the
// host's window entries, the close request, size, title, null windows, and the
// touch-bar stubs.
#include "tests/window/window_test.h"

namespace lbw::test {
namespace {

using LifecycleTest = WindowTest;

TEST_F(LifecycleTest, NewWindows) {
    BaremetalWindow *w = createWindow(nullptr, 0, -5);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(size(w), std::pair(1, 1));
    EXPECT_EQ(mouse(w), std::pair(0, 0));
    EXPECT_EQ(title(w), "LorrinMoon");
    press({0x04}); // it is the active window: a close key reaches it
    EXPECT_TRUE(windowShouldClose(w));

    w = createWindow("main", 640, 480);
    EXPECT_EQ(mouse(w), std::pair(320, 240));
    EXPECT_EQ(title(w), "main");
    EXPECT_FALSE(windowShouldClose(w));
    Capture c = capture(w);
    ASSERT_EQ(c.pixels.size(), 1228800u);
    for (size_t i = 0; i < c.pixels.size(); i += 4)
        ASSERT_EQ((Rgba{c.pixels[i], c.pixels[i + 1], c.pixels[i + 2], c.pixels[i + 3]}), (Rgba{0, 0, 0, 255}))
            << "byte " << i;
}

TEST_F(LifecycleTest, HostIsToldBeforeTheRecordIsAllocated) {
    static size_t allocations_seen = 99;
    host().set_entry(LM_ENTRY_CREATE_WINDOW, +[]() -> int {
        allocations_seen = sim::Host::instance().heap().malloc_sizes.size();
        return 0;
    });
    createWindow("t", 2, 2);
    EXPECT_EQ(allocations_seen, 0u);
}

TEST_F(LifecycleTest, DestroyReleasesEverythingThenTellsTheHost) {
    uint64_t before = host().heap().bytes_in_use();
    BaremetalWindow *w = createWindow("a title long enough", 30, 20);
    pushImage(w, TestImage(7, 5, pattern).get());
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

TEST_F(LifecycleTest, TheNewestWindowIsActiveAndDestroyingItLeavesNone) {
    BaremetalWindow *first = createWindow("1", 10, 10);
    BaremetalWindow *second = createWindow("2", 10, 10);
    press({0x03, 'b'});
    EXPECT_TRUE(windowShouldClose(second));
    EXPECT_FALSE(windowShouldClose(first));
    destroyWindow(second);
    // No active window now, although the first is alive: the flags are cleared and
    // nothing is read from the host.
    input().queue_pointer({});
    const unsigned key_polls = input().key_polls, pointer_polls = input().pointer_polls;
    press({0x03, 'a'});
    EXPECT_FALSE(windowShouldClose(first));
    EXPECT_EQ(std::pair(input().key_polls, input().pointer_polls), std::pair(key_polls, pointer_polls));
    EXPECT_EQ(input().keys.size(), 2u);
    EXPECT_EQ(set_keys(), std::vector<std::string>{});
    EXPECT_EQ(keylastchar(), 0);
    // Destroying a window that is not active leaves the active one.
    BaremetalWindow *third = createWindow("3", 10, 10);
    destroyWindow(first);
    updateKeyboardState();
    EXPECT_TRUE(windowShouldClose(third));
    EXPECT_EQ(key("keya"), 1);
    EXPECT_EQ(display().windows_destroyed, 2u);
}

TEST_F(LifecycleTest, EveryOperationAcceptsANullWindow) {
    input().queue_keys({'a'});
    updateWindow(nullptr); // not even input is read
    EXPECT_EQ(input().key_polls, 0u);
    EXPECT_EQ(display().queries, 0u);
    EXPECT_TRUE(windowShouldClose(nullptr));
    closeWindow(nullptr);
    EXPECT_EQ(size(nullptr), std::pair(0, 0));
    getWindowSize(nullptr, nullptr, nullptr);
    setWindowSize(nullptr, 5, 5);
    EXPECT_EQ(mouse(nullptr), std::pair(-1, -1));
    getMousePosition(nullptr, nullptr, nullptr);
    EXPECT_FALSE(getMouseButtonState(nullptr, 0));
    EXPECT_EQ(captureWindow(nullptr), nullptr);
    clearWindow(nullptr, 1, 2, 3);
    pushImage(nullptr, TestImage(1, 1, pattern).get());
    setWindowTitle(nullptr, "ignored");
    char *empty = getWindowTitle(nullptr);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty[0], 0);
    EXPECT_EQ(host().heap().malloc_sizes.back(), 1u);
    free_(empty);
    destroyWindow(nullptr);
    EXPECT_EQ(display().windows_destroyed, 0u);
    EXPECT_EQ(host().heap().bytes_in_use(), 0u);
}

TEST_F(LifecycleTest, CloseRequestsAreNeverWithdrawn) {
    BaremetalWindow *w = createWindow("t", 2, 2);
    closeWindow(w);
    EXPECT_TRUE(windowShouldClose(w));
    closeWindow(w);
    updateWindow(w);
    EXPECT_TRUE(windowShouldClose(w));
}

TEST_F(LifecycleTest, ResizingClampsThePointerAndReRendersWithoutPresenting) {
    BaremetalWindow *w = createWindow("t", 640, 480);
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
    EXPECT_EQ(std::pair(c.width, c.height), std::pair(3, 2));
    EXPECT_EQ(c.rgb(2, 1), (Rgb{4, 5, 6}));
    // The pointer space follows the size: absolute positions now clamp to 2, 1.
    point_at(50, 50);
    EXPECT_EQ(mouse(w), std::pair(2, 1));
    EXPECT_EQ(display().queries, 1u);
}

TEST_F(LifecycleTest, Titles) {
    BaremetalWindow *w = createWindow("first", 2, 2);
    setWindowTitle(w, "second title");
    EXPECT_EQ(title(w), "second title");
    EXPECT_EQ(host().heap().malloc_sizes.back(), 13u);
    // Each call hands out a new copy.
    char *a = getWindowTitle(w);
    char *b = getWindowTitle(w);
    a[0] = 'X';
    EXPECT_STREQ(b, "second title");
    free_(a);
    free_(b);
    setWindowTitle(w, nullptr); // the empty title, not the default one
    EXPECT_EQ(title(w), "");
    EXPECT_EQ(host().heap().malloc_sizes.back(), 1u);
    // A title is never drawn and never sent to the host.
    EXPECT_TRUE(host().console().lines.empty());
}

TEST_F(LifecycleTest, TouchBarStubsDoNothing) {
    BaremetalWindow *w = createWindow("t", 2, 2);
    uint64_t in_use = host().heap().bytes_in_use();
    setTouchBarButtonText(w, 0, "x");
    setTouchBarButtonText(nullptr, -1, nullptr);
    setTouchBarButtonImage(w, 3, nullptr);
    clearTouchBar(w);
    clearTouchBar(nullptr);
    EXPECT_EQ(getTouchBarButtonState(w, 0), 0);
    EXPECT_EQ(getTouchBarButtonState(nullptr, 12345), 0);
    EXPECT_EQ(host().heap().bytes_in_use(), in_use);
    EXPECT_EQ(display().queries, 1u);
}

} // namespace
} // namespace lbw::test
