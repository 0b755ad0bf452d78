// The simulator's display and input, driven by a program that uses the host's display,
// key and pointer services directly: one scripted key and one pointer event per frame,
// the frame limit, and screenshots of what the program drew.
#include "tests/sim/sim_run.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace lbw::test {
namespace {

const std::string kProgram = LBW_PROGRAM_SIM_HOST_DISPLAY;

// Headless, on a small display, with the given further options.
SimRun run_display(const std::string &options) {
    return simulate("--headless --display 64x48 " + options + " " + kProgram);
}

TEST(SimulatorDisplay, ScriptedKeysArriveOnePerFrameAsKeyWords) {
    SimRun run = run_display("--frames 9 --keys " + shell_quoted("aZ<up><wait*2><esc><enter><delete*2><lt>"));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "frame 1 key 1e61\n"  // 'a' on its key (scan code 0x1E)
                       "frame 2 key 2c5a\n"  // 'Z'
                       "frame 3 key 4800\n"  // cursor up: scan code alone
                       "frame 6 key 1700\n"  // Escape as the firmware's close report
                       "frame 7 key 1c0d\n"  // Enter
                       "frame 8 key 5300\n"  // Delete
                       "frame 9 key 5300\n");
    EXPECT_NE(run.err.find("stopped after 9 presents"), std::string::npos) << run.err;
}

TEST(SimulatorDisplay, KeysAfterTheFrameLimitAreNeverDelivered) {
    SimRun run = run_display("--frames 2 --keys abcq");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "frame 1 key 1e61\nframe 2 key 3062\n");
}

TEST(SimulatorDisplay, ProgramThatEndsFirstKeepsItsStatus) {
    SimRun run = run_display("--frames 50 --keys xq");
    EXPECT_EQ(run.status, 3);
    EXPECT_EQ(run.out, "frame 1 key 2d78\nframe 2 key 1071\n");
}

TEST(SimulatorDisplay, PointerEventsArriveOnePerFrameInDisplayPixels) {
    SimRun run = run_display("--frames 5 --pointer " + shell_quoted("10,20  -  63,47:02*2 -5,99999:1"));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "frame 1 pointer flags 1 buttons 0 at 10,20 range 63,47\n"
                       "frame 3 pointer flags 1 buttons 5 at 63,47 range 63,47\n"
                       "frame 4 pointer flags 1 buttons 5 at 63,47 range 63,47\n"
                       "frame 5 pointer flags 1 buttons 2 at -5,99999 range 63,47\n");
}

TEST(SimulatorDisplay, ScreenshotShowsTheLastPresent) {
    std::string dir = fresh_folder("shot");
    SimRun run = run_display("--frames 3 --pointer 20,10 --screenshot " + dir + "/shot.png");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("screenshot written to " + dir + "/shot.png"), std::string::npos) << run.err;
    Png png = read_png(dir + "/shot.png");
    ASSERT_TRUE(png.ok);
    ASSERT_EQ(png.width, 64u);
    ASSERT_EQ(png.height, 48u);
    // Frame 3 drew red 120, green the column, blue the row, and a white square at 20,10.
    EXPECT_EQ(png.at(0, 0), 0x780000u);
    EXPECT_EQ(png.at(63, 47), 0x783F2Fu);
    EXPECT_EQ(png.at(5, 40), 0x780528u);
    EXPECT_EQ(png.at(18, 8), 0xFFFFFFu);
    EXPECT_EQ(png.at(22, 12), 0xFFFFFFu);
    EXPECT_EQ(png.at(23, 12), 0x78170Cu);
    std::filesystem::remove_all(dir);
}

TEST(SimulatorDisplay, ScreenshotsEveryNPresentsAreNumbered) {
    std::string dir = fresh_folder("every");
    SimRun run = run_display("--frames 5 --screenshot-every 2 --screenshot " + dir + "/s.png");
    ASSERT_EQ(run.status, 0) << run.err;
    std::vector<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(dir))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"s-0002.png", "s-0004.png", "s.png"}));
    EXPECT_EQ(read_png(dir + "/s-0002.png").at(0, 0), 0x500000u);
    EXPECT_EQ(read_png(dir + "/s-0004.png").at(0, 0), 0xA00000u);
    EXPECT_EQ(read_png(dir + "/s.png").at(0, 0), 0xC80000u);
    std::filesystem::remove_all(dir);
}

TEST(SimulatorDisplay, NoScreenMeansHeadless) {
    std::string dir = fresh_folder("noscreen");
    SimRun run = simulate("--display 8x8 --frames 1 --screenshot " + dir + "/a.png " + kProgram, "",
                          "env -u DISPLAY -u WAYLAND_DISPLAY");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(read_png(dir + "/a.png").ok);
    SimRun forced = simulate("--window --frames 1 " + kProgram, "", "env -u DISPLAY -u WAYLAND_DISPLAY");
    EXPECT_EQ(forced.status, 2);
    EXPECT_NE(forced.err.find("cannot open a window"), std::string::npos) << forced.err;
    EXPECT_EQ(forced.out, "") << "the program never ran";
    std::filesystem::remove_all(dir);
}

TEST(SimulatorDisplay, ScreenshotThatCannotBeWrittenFailsTheRun) {
    SimRun run = run_display("--frames 1 --screenshot /nonexistent-folder/x.png");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("/nonexistent-folder/x.png"), std::string::npos) << run.err;
}

TEST(SimulatorDisplay, MalformedScriptsAndSizesAreExplained) {
    struct Case {
        const char *options, *complaint;
    };
    const Case cases[] = {
        {"--keys '<nope>'", "no key named 'nope'"},
        {"--keys 'a<up'", "'<' without '>'"},
        {"--keys '<up*0>'", "bad count"},
        {"--keys '<up*99999999>'", "bad count"},
        {"--pointer '1,2:3'", "is no pointer event"},
        {"--pointer '1;2'", "is no pointer event"},
        {"--pointer '1,'", "is no pointer event"},
        {"--pointer '1,2*'", "is no pointer event"},
        {"--pointer '1,2:'", "is no pointer event"},
        {"--display 0x5", "--display"},
        {"--display 640", "--display"},
        {"--display 20000x10", "--display"},
        {"--frames 0", "--frames"},
        {"--frames -3", "--frames"},
        {"--screenshot-every 2", "needs --screenshot"},
        {"--root /nonexistent-folder", "cannot open the file folder"},
    };
    for (const Case &c : cases) {
        SimRun run = run_display(c.options);
        EXPECT_EQ(run.status, 2) << c.options;
        EXPECT_NE(run.err.find(c.complaint), std::string::npos) << c.options << "\n" << run.err;
        EXPECT_EQ(run.out, "") << c.options;
    }
}

} // namespace
} // namespace lbw::test
