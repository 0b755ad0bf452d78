// The examples as a user runs them: headless with scripted keys and pointer, their
// console output and final screenshot compared with golden files; paint also in a real
// window on a private X server. LBW_WRITE_GOLDEN=1 rewrites the golden files. (hello's
// run is the one tests/baremetal compares with QEMU.)
#include "tests/support/files.h"
#include "tests/support/images.h"
#include "tests/support/simulator.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace lbw::test {
namespace {

const std::string kGolden = LBW_SOURCE_DIR "/tests/examples/golden/";

// Console text and screenshot (when `shot` is given) against name.txt and name.png.
void expect_golden(const std::string &name, const SimRun &run, const std::string &shot = "") {
    if (std::getenv("LBW_WRITE_GOLDEN")) {
        write_file(kGolden + name + ".txt", run.out);
        if (!shot.empty())
            std::filesystem::copy_file(shot, kGolden + name + ".png", std::filesystem::copy_options::overwrite_existing);
    }
    EXPECT_EQ(run.out, read_file(kGolden + name + ".txt")) << "console output differs from " << name;
    if (!shot.empty())
        EXPECT_EQ(differing_pixels(read_png(shot), read_png(kGolden + name + ".png")), 0) << "pixels differ from " << name;
}

// paint with the script of the paint-demo target, which ends in Escape: in a window the
// screenshot is read back from the window, so the last present reached it.
TEST(Examples, PaintDrawsStrokesStampsAndClosesOnEscape) {
    Xvfb server;
    ASSERT_FALSE(server.display().empty()) << "Xvfb did not start";
    for (std::string mode : {"--headless", "--window"}) {
        TempFolder shots;
        SimRun run = simulate(mode + " --keys " + shell_word(LBW_PAINT_KEYS) + " --pointer " + shell_word(LBW_PAINT_POINTER) +
                                  " --frames 200 --screenshot " + shots / "paint.png " LBW_PROGRAM_PAINT,
                              "", mode == "--window" ? server.environment() : "");
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.err.find("stopped after"), std::string::npos) << "Escape ended the program, not the frame limit";
        expect_golden("paint", run, shots / "paint.png");
    }
}

TEST(Examples, ViewerLetterboxesThePictureAndFindsNothingOutsideItsRoot) {
    TempFolder base, shots;
    std::filesystem::create_directories(base / "root/pictures");
    std::filesystem::copy_file(LBW_SAMPLE_DIR "/sample.png", base / "root/pictures/sample.png");
    std::filesystem::copy_file(LBW_SAMPLE_DIR "/sample.png", base / "sample.png");
    std::filesystem::create_symlink(base / "sample.png", base / "root/link.png");
    SimRun run = simulate("--headless --display 640x360 --frames 4 --pointer 600,40 --root " + base / "root" +
                              " --screenshot " + shots / "viewer.png " LBW_PROGRAM_VIEWER,
                          "pictures/./sample.png\n");
    EXPECT_EQ(run.status, 0) << run.err;
    expect_golden("viewer", run, shots / "viewer.png");
    for (const std::string &name : {std::string("../sample.png"), base / "sample.png", std::string("link.png")}) {
        SimRun outside = simulate("--headless --frames 2 --root " + base / "root " LBW_PROGRAM_VIEWER, name + "\n");
        EXPECT_EQ(outside.status, 1) << name;
        EXPECT_NE(outside.out.find("viewer: cannot load " + name), std::string::npos) << outside.out;
    }
}

} // namespace
} // namespace lbw::test
