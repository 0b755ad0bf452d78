// The shell as a user meets it, in the simulator and on the bare machine: each row is a session (files in the
// store, lines typed) and what the console shows and the exit status must be.
#include "tests/support/files.h"
#include "tests/support/qemu.h"
#include "tests/support/simulator.h"

#include <gtest/gtest.h>

#include <map>

namespace lbw::test {
namespace {

const char kBanner[] = "LorrinLua Desktop For LorrinBoot\n"
                       "type Lua code at the LorrinBoot prompt and press Enter\n"
                       "type exit or press Esc on an empty prompt to leave\n"
                       "autoruns index.lua if it is present\n"
                       "use dofile(\"name.lua\") to run files from disk\n\n";

struct Session {
    const char *name;
    std::map<std::string, std::string> files;
    std::string input;
    std::string shown; // the console after the banner
    int status;
};

const Session kSessions[] = {
    {"ExpressionsPrintTheirValues", {}, "1 + 1\nx = 'a', 2\n'a', nil, 3\n",
     "> \n2\n> \n> \na\tnil\t3\n> \n", 0},
    {"IncompleteChunksContinueOnTheNextLine", {}, "for i = 1, 2 do\nprint(i)\nend\n",
     "> \n>> \n>> \n1\n2\n> \n", 0},
    {"ErrorsShowMessageAndTracebackAndThePromptComesBack", {}, "error('boom')\nprint 'after'\n",
     "> \nstdin:1: boom\nstack traceback:\n\t[C]: in function 'error'\n\tstdin:1: in main chunk\n\t[C]: in ?\n"
     "> \nafter\n> \n", 0},
    {"SyntaxErrorsAreReported", {}, "x = = 1\n", "> \nstdin:1: unexpected symbol near '='\n> \n", 0},
    {"InputEndingInsideAChunkReportsIt", {}, "if true then\n", "> \n>> \nstdin:1: 'end' expected near <eof>\n> \n",
     0},
    {"HelpPrintsTheVersionLine", {}, "help\n", "> \nEmbedded Version:: LorrinLua 0.2\n\n> \n", 0},
    {"ExitLeavesAtOnce", {}, " exit \nprint 'never'\n", "> \n", 0},
    {"OsExitEndsWithItsStatus", {}, "io.write('bye') os.exit(7)\n", "> \nbye\n", 7},
    {"IndexLuaRunsFirst", {{"index.lua", "print('autorun', ...)\nanswer = 42"}}, "answer\n",
     "autorun\n> \n42\n> \n", 0},
    {"ErrorsInIndexLuaAreReported", {{"index.lua", "error('bad start', 0)"}}, "",
     "bad start\nstack traceback:\n\t[C]: in function 'error'\n\tindex.lua:1: in main chunk\n\t[C]: in ?\n> \n", 0},
    {"FilesRequireAndDofileUseTheStore", {{"mod.lua", "return {x = 'from mod'}"}, {"run.lua", "return 5"}},
     "print(require('mod').x, dofile('run.lua'))\n"
     "f = io.open('a.txt', 'w') f:write('1.5\\nxyz') f:close()\n"
     "f = io.open('a.txt') print(f:read('n'), f:read('a')) f:close()\n",
     "> \nfrom mod\t5\n> \n> \n1.5\t\nxyz\n> \n", 0},
    {"NumbersReadAndPrintExactly", {},
     "print(1/3, -0.0, 2^63, 1e308 * 10, string.format('%5.2f|%a|%q', math.pi, 1.0, 0.1))\n"
     "print(tonumber('0x1p4'), tonumber('1e-400'), 0x7fffffffffffffff, math.mininteger // -1)\n",
     "> \n0.33333333333333\t-0.0\t9.2233720368548e+18\tinf\t 3.14|0x1p+0|0x1.999999999999ap-4\n"
     "> \n16.0\t0.0\t9223372036854775807\t-9223372036854775808\n> \n",
     0},
};

void PrintTo(const Session &session, std::ostream *out) {
    *out << session.name;
}

class ShellTest : public ::testing::TestWithParam<Session> {};

TEST_P(ShellTest, ConsoleShowsWhatTheUserExpects) {
    const Session &session = GetParam();
    TempFolder root("shell");
    for (const auto &[name, text] : session.files)
        write_file(root / name, text);
    SimRun run = simulate("--headless --root " + root.path() + " " LBW_PROGRAM_LORRINLUA, session.input);
    EXPECT_EQ(run.out, kBanner + session.shown) << run.err;
    EXPECT_EQ(run.status, session.status);
}

INSTANTIATE_TEST_SUITE_P(Sessions, ShellTest, ::testing::ValuesIn(kSessions),
                         [](const auto &info) { return std::string(info.param.name); });

// The same shell on the bare machine, its console on the serial line.
TEST(ShellOnQemuTest, RunsWhatIsTypedOnTheSerialLine) {
    if (!Qemu::available())
        GTEST_SKIP() << "qemu-system-x86_64 was not found when the build was configured";
    Qemu qemu(LBW_PROGRAM_LORRINLUA);
    ASSERT_TRUE(qemu.wait_for("> \n")) << qemu.output();
    qemu.send("print(1+1)\r");
    EXPECT_TRUE(qemu.wait_for("\n2\n> \n")) << qemu.output();
    qemu.send("os.exit(3)\r");
    EXPECT_EQ(qemu.wait_exit(), qemu_status(3)) << qemu.output();
}

} // namespace
} // namespace lbw::test
