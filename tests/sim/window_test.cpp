// The simulator with a real window, on a private X server: what the program presents
// reaches the window, and a screenshot of the window shows it.
#include "tests/sim/sim_run.h"
#include "tests/sim/xvfb.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace lbw::test {
namespace {

TEST(SimulatorWindow, PresentsReachTheWindow) {
    Xvfb server("1024x768x24");
    ASSERT_FALSE(server.display().empty()) << server.error();
    std::string dir = fresh_folder("window");
    // The script covers every frame, so the X server's own pointer never takes over.
    std::string options = "--display 64x48 --frames 3 --pointer '20,10*5' --screenshot ";
    SimRun shown = simulate("--window " + options + dir + "/window.png " LBW_PROGRAM_SIM_HOST_DISPLAY, "",
                            window_environment(server));
    ASSERT_EQ(shown.status, 0) << shown.err;
    SimRun headless = simulate("--headless " + options + dir + "/headless.png " LBW_PROGRAM_SIM_HOST_DISPLAY);
    ASSERT_EQ(headless.status, 0) << headless.err;
    EXPECT_EQ(shown.out, headless.out);

    Png window = read_png(dir + "/window.png"), expected = read_png(dir + "/headless.png");
    ASSERT_TRUE(window.ok);
    ASSERT_EQ(window.width, 64u);
    ASSERT_EQ(window.height, 48u);
    EXPECT_EQ(window.at(18, 8), 0xFFFFFFu);
    EXPECT_EQ(window.at(0, 0), 0x780000u) << "the third frame's colour";
    EXPECT_TRUE(window.rgb == expected.rgb) << "the window shows exactly what was presented";
    std::filesystem::remove_all(dir);
}

} // namespace
} // namespace lbw::test
