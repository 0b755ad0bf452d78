// The examples as a user runs them: headless with scripted keys and pointer, their
// console output and final screenshot compared with golden files; paint also in a real
// window on a private X server. LBW_WRITE_GOLDEN=1 rewrites the golden files.
#include "tests/sim/sim_run.h"
#include "tests/sim/xvfb.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace lbw::test {
namespace {

namespace fsys = std::filesystem;

const fsys::path kGolden = fsys::path(LBW_SOURCE_DIR) / "tests/examples/golden";

bool writing_golden() {
    return std::getenv("LBW_WRITE_GOLDEN") != nullptr;
}

void expect_golden_text(const std::string &name, const std::string &actual) {
    if (writing_golden())
        std::ofstream(kGolden / name, std::ios::binary) << actual;
    ASSERT_TRUE(fsys::exists(kGolden / name)) << "missing golden text " << name;
    EXPECT_EQ(actual, slurp(kGolden / name)) << "console output differs from " << name;
}

void expect_golden_png(const std::string &name, const std::string &actual_path) {
    if (writing_golden())
        fsys::copy_file(actual_path, kGolden / name, fsys::copy_options::overwrite_existing);
    Png actual = read_png(actual_path), expected = read_png(kGolden / name);
    ASSERT_TRUE(actual.ok) << actual_path;
    ASSERT_TRUE(expected.ok) << "missing golden image " << name;
    ASSERT_EQ(actual.width, expected.width);
    ASSERT_EQ(actual.height, expected.height);
    size_t differing = 0;
    for (size_t i = 0; i < actual.rgb.size(); i += 3)
        differing += !std::equal(&actual.rgb[i], &actual.rgb[i] + 3, &expected.rgb[i]);
    EXPECT_EQ(differing, 0u) << "pixels differing from " << name;
}

// paint with the script of the paint-demo target, which ends in Escape.
std::string paint_options() {
    return "--keys " + shell_quoted(LBW_PAINT_KEYS) + " --pointer " + shell_quoted(LBW_PAINT_POINTER) + " --frames 200";
}

TEST(Examples, PaintDrawsStrokesStampsAndClosesOnEscape) {
    std::string dir = fresh_folder("paint");
    SimRun run = simulate("--headless " + paint_options() + " --screenshot " + dir + "/paint.png " LBW_PROGRAM_PAINT);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err.find("stopped after"), std::string::npos) << "Escape ended the program, not the frame limit";
    expect_golden_text("paint.txt", run.out);
    expect_golden_png("paint.png", dir + "/paint.png");
    fsys::remove_all(dir);
}

TEST(Examples, PaintInAWindowShowsWhatHeadlessDraws) {
    Xvfb server("1600x900x24");
    ASSERT_FALSE(server.display().empty()) << server.error();
    std::string dir = fresh_folder("paint_window");
    SimRun run = simulate("--window " + paint_options() + " --screenshot " + dir + "/window.png " LBW_PROGRAM_PAINT,
                          "", window_environment(server));
    ASSERT_EQ(run.status, 0) << run.err;
    expect_golden_text("paint.txt", run.out);
    // The screenshot is read back from the window: the last present reached it.
    expect_golden_png("paint.png", dir + "/window.png");
    fsys::remove_all(dir);
}

TEST(Examples, ViewerLetterboxesThePicture) {
    std::string root = fresh_folder("viewer"), shots = fresh_folder("viewer_shots");
    fsys::create_directories(fsys::path(root) / "pictures");
    fsys::copy_file(fsys::path(LBW_SAMPLE_DIR) / "sample.png", fsys::path(root) / "pictures/sample.png");
    SimRun run = simulate("--headless --display 640x360 --frames 4 --pointer 600,40 --root " + root +
                              " --screenshot " + shots + "/viewer.png " LBW_PROGRAM_VIEWER,
                          "pictures/./sample.png\n");
    EXPECT_EQ(run.status, 0) << run.err;
    expect_golden_text("viewer.txt", run.out);
    expect_golden_png("viewer.png", shots + "/viewer.png");
    fsys::remove_all(root);
    fsys::remove_all(shots);
}

TEST(Examples, ViewerFindsNothingOutsideItsRoot) {
    std::string base = fresh_folder("viewer_outside");
    fsys::create_directories(fsys::path(base) / "root");
    fsys::copy_file(fsys::path(LBW_SAMPLE_DIR) / "sample.png", fsys::path(base) / "sample.png");
    fsys::create_symlink(fsys::path(base) / "sample.png", fsys::path(base) / "root/link.png");
    for (const std::string &name : std::vector<std::string>{"../sample.png", base + "/sample.png", "link.png", "missing.png"}) {
        SimRun run = simulate("--headless --frames 2 --root " + base + "/root " LBW_PROGRAM_VIEWER, name + "\n");
        EXPECT_EQ(run.status, 1) << name;
        EXPECT_NE(run.out.find("viewer: cannot load " + name), std::string::npos) << run.out;
    }
    fsys::remove_all(base);
}

TEST(Examples, HelloGreetsAndKeepsTheGuestBook) {
    std::string root = fresh_folder("hello");
    std::ofstream(fsys::path(root) / "guests.txt") << "Ada\n";
    SimRun run = simulate("--headless --root " + root + " " LBW_PROGRAM_HELLO, "Grace\n");
    EXPECT_EQ(run.status, 0) << run.err;
    expect_golden_text("hello.txt", run.out);
    EXPECT_EQ(slurp(fsys::path(root) / "guests.txt"), "Ada\nGrace\n");

    SimRun silent = simulate("--headless --root " + root + " " LBW_PROGRAM_HELLO, "");
    EXPECT_EQ(silent.status, 0);
    EXPECT_NE(silent.out.find("No name given; goodbye."), std::string::npos) << silent.out;
    EXPECT_EQ(slurp(fsys::path(root) / "guests.txt"), "Ada\nGrace\n");
    fsys::remove_all(root);
}

} // namespace
} // namespace lbw::test
