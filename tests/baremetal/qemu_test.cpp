// Each example and test program run once in the simulator (the files it leaves checked)
// and booted once in QEMU, compared with that run: console text, exit status and screen.
// The serial console echoes what is typed, the simulator's standard input does not. Then
// what only the emulated machine shows: a halt with interrupts off, the memory map, the
// PS/2 keyboard and mouse, a processor exception.
#include "tests/support/files.h"
#include "tests/support/qemu.h"
#include "tests/support/simulator.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

namespace lbw::test {
namespace {

using namespace std::chrono_literals;

struct Boot {
    const char *name, *program;
    std::string files;       // the file store's folder (copied for the simulator's --root)
    std::string archive;     // the same files packed for QEMU
    std::string display;     // a window program's display, on both machines
    std::string options;     // further simulator options
    std::string typed;       // typed on the serial line once `prompt` has appeared
    const char *prompt;
    std::string echo;        // what the serial console shows of the typing
    std::string input;       // the same typing on the simulator's standard input
    const char *window_done; // a window program: its screen is compared once this line
                             // appears, then Ctrl-C closes it (the simulator stops at a
                             // frame limit: the last two lines differ)
    bool exits = false;      // ends through exit rather than by returning from main
    const char *left = nullptr, *left_text = nullptr; // a file the simulator's run leaves
    const char *golden = nullptr; // the simulator's console text, in tests/examples/golden
};

// Cursor moves, tools chosen and stamped, and an unknown tool last; on the serial line
// as a terminal sends them.
const char *const kPaintKeys = "1<right*4> 3<down*3> <left*2>4<left*8> <up*2> 7";
const char *const kPaintSerial = "1\x1b[C\x1b[C\x1b[C\x1b[C 3\x1b[B\x1b[B\x1b[B \x1b[D\x1b[D"
                                 "4\x1b[D\x1b[D\x1b[D\x1b[D\x1b[D\x1b[D\x1b[D\x1b[D \x1b[A\x1b[A 7";

const Boot kBoots[] = {
    // The simulator takes CR LF on standard input as a line end.
    {"Hello", LBW_PROGRAM_HELLO, LBW_HELLO_DIR, LBW_HELLO_FILES, "", "", "Gx\x7frace\r", "What is your name? \n",
     "Gx\b \brace\n", "Grace\r\n", nullptr, false, "guests.txt", "Ada\nGrace\n", "hello.txt"},
    {"HelloAtTheEndOfInput", LBW_PROGRAM_HELLO, LBW_HELLO_DIR, LBW_HELLO_FILES, "", "", "\x04", "What is your name? \n",
     "\n", "", nullptr},
    {"FileLayer", LBW_PROGRAM_FILE_LAYER, LBW_FILES_DIR, LBW_TEST_FILES, "", "", "typed words\r", "type a line: \n",
     "typed words\n", "typed words\n", nullptr},
    // Static constructors, relocations against the library's type_info vtables, and
    // every exception scenario.
    {"Exceptions", LBW_PROGRAM_EXCEPTIONS_PROGRAM, "", "", "", "", "", nullptr, "", "", nullptr},
    {"Paint", LBW_PROGRAM_PAINT, "", "", "640x360", std::string("--frames 80 --keys ") + shell_word(kPaintKeys),
     kPaintSerial, "Escape closes\n", "", "", "paint: no tool on key 7\n"},
    // The host's PNG decoder (stb_image) against the simulator's (libpng).
    {"Viewer", LBW_PROGRAM_VIEWER, LBW_SAMPLE_DIR, LBW_VIEWER_FILES, "640x360", "--frames 4", "\r",
     "(empty for sample.png)\n", "\n", "\n", "Escape closes\n"},
    // exit with the typed status (a last line without its line feed): the last words,
    // without a line feed, and a file never closed reach the host.
    {"Exit", LBW_PROGRAM_EXIT_STATUS, "", "", "", "", "5\r", "status? \n", "5\n", "5", nullptr, true, "left-open.txt",
     "written, never closed\n"},
};

void PrintTo(const Boot &boot, std::ostream *out) {
    *out << boot.name;
}

#define SKIP_WITHOUT_QEMU()                                                                                        \
    if (!Qemu::available())                                                                                        \
    GTEST_SKIP() << "qemu-system-x86_64 was not found when the build was configured"

class QemuTest : public testing::TestWithParam<Boot> {};

// The text without its last `count` lines.
std::string drop_last_lines(std::string text, int count) {
    for (int i = 0; i < count && !text.empty(); i++)
        text.erase(text.find_last_of('\n', text.size() - 2) + 1);
    return text;
}

TEST_P(QemuTest, RunsAsInTheSimulator) {
    const Boot &boot = GetParam();
    TempFolder root("root"), shots("shots");
    if (!boot.files.empty())
        std::filesystem::copy(boot.files, root.path(), std::filesystem::copy_options::recursive);
    std::vector<std::string> arguments; // for QEMU
    if (!boot.display.empty())
        arguments = {"-append", "display=" + boot.display};
    SimRun sim = simulate("--headless --root " + root.path() + (arguments.empty() ? "" : " --display " + boot.display) +
                              " " + boot.options + " --screenshot " + shots / "sim.png " + boot.program, boot.input);
    ASSERT_NE(sim.status, -1) << sim.err;
    if (boot.left)
        EXPECT_EQ(read_file(root / boot.left), boot.left_text);
    if (boot.golden)
        EXPECT_EQ(sim.out, read_file(LBW_SOURCE_DIR "/tests/examples/golden/" + std::string(boot.golden)));
    SKIP_WITHOUT_QEMU();

    Qemu qemu(boot.program, boot.archive, arguments);
    if (boot.prompt) {
        ASSERT_TRUE(qemu.wait_for(boot.prompt)) << qemu.output();
        qemu.send(boot.typed);
    }
    std::string expected =
        sim.out + (boot.exits ? "lorrinboot: exit called with " : "lorrinboot: main returned ") + std::to_string(sim.status) + "\n";
    if (boot.window_done) {
        // Keys arrive one per frame: once the last one has shown, the picture of the keys
        // is final. A dump may land while a present is under way: a few are taken.
        ASSERT_TRUE(qemu.wait_for(boot.window_done)) << qemu.output();
        Image screen = read_png(shots / "sim.png");
        long differing = -1;
        for (int attempt = 0; attempt < 100 && differing != 0; attempt++)
            differing = differing_pixels(qemu.screendump(), screen);
        EXPECT_EQ(differing, 0);
        qemu.send("\x03");
        expected = sim.out;
    }
    EXPECT_EQ(qemu.wait_exit(), qemu_status(sim.status)) << qemu.output();
    std::string output = qemu.output();
    if (boot.prompt)
        output.erase(output.find(boot.echo, output.find(boot.prompt) + strlen(boot.prompt)), boot.echo.size());
    EXPECT_EQ(boot.window_done ? drop_last_lines(output, 2) : output, expected);
}

INSTANTIATE_TEST_SUITE_P(Programs, QemuTest, testing::ValuesIn(kBoots),
                         [](const testing::TestParamInfo<Boot> &info) { return info.param.name; });

class BareMachineTest : public testing::Test {
    void SetUp() override { SKIP_WITHOUT_QEMU(); }
};

// abort halts the processor with interrupts off; the simulator reports the stop.
TEST_F(BareMachineTest, AbortHaltsWithInterruptsOff) {
    SimRun sim = simulate(LBW_PROGRAM_STOP_MACHINE);
    EXPECT_EQ(sim.status, 250);
    EXPECT_NE(sim.err.find("program stopped the machine"), std::string::npos) << sim.err;
    Qemu qemu(LBW_PROGRAM_STOP_MACHINE);
    ASSERT_TRUE(qemu.wait_for(sim.out)) << qemu.output();
    // The monitor shows the halt (HLT=1) and the flags (RFL= in 64-bit mode) with IF as bit 9.
    std::string registers;
    for (int i = 0; i < 200 && registers.find("HLT=1") == std::string::npos; i++)
        registers = qemu.monitor("info registers");
    size_t flags = registers.find("RFL=");
    ASSERT_NE(flags, std::string::npos) << registers;
    EXPECT_NE(registers.find("HLT=1"), std::string::npos) << registers;
    EXPECT_EQ(std::stoul(registers.substr(flags + 4, 8), nullptr, 16) & 0x200, 0u) << registers;
    EXPECT_EQ(qemu.wait_exit(500ms), -1) << "still running, halted";
    EXPECT_EQ(qemu.output(), sim.out);
}

// The memory map, keys and the mouse on the PS/2 controller as the program sees them,
// and a processor exception reported on the serial line.
TEST_F(BareMachineTest, MemoryMapKeyboardMouseAndAProcessorException) {
    Qemu qemu(LBW_PROGRAM_HOST_PROBE);
    ASSERT_TRUE(qemu.wait_for("waiting for 7 keys\n")) << qemu.output();
    for (const char *key : {"a", "shift-a", "ret", "esc", "up", "ctrl-c", "delete"})
        qemu.monitor(std::string("sendkey ") + key);
    ASSERT_TRUE(qemu.wait_for("waiting for the pointer\n")) << qemu.output();
    qemu.monitor("mouse_move 10 5");
    qemu.monitor("mouse_button 1");
    ASSERT_EQ(qemu.wait_exit(), 129) << qemu.output();
    const std::string output = qemu.output();
    const std::string report = "lorrinboot: processor exception 6 (invalid opcode) at 0x";
    EXPECT_EQ(output.substr(0, output.find(report) + report.size()),
              "memory map ok\n"
              "waiting for 7 keys\n"
              "keys: 0x1e61 0x1e41 0x1c0d 0x11b 0x4800 0x2e03 0x5300\n"
              "waiting for the pointer\n"
              "pointer moved 10 5 flags 2\n" + report);
    EXPECT_NE(output.find(", error code 0x0000000000000000\n"
                          "lorrinboot: the program was stopped by a processor exception\n"),
              std::string::npos)
        << output;
}

} // namespace
} // namespace lbw::test
