// A program behaves alike on the bare machine (QEMU) and in the substitute host behind
// the simulator: a window program fed the same inputs one at a time leaves the same
// picture on the display (QEMU's standard VGA, read back with the monitor's
// screendump), pixel for pixel, and arithmetic gives the same bits.
#include "simhost/console.h"
#include "simhost/display.h"
#include "tests/baremetal/qemu_session.h"
#include "tests/support/library_test.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace lbw::test {
namespace {

constexpr uint32_t kDisplayWidth = 1280, kDisplayHeight = 720; // the boot host's default mode
constexpr size_t kSteps = 6;

// Key words of each step, as the boot host delivers them: the terminal sequence for
// the right cursor key, PS/2 down, a serial 'g', PS/2 'b', (the mouse), PS/2 left.
const std::vector<uint32_t> kStepKeys[kSteps] = {{0x1B, 0x5B, 0x43}, {0x5000}, {0x67}, {0x3062}, {}, {0x4B00}};
constexpr size_t kMouseStep = 5;
constexpr int32_t kMouseX = 30, kMouseY = 20;

// The substitute host hands out the inputs of step N once the program has printed
// "ready" and the N - 1 "step" lines before it, as the test does with QEMU below.
size_t current_step() {
    return sim::Host::instance().console().lines.size();
}

size_t gKeyStep, gKeyWord;

uint32_t scripted_poll_key() {
    size_t step = current_step();
    if (step < 1 || step > kSteps)
        return 0;
    if (gKeyStep != step) {
        gKeyStep = step;
        gKeyWord = 0;
    }
    return gKeyWord < kStepKeys[step - 1].size() ? kStepKeys[step - 1][gKeyWord++] : 0;
}

bool gMouseMoved;

int scripted_poll_pointer(LmBaremetalProgramPointerState *state) {
    if (current_step() != kMouseStep || gMouseMoved)
        return 0;
    gMouseMoved = true;
    state->flags = LM_POINTER_RELATIVE;
    state->relative_x = kMouseX;
    state->relative_y = kMouseY;
    return 1;
}

bool read_ppm(const std::string &path, uint32_t &width, uint32_t &height, std::vector<uint8_t> &rgb) {
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int maximum = 0;
    in >> magic >> width >> height >> maximum;
    in.get();
    if (!in || magic != "P6" || maximum != 255)
        return false;
    rgb.resize(size_t{width} * height * 3);
    in.read(reinterpret_cast<char *>(rgb.data()), static_cast<std::streamsize>(rgb.size()));
    return static_cast<bool>(in);
}

class BothHostsTest : public LibraryTest {};

TEST_F(BothHostsTest, TheBareMachineShowsTheSameFrameAsTheSubstituteHost) {
    if (QemuSession::qemu_path()[0] == 0)
        GTEST_SKIP() << "qemu-system-x86_64 was not found when the build was configured";

    host().display().set_mode(kDisplayWidth, kDisplayHeight);
    host().set_entry(LM_ENTRY_POLL_KEY, &scripted_poll_key);
    host().set_entry(LM_ENTRY_POLL_POINTER, &scripted_poll_pointer);
    auto program_main = reinterpret_cast<int (*)()>(
        sim::LoadedLibrary::program_symbol(lib().load_program(LBW_PROGRAM_FRAME_STEPS), "main"));
    ASSERT_EQ(program_main(), 0);
    std::vector<std::string> expected_lines = {"ready"};
    for (size_t step = 1; step <= kSteps; step++)
        expected_lines.push_back("step " + std::to_string(step));
    expected_lines.push_back("final frame");
    ASSERT_EQ(host().console().lines, expected_lines);
    // The 160 x 100 window fills the display's height: 1152 x 720 at x = 64. Its square
    // ended at (40, 40), blue after the last colour key.
    uint8_t square[3];
    host().display().unpack(64 + 45 * 1152 / 160, 45 * 720 / 100, square);
    ASSERT_EQ(std::vector<uint8_t>(square, square + 3), (std::vector<uint8_t>{20, 30, 250}));

    QemuSession qemu(LBW_PROGRAM_FRAME_STEPS);
    ASSERT_TRUE(qemu.wait_for_output("ready\n")) << qemu.output();
    qemu.send("\x1b[C");
    ASSERT_TRUE(qemu.wait_for_output("step 1\n")) << qemu.output();
    qemu.monitor("sendkey down");
    ASSERT_TRUE(qemu.wait_for_output("step 2\n")) << qemu.output();
    qemu.send("g");
    ASSERT_TRUE(qemu.wait_for_output("step 3\n")) << qemu.output();
    qemu.monitor("sendkey b");
    ASSERT_TRUE(qemu.wait_for_output("step 4\n")) << qemu.output();
    qemu.monitor("mouse_move " + std::to_string(kMouseX) + " " + std::to_string(kMouseY));
    ASSERT_TRUE(qemu.wait_for_output("step 5\n")) << qemu.output();
    qemu.monitor("sendkey left");
    ASSERT_TRUE(qemu.wait_for_output("final frame\n")) << qemu.output();

    std::string dump = testing::TempDir() + "/lbw-frame-steps.ppm";
    qemu.monitor("screendump " + dump);
    uint32_t width = 0, height = 0;
    std::vector<uint8_t> screen;
    ASSERT_TRUE(read_ppm(dump, width, height, screen));
    std::remove(dump.c_str());
    ASSERT_EQ(width, kDisplayWidth);
    ASSERT_EQ(height, kDisplayHeight);

    size_t differing = 0;
    std::string first;
    for (uint32_t y = 0; y < height; y++) {
        for (uint32_t x = 0; x < width; x++) {
            uint8_t expected[3];
            host().display().unpack(x, y, expected);
            const uint8_t *seen = &screen[(size_t{y} * width + x) * 3];
            if (seen[0] != expected[0] || seen[1] != expected[1] || seen[2] != expected[2]) {
                if (differing++ == 0)
                    first = "first at " + std::to_string(x) + "," + std::to_string(y);
            }
        }
    }
    EXPECT_EQ(differing, 0u) << first;

    qemu.send("\r");
    EXPECT_EQ(qemu.wait_exit(), 1) << qemu.output();
}

// Console output of a program run to its end in the substitute host, one line each.
std::string substitute_host_output(sim::LoadedLibrary &library, const char *program) {
    auto program_main =
        reinterpret_cast<int (*)()>(sim::LoadedLibrary::program_symbol(library.load_program(program), "main"));
    int status = program_main();
    std::string text;
    for (const std::string &line : sim::Host::instance().console().lines)
        text += line + "\n";
    return text + "lorrinboot: main returned " + std::to_string(status) + "\n";
}

TEST_F(BothHostsTest, ArithmeticGivesTheSameBitsOnBothHosts) {
    if (QemuSession::qemu_path()[0] == 0)
        GTEST_SKIP() << "qemu-system-x86_64 was not found when the build was configured";
    std::string expected = substitute_host_output(lib(), LBW_PROGRAM_NUMBERS);
    ASSERT_NE(expected.find("sqrt(2) = 1.41421"), std::string::npos) << expected;
    QemuSession qemu(LBW_PROGRAM_NUMBERS);
    ASSERT_EQ(qemu.wait_exit(), 1) << qemu.output();
    EXPECT_EQ(qemu.output(), expected);
}

} // namespace
} // namespace lbw::test
