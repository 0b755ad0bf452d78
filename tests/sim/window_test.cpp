// The simulator with a real window, on a private X server: what the program presents
// reaches the window, and a screenshot of the window shows it.
#include "tests/sim/sim_run.h"
#include "tests/sim/xvfb.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <vector>

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

// Lines of `text` that start, after "frame N ", with `kind`; repeats in a row dropped.
std::vector<std::string> reports(const std::string &text, const std::string &kind) {
    std::vector<std::string> found;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        size_t space = line.find(' ', line.find(' ') + 1);
        std::string report = space == std::string::npos ? line : line.substr(space + 1);
        if (report.rfind(kind, 0) == 0 && (found.empty() || found.back() != report))
            found.push_back(report);
    }
    return found;
}

// What the program printed while keys were typed and the mouse was moved on its window
// (through the X server's test extension, by xdotool), and its exit status.
struct LiveRun {
    std::string status, out, err;
};

LiveRun run_live(const Xvfb &server) {
    std::string dir = fresh_folder("live");
    std::string environment = window_environment(server, 60);
    // The program reports every frame's input until it receives 'q'. xdotool waits for
    // the window, then acts; X delivers its events in order.
    std::string script =
        "cd " + dir + " && { " + environment + " " LBW_SIMULATOR " --window --display 64x48 " +
        LBW_PROGRAM_SIM_HOST_DISPLAY " >out 2>err & }; sim=$!; "
        "export DISPLAY=" + server.display() + "; "
        "w=$(timeout 30 xdotool search --sync --name 'lorrinboot-sim: sim_host_display') && "
        "timeout 30 xdotool windowfocus --sync $w mousemove --window $w --sync 20 10 mousedown 1 "
        "mousemove --window $w --sync 30 20 mouseup 1 click 3 type hi && "
        "timeout 30 xdotool key Up Escape BackSpace Delete Return ctrl+c q; "
        "wait $sim; echo $? >status";
    std::system(("bash -c " + shell_quoted(script)).c_str());
    LiveRun run{slurp(dir + "/status"), slurp(dir + "/out"), slurp(dir + "/err")};
    std::filesystem::remove_all(dir);
    return run;
}

// The library's formatter ignores widths: "e08" is 0x0E08.
const std::vector<std::string> kExpectedKeys = {"key 2368", "key 1769", "key 4800", "key 1700", "key e08",
                                                "key 5300", "key 1c0d", "key 2e03", "key 1071"};
const std::vector<std::string> kExpectedPointerEnd = {
    "pointer flags 1 buttons 1 at 20,10 range 63,47", // left button down
    "pointer flags 1 buttons 1 at 30,20 range 63,47", // dragged
    "pointer flags 1 buttons 0 at 30,20 range 63,47", // released
    "pointer flags 1 buttons 2 at 30,20 range 63,47", // right click, seen though shorter than a frame
    "pointer flags 1 buttons 0 at 30,20 range 63,47",
};

bool as_expected(const LiveRun &run) {
    std::vector<std::string> pointer = reports(run.out, "pointer");
    if (run.status != "3\n" || reports(run.out, "key") != kExpectedKeys || pointer.size() < kExpectedPointerEnd.size())
        return false;
    return std::vector<std::string>(pointer.end() - kExpectedPointerEnd.size(), pointer.end()) == kExpectedPointerEnd;
}

// Keys and mouse of the window reach the program's polls as key words and pointer
// reports. A run on a busy machine can lose the race with the window manager-less X
// server (focus, window mapping), so the run is tried up to three times.
TEST(SimulatorWindow, KeyboardAndMouseOfTheWindowReachTheProgram) {
    Xvfb server("1024x768x24");
    ASSERT_FALSE(server.display().empty()) << server.error();
    LiveRun run = run_live(server);
    for (int attempt = 1; attempt < 3 && !as_expected(run); attempt++)
        run = run_live(server);
    EXPECT_EQ(run.status, "3\n") << run.err;
    EXPECT_EQ(reports(run.out, "key"), kExpectedKeys) << run.out;
    std::vector<std::string> pointer = reports(run.out, "pointer");
    ASSERT_GE(pointer.size(), kExpectedPointerEnd.size()) << run.out;
    EXPECT_EQ(std::vector<std::string>(pointer.end() - kExpectedPointerEnd.size(), pointer.end()), kExpectedPointerEnd)
        << run.out;
    for (size_t i = 0; i + kExpectedPointerEnd.size() < pointer.size(); i++)
        EXPECT_NE(pointer[i].find("buttons 0 "), std::string::npos) << "before the script, no button: " << pointer[i];
}

} // namespace
} // namespace lbw::test
