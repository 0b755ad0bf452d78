// Whole boots in QEMU: the boot host loads the built library file and a program
// built for it, and the program runs on the emulated machine.
#include "tests/baremetal/qemu_session.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace lbw::test {
namespace {

using namespace std::chrono_literals;

class BootTest : public testing::Test {
protected:
    void SetUp() override {
        if (QemuSession::qemu_path()[0] == 0)
            GTEST_SKIP() << "qemu-system-x86_64 was not found when the build was configured";
    }
};

// isa-debug-exit ends QEMU with status 2 * value + 1; the host writes main's value.
constexpr int exit_status_for(int main_value) {
    return main_value * 2 + 1;
}

// hello's own run is compared with the simulator's golden text in examples_test.cpp;
// these cases cover the serial console's line editing and end of input.
TEST_F(BootTest, TheSerialConsoleEchoesAndEditsTheLine) {
    QemuSession qemu(LBW_PROGRAM_HELLO);
    ASSERT_TRUE(qemu.wait_for_output("What is your name? \n")) << qemu.output();
    qemu.send("Adx\x7f" "a\r");
    ASSERT_EQ(qemu.wait_exit(), exit_status_for(0)) << qemu.output();
    EXPECT_NE(qemu.output().find("What is your name? \n"
                                 "Adx\b \ba\n"
                                 "Nice to meet you, Ada.\n"),
              std::string::npos)
        << qemu.output();
}

TEST_F(BootTest, ControlDOnAnEmptyLineEndsTheInput) {
    QemuSession qemu(LBW_PROGRAM_HELLO);
    ASSERT_TRUE(qemu.wait_for_output("What is your name? \n")) << qemu.output();
    qemu.send("\x04");
    ASSERT_EQ(qemu.wait_exit(), exit_status_for(0)) << qemu.output();
    EXPECT_NE(qemu.output().find("What is your name? \n\nNo name given; goodbye.\nlorrinboot: main returned 0\n"),
              std::string::npos)
        << qemu.output();
}

TEST_F(BootTest, InputSentBeforeTheProgramAsksIsKept) {
    QemuSession qemu(LBW_PROGRAM_HELLO);
    qemu.send("Grace\r\n");
    ASSERT_EQ(qemu.wait_exit(), exit_status_for(0)) << qemu.output();
    EXPECT_NE(qemu.output().find("Nice to meet you, Grace.\n"), std::string::npos) << qemu.output();
}

TEST_F(BootTest, ProgramDataPointingAnywhereIsRelocated) {
    QemuSession qemu(LBW_PROGRAM_RELOCATIONS);
    ASSERT_EQ(qemu.wait_exit(), exit_status_for(0)) << qemu.output();
    EXPECT_EQ(qemu.output(), "relocations ok\nlorrinboot: main returned 0\n");
}

TEST_F(BootTest, TheDisplaySizeComesFromTheCommandLine) {
    QemuSession qemu(LBW_PROGRAM_HOST_PROBE, LBW_TEST_FILES, {"-append", "display=640x480"});
    ASSERT_TRUE(qemu.wait_for_output("display drawn\n")) << qemu.output();
    EXPECT_NE(qemu.output().find("\ndisplay 640x480 bpp 32 red 8@16 green 8@8 blue 8@0 usable\n"), std::string::npos)
        << qemu.output();
}

TEST_F(BootTest, FileStreamsWorkOnTheHostsFileStore) {
    QemuSession qemu(LBW_PROGRAM_FILE_LAYER, LBW_TEST_FILES);
    ASSERT_TRUE(qemu.wait_for_output("type a line: \n")) << qemu.output();
    qemu.send("typed words\r");
    ASSERT_EQ(qemu.wait_exit(), exit_status_for(0)) << qemu.output();
    EXPECT_EQ(qemu.output(), "greeting.txt (27 bytes): Hello from the file store.\n"
                             "/notes/./list.txt (8 bytes): one\ntwo\n"
                             "missing.txt: absent\n"
                             "opening missing.txt: no such file\n"
                             "journal.txt (23 bytes): first line\nsecond line\n"
                             "renamed\n"
                             "journal.txt: absent\n"
                             "notes/journal.txt (23 bytes): first line\nsecond line\n"
                             // The stream opened before the replacement still reads the old bytes.
                             "open reader saw: Hello from the file store.\n"
                             "greeting.txt (9 bytes): replaced\n"
                             "removed\n"
                             "second remove failed\n"
                             "type a line: \n"
                             "typed words\n"
                             "stdin gave: typed words\n"
                             "lorrinboot: main returned 0\n");
}

TEST_F(BootTest, ExitEndsTheProgramWithItsStatus) {
    QemuSession qemu(LBW_PROGRAM_EXIT_STATUS);
    ASSERT_TRUE(qemu.wait_for_output("status? \n")) << qemu.output();
    qemu.send("5\r");
    ASSERT_EQ(qemu.wait_exit(), exit_status_for(5)) << qemu.output();
    EXPECT_EQ(qemu.output(), "status? \n5\nbye\nlorrinboot: exit called with 5\n");
}

TEST_F(BootTest, CxxExceptionsAreThrownAndCaughtAcrossFrames) {
    QemuSession qemu(LBW_PROGRAM_THROW_CATCH);
    ASSERT_EQ(qemu.wait_exit(), exit_status_for(0)) << qemu.output();
    EXPECT_EQ(qemu.output(), "unwound frame 3\n"
                             "caught Failure 42 from 6 frames down\n"
                             "caught derived as base\n"
                             "caught 7, rethrowing\n"
                             "caught 7 again\n"
                             "lorrinboot: main returned 0\n");
}

// The host reports what keeps it from starting the program and ends QEMU with 129.
constexpr int kHostFailure = 129;

TEST_F(BootTest, WhatKeepsTheProgramFromStartingIsReported) {
    struct Case {
        std::vector<std::string> modules;
        std::string report;
    };
    const Case cases[] = {
        {{LBW_PROGRAM_HELLO, LBW_PROGRAM_HELLO}, // no library: its references stay open
         "lorrinboot: library: the image refers to a symbol that nothing defines: "},
        {{LBW_LIBRARY_PATH, LBW_TEST_FILES}, "lorrinboot: program: the file is not an ELF file\n"},
        {{LBW_LIBRARY_PATH},
         "lorrinboot: boot modules missing: give the library and the program (and optionally a cpio archive of "
         "files)\n"},
        {{LBW_LIBRARY_PATH, LBW_PROGRAM_HELLO, LBW_PROGRAM_HELLO},
         "lorrinboot: files: the file archive is not a cpio archive in the newc format\n"},
    };
    for (const Case &c : cases) {
        QemuSession qemu(c.modules);
        EXPECT_EQ(qemu.wait_exit(), kHostFailure) << qemu.output();
        EXPECT_EQ(qemu.output().substr(0, c.report.size()), c.report);
    }
}

TEST_F(BootTest, AProcessorExceptionIsReportedInsteadOfAReset) {
    QemuSession qemu(LBW_PROGRAM_TRAP);
    ASSERT_EQ(qemu.wait_exit(), kHostFailure) << qemu.output();
    std::string output = qemu.output();
    EXPECT_EQ(output.rfind("about to trap\nlorrinboot: processor exception 6 (invalid opcode) at 0x", 0), 0u) << output;
    EXPECT_NE(output.find(", error code 0x0000000000000000\n"
                          "lorrinboot: the program was stopped by a processor exception\n"),
              std::string::npos)
        << output;
}

TEST_F(BootTest, AbortHaltsTheProcessorWithInterruptsOff) {
    QemuSession qemu(LBW_PROGRAM_STOP_MACHINE);
    ASSERT_TRUE(qemu.wait_for_output("stopping the machine\n")) << qemu.output();
    // The monitor shows the processor's halt state (HLT=1) and its flags register
    // (RFL= in 64-bit mode, EFL= otherwise) with IF as bit 9.
    std::string registers;
    for (int i = 0; i < 200 && registers.find("HLT=1") == std::string::npos; i++)
        registers = qemu.monitor("info registers");
    EXPECT_NE(registers.find("HLT=1"), std::string::npos) << registers;
    size_t flags_at = registers.find("RFL=");
    if (flags_at == std::string::npos)
        flags_at = registers.find("EFL=");
    ASSERT_NE(flags_at, std::string::npos) << registers;
    unsigned long flags = std::stoul(registers.substr(flags_at + 4, 8), nullptr, 16);
    EXPECT_EQ(flags & 0x200, 0u) << "interrupts are enabled: " << registers;
    EXPECT_NE(qemu.monitor("info status").find("running"), std::string::npos);
    // Still running, halted, and silent after the line before abort.
    EXPECT_EQ(qemu.wait_exit(500ms), -1);
    EXPECT_EQ(qemu.output(), "stopping the machine\n");
}

const char *const kProbeServices =
    "memory map ok\n"
    "heap ok\n"
    "library loaded ./images/../images/tiny.png: 3x2, pixels 255 0 0 255 0 255 0 128 0 0 255 0 16 32 48 64 255 255 255 255 1 2 3 4\n"
    "library loaded /images/broken.png: nothing\n"
    "library loaded greeting.txt: nothing\n"
    "display 1280x720 bpp 32 red 8@16 green 8@8 blue 8@0 usable\n"
    "display drawn\n";

struct Pixel {
    int r, g, b;
    bool operator==(const Pixel &) const = default;
};

// Reads a binary PPM (P6, 8 bits a channel) as QEMU's screendump writes it.
bool read_ppm(const std::string &path, int &width, int &height, std::vector<Pixel> &pixels) {
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int maximum = 0;
    in >> magic >> width >> height >> maximum;
    in.get();
    if (!in || magic != "P6" || maximum != 255 || width <= 0 || height <= 0)
        return false;
    std::vector<unsigned char> bytes(static_cast<size_t>(width) * height * 3);
    in.read(reinterpret_cast<char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!in)
        return false;
    pixels.clear();
    for (size_t i = 0; i < bytes.size(); i += 3)
        pixels.push_back({bytes[i], bytes[i + 1], bytes[i + 2]});
    return true;
}

TEST_F(BootTest, HostServicesAsAProgramSeesThem) {
    QemuSession qemu(LBW_PROGRAM_HOST_PROBE, LBW_TEST_FILES);
    ASSERT_TRUE(qemu.wait_for_output("display drawn\n")) << qemu.output();
    EXPECT_EQ(qemu.output().substr(0, std::string(kProbeServices).size()), kProbeServices);

    // What the program drew is on the screen.
    std::string dump = testing::TempDir() + "/lbw-screendump.ppm";
    qemu.monitor("screendump " + dump);
    int width = 0, height = 0;
    std::vector<Pixel> screen;
    ASSERT_TRUE(read_ppm(dump, width, height, screen));
    std::remove(dump.c_str());
    ASSERT_EQ(width, 1280);
    ASSERT_EQ(height, 720);
    auto at = [&](int x, int y) { return screen[static_cast<size_t>(y) * width + x]; };
    const Pixel background{32, 64, 96}, red{255, 0, 0};
    EXPECT_EQ(at(0, 0), background);
    EXPECT_EQ(at(4, 5), background);
    EXPECT_EQ(at(5, 5), red);
    EXPECT_EQ(at(14, 14), red);
    EXPECT_EQ(at(15, 14), background);
    EXPECT_EQ(at(1279, 719), background);

    // Keys typed on the PS/2 keyboard arrive as character and set-1 scan code.
    ASSERT_TRUE(qemu.wait_for_output("waiting for 7 keyboard keys\n")) << qemu.output();
    for (const char *key : {"a", "shift-a", "ret", "esc", "up", "ctrl-c", "delete"})
        qemu.monitor(std::string("sendkey ") + key);
    // Bytes from a terminal on the serial line arrive as characters alone.
    ASSERT_TRUE(qemu.wait_for_output("waiting for 4 serial keys\n")) << qemu.output();
    qemu.send("x\x1b[A");
    ASSERT_TRUE(qemu.wait_for_output("waiting for the pointer\n")) << qemu.output();
    qemu.monitor("mouse_move 10 5");
    qemu.monitor("mouse_button 1");
    // Keys that wait together still come one per update.
    ASSERT_TRUE(qemu.wait_for_output("waiting for 3 keys, counting them per update\n")) << qemu.output();
    qemu.send("xyz");
    ASSERT_EQ(qemu.wait_exit(), exit_status_for(5)) << qemu.output();
    EXPECT_EQ(qemu.output(), std::string(kProbeServices) +
                                 "waiting for 7 keyboard keys\n"
                                 "keys: 0x1e61 0x1e41 0x1c0d 0x11b 0x4800 0x2e03 0x5300\n"
                                 "waiting for 4 serial keys\n"
                                 "keys: 0x78 0x1b 0x5b 0x41\n"
                                 "waiting for the pointer\n"
                                 "pointer moved 10 5 button 0 down\n"
                                 "waiting for 3 keys, counting them per update\n"
                                 "most keys in one update: 1\n"
                                 "lorrinboot: main returned 5\n");
}

} // namespace
} // namespace lbw::test
