// The examples on the bare machine, against what the simulator shows for the same
// input: hello's console (the simulator's golden text) and paint's picture (the
// simulator's screenshot of the same keys, compared with QEMU's screendump).
#include "tests/baremetal/qemu_session.h"
#include "tests/sim/sim_run.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace lbw::test {
namespace {

class ExamplesOnQemuTest : public testing::Test {
protected:
    void SetUp() override {
        if (QemuSession::qemu_path()[0] == 0)
            GTEST_SKIP() << "qemu-system-x86_64 was not found when the build was configured";
    }
};

std::string read_text(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The text without its last `count` lines.
std::string drop_last_lines(const std::string &text, int count) {
    size_t end = text.size();
    for (int i = 0; i < count && end > 0; i++)
        end = text.rfind('\n', end - 2) == std::string::npos ? 0 : text.rfind('\n', end - 2) + 1;
    return text.substr(0, end);
}

// The screen as QEMU's monitor dumps it, compared with a simulator screenshot: the
// number of pixels that differ, or -1 when the dump is unreadable or of another size.
long differing_pixels(QemuSession &qemu, const std::string &dump, const Png &expected) {
    qemu.monitor("screendump " + dump);
    std::ifstream in(dump, std::ios::binary);
    std::string magic;
    uint32_t width = 0, height = 0;
    int maximum = 0;
    in >> magic >> width >> height >> maximum;
    in.get();
    if (!in || magic != "P6" || maximum != 255 || width != expected.width || height != expected.height)
        return -1;
    std::vector<uint8_t> screen(size_t{width} * height * 3);
    in.read(reinterpret_cast<char *>(screen.data()), static_cast<std::streamsize>(screen.size()));
    if (!in)
        return -1;
    long differing = 0;
    for (size_t i = 0; i < screen.size(); i += 3)
        differing += screen[i] != expected.rgb[i] || screen[i + 1] != expected.rgb[i + 1] ||
                     screen[i + 2] != expected.rgb[i + 2];
    return differing;
}

TEST_F(ExamplesOnQemuTest, HelloPrintsTheSimulatorsGoldenText) {
    // The archive holds guests.txt with "Ada", as the simulator's test folder does.
    QemuSession qemu(LBW_PROGRAM_HELLO, LBW_HELLO_FILES);
    ASSERT_TRUE(qemu.wait_for_output("What is your name? \n")) << qemu.output();
    qemu.send("Grace\r");
    ASSERT_EQ(qemu.wait_exit(), 1) << qemu.output();
    // The serial console echoes what is typed; the simulator's standard input does not.
    std::string expected = read_text(LBW_SOURCE_DIR "/tests/examples/golden/hello.txt");
    size_t question = expected.find("What is your name? \n");
    ASSERT_NE(question, std::string::npos);
    expected.insert(question + 20, "Grace\n");
    EXPECT_EQ(qemu.output(), expected + "lorrinboot: main returned 0\n");
}

// What a terminal sends over the serial line for a simulator key script: characters as
// themselves, cursor keys as their escape sequences; <wait> sends nothing.
std::string serial_bytes(const std::string &script) {
    std::string bytes;
    for (size_t i = 0; i < script.size(); i++) {
        if (script[i] != '<') {
            bytes.push_back(script[i]);
            continue;
        }
        size_t close = script.find('>', i);
        std::string name = script.substr(i + 1, close - i - 1);
        i = close;
        int count = 1;
        if (size_t star = name.find('*'); star != std::string::npos) {
            count = std::stoi(name.substr(star + 1));
            name.resize(star);
        }
        std::string sent = name == "up" ? "\x1b[A" : name == "down" ? "\x1b[B" : name == "right" ? "\x1b[C"
                         : name == "left" ? "\x1b[D" : name == "space" ? " " : name == "enter" ? "\r" : "";
        for (int n = 0; n < count; n++)
            bytes += sent;
    }
    return bytes;
}

// Cursor moves, tools chosen and stamped, and an unknown tool last.
const char *const kPaintKeys = "1<right*4> 3<down*3> <left*2>4<left*8> <up*2> 7";

TEST_F(ExamplesOnQemuTest, PaintLeavesTheSimulatorsPictureOnTheScreen) {
    std::string folder = fresh_folder("paint_qemu");
    // A small display keeps the emulated machine's frames quick.
    SimRun run = simulate("--headless --display 640x360 --keys " + shell_quoted(kPaintKeys) + " --frames 80 --screenshot " + folder +
                          "/paint.png " LBW_PROGRAM_PAINT);
    ASSERT_NE(run.out.find("paint: no tool on key 7\n"), std::string::npos) << run.out << run.err;
    Png expected = read_png(folder + "/paint.png");
    ASSERT_TRUE(expected.ok);

    QemuSession qemu(LBW_PROGRAM_PAINT, "", {"-append", "display=640x360"});
    ASSERT_TRUE(qemu.wait_for_output("Escape closes\n")) << qemu.output();
    qemu.send(serial_bytes(kPaintKeys));
    // Keys arrive one per update, in order: once the last one has been seen, the picture
    // the keys before it drew is on the screen.
    ASSERT_TRUE(qemu.wait_for_output("paint: no tool on key 7\n")) << qemu.output();
    // Paint keeps presenting the same frame; a screen dump may land while one present is
    // under way (rows written, pointer not yet drawn), so a few are taken.
    long differing = -1;
    for (int attempt = 0; attempt < 50 && differing != 0; attempt++)
        differing = differing_pixels(qemu, folder + "/qemu.ppm", expected);
    EXPECT_EQ(differing, 0);

    qemu.send("\x03"); // Ctrl-C closes the window
    ASSERT_EQ(qemu.wait_exit(), 1) << qemu.output();
    // The same console lines, up to the closing one.
    EXPECT_EQ(drop_last_lines(qemu.output(), 2), run.out) << "the simulator stopped at its frame limit";
}

TEST_F(ExamplesOnQemuTest, ViewerShowsTheSamplePictureAsTheSimulatorDoes) {
    // The host's PNG decoder (stb_image) against the simulator's (libpng).
    std::string folder = fresh_folder("viewer_qemu");
    SimRun run = simulate("--headless --display 640x360 --frames 4 --root " LBW_SAMPLE_DIR " --screenshot " + folder +
                              "/viewer.png " LBW_PROGRAM_VIEWER,
                          "\n");
    ASSERT_EQ(run.status, 0) << run.err;
    Png expected = read_png(folder + "/viewer.png");
    ASSERT_TRUE(expected.ok);
    ASSERT_NE(expected.at(320, 180), 0x24262Eu) << "the picture, not the background, fills the middle";

    QemuSession qemu(LBW_PROGRAM_VIEWER, LBW_VIEWER_FILES, {"-append", "display=640x360"});
    ASSERT_TRUE(qemu.wait_for_output("(empty for sample.png)\n")) << qemu.output();
    qemu.send("\r");
    ASSERT_TRUE(qemu.wait_for_output("Escape closes\n")) << qemu.output();
    // The window is presented black first, then with the picture.
    long differing = -1;
    for (int attempt = 0; attempt < 200 && differing != 0; attempt++)
        differing = differing_pixels(qemu, folder + "/qemu.ppm", expected);
    EXPECT_EQ(differing, 0);
    qemu.send("\x03");
    ASSERT_EQ(qemu.wait_exit(), 1) << qemu.output();
    // The simulator stopped at its frame limit; the serial console echoed the empty line.
    std::string expected_text = run.out;
    expected_text.insert(expected_text.find('\n') + 1, "\n");
    EXPECT_EQ(drop_last_lines(qemu.output(), 2), expected_text);
}

} // namespace
} // namespace lbw::test
