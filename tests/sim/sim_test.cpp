// The simulator as its users see it: scripted keys and pointer one per frame, the frame
// limit, screenshots, a real window's keyboard and mouse, and explained mistakes. (Console,
// status and files: every program of tests/baremetal runs in it before it boots in QEMU.)
#include "tests/support/files.h"
#include "tests/support/images.h"
#include "tests/support/simulator.h"

#include <gtest/gtest.h>

#include <sstream>

namespace lbw::test {
namespace {

// The program reports each frame's key words and pointer reports, and draws frame N in a
// colour of its own (red 40 N, green and blue the column and row).
TEST(Simulator, ScriptsArriveOnePerFrameAndScreenshotsShowThePresents) {
    TempFolder shots;
    SimRun run = simulate("--headless --display 64x48 --memory 64M --frames 9 --keys " +
                          shell_word("aZ1!<up><wait><esc><enter><backspace><tab><space><delete*2><lt>/") +
                          " --pointer " + shell_word("10,20  -  63,47:02*2 -5,99999:1 20,10") +
                          " --screenshot-every 4 --screenshot " + shots / "s.png " LBW_PROGRAM_SIM_HOST_DISPLAY);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "frame 1 key 1e61\nframe 1 pointer flags 1 buttons 0 at 10,20 range 63,47\n"
                       "frame 2 key 2c5a\n"
                       "frame 3 key 231\nframe 3 pointer flags 1 buttons 5 at 63,47 range 63,47\n"
                       "frame 4 key 221\nframe 4 pointer flags 1 buttons 5 at 63,47 range 63,47\n"
                       "frame 5 key 4800\nframe 5 pointer flags 1 buttons 2 at -5,99999 range 63,47\n"
                       "frame 6 pointer flags 1 buttons 0 at 20,10 range 63,47\n"
                       "frame 7 key 1700\nframe 8 key 1c0d\nframe 9 key e08\n");
    EXPECT_NE(run.err.find("stopped after 9 presents"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("screenshot written to " + shots / "s.png"), std::string::npos) << run.err;
    EXPECT_EQ(file_names(shots.path()), (std::vector<std::string>{"s-0004.png", "s-0008.png", "s.png"}));
    EXPECT_EQ(read_png(shots / "s-0004.png").at(0, 0), 0xA00000u);
    Image last = read_png(shots / "s.png");
    ASSERT_TRUE(last.ok());
    ASSERT_EQ(last.width * 1000 + last.height, 64048u);
    EXPECT_EQ(last.at(0, 0), 0x680000u); // frame 9: red 360 & 0xFF
    EXPECT_EQ(last.at(63, 47), 0x683F2Fu);
    // The program ends first ('q') and keeps its status.
    run = simulate("--headless --frames 50 --keys xq " LBW_PROGRAM_SIM_HOST_DISPLAY);
    EXPECT_EQ(run.status, 3);
    EXPECT_EQ(run.out, "frame 1 key 2d78\nframe 2 key 1071\n");
    // Without --root the files are those of the current folder.
    EXPECT_EQ(simulate(LBW_PROGRAM_EXIT_STATUS, "6", "cd " + shots.path() + " &&").status, 6);
    EXPECT_EQ(read_file(shots / "left-open.txt"), "written, never closed\n");
}

TEST(Simulator, MistakesAreExplained) {
    const std::pair<const char *, const char *> cases[] = {
        {"", "usage"},
        {"--keys '<nope>'", "no key named 'nope'"},
        {"--keys 'a<up'", "'<' without '>'"},
        {"--keys '<up*0>'", "bad count"},
        {"--keys '<wait*600000><wait*600000>'", "million"},
        {"--pointer '1,2:3'", "is no pointer event"},
        {"--pointer '1;2'", "is no pointer event"},
        {"--pointer '1,2*'", "is no pointer event"},
        {"--pointer '12345678,1'", "is no pointer event"},
        {"--display 0x5", "--display"},
        {"--display 20000x10", "--display"},
        {"--display 640x480x", "--display"},
        {"--memory 12X", "--memory"},
        {"--frames 0", "--frames"},
        {"--screenshot-every 2", "needs --screenshot"},
        {"--screenshot /nonexistent-folder/x.png --frames 1", "/nonexistent-folder/x.png"},
        {"--root /nonexistent-folder", "cannot open the file folder"},
        {"--window", "cannot open a window"}, // there is no screen
    };
    for (auto [options, complaint] : cases) {
        SimRun run = simulate(std::string(options) + (*options ? " " LBW_PROGRAM_SIM_HOST_DISPLAY : ""), "",
                              "env -u DISPLAY -u WAYLAND_DISPLAY");
        EXPECT_EQ(run.status, 2) << options;
        EXPECT_NE(run.err.find(complaint), std::string::npos) << options << "\n" << run.err;
        EXPECT_EQ(run.out, "") << options;
    }
    SimRun missing = simulate("/nonexistent/program.so");
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.err.find("cannot load the program"), std::string::npos) << missing.err;
}

// Lines of the program's report that start, after "frame N ", with `kind`; repeats in a
// row dropped.
std::vector<std::string> reports(const std::string &text, const std::string &kind) {
    std::vector<std::string> found;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::string report = line.substr(line.find(' ', line.find(' ') + 1) + 1);
        if (report.rfind(kind, 0) == 0 && (found.empty() || found.back() != report))
            found.push_back(report);
    }
    return found;
}

// Keys and mouse of the window (typed by xdotool through the X server) reach the
// program's polls. A busy machine can lose the race with focus and mapping on an X
// server without a window manager: up to three tries.
TEST(Simulator, KeyboardAndMouseOfTheWindowReachTheProgram) {
    Xvfb server("1024x768x24");
    ASSERT_FALSE(server.display().empty()) << "Xvfb did not start";
    const std::vector<std::string> keys = {"key 2368", "key 1769", "key 4800", "key 1700", "key e08",
                                           "key 5300", "key 1c0d", "key 2e03", "key 1071"};
    const std::vector<std::string> pointer_end = {
        "pointer flags 1 buttons 1 at 20,10 range 63,47", "pointer flags 1 buttons 1 at 30,20 range 63,47",
        "pointer flags 1 buttons 0 at 30,20 range 63,47",
        "pointer flags 1 buttons 2 at 30,20 range 63,47", // a right click shorter than a frame
        "pointer flags 1 buttons 0 at 30,20 range 63,47"};
    std::string out, status;
    std::vector<std::string> pointer;
    for (int attempt = 0; attempt < 3; attempt++) {
        TempFolder folder("live");
        std::string script =
            "cd " + folder.path() + " && { " + server.environment(60) + " " LBW_SIMULATOR " --window --display 64x48 " +
            LBW_PROGRAM_SIM_HOST_DISPLAY " >out 2>err & }; sim=$!; export DISPLAY=" + server.display() + "; "
            "w=$(timeout 30 xdotool search --sync --name 'lorrinboot-sim: sim_host_display') && "
            "timeout 30 xdotool windowfocus --sync $w mousemove --window $w --sync 20 10 mousedown 1 "
            "mousemove --window $w --sync 30 20 mouseup 1 click 3 type hi && "
            "timeout 30 xdotool key Up Escape BackSpace Delete Return ctrl+c q; wait $sim; echo $? >status";
        std::system(("bash -c " + shell_word(script)).c_str());
        out = read_file(folder / "out");
        status = read_file(folder / "status");
        pointer = reports(out, "pointer");
        if (pointer.size() >= pointer_end.size())
            pointer.erase(pointer.begin(), pointer.end() - pointer_end.size());
        if (status == "3\n" && reports(out, "key") == keys && pointer == pointer_end)
            break;
    }
    EXPECT_EQ(status, "3\n");
    EXPECT_EQ(reports(out, "key"), keys) << out;
    EXPECT_EQ(pointer, pointer_end) << out;
}

} // namespace
} // namespace lbw::test
