// A program compiled against the public headers uses the file layer end to end.
#include "tests/fs/file_test.h"

namespace lbw::test {
namespace {

using FileProgramTest = FileTest;

TEST_F(FileProgramTest, ProgramWritesReadsAndReportsThroughTheConsole) {
    void *program = lib().load_program(LBW_PROGRAM_FILE_PROGRAM);
    auto program_main = reinterpret_cast<int (*)()>(sim::LoadedLibrary::program_symbol(program, "main"));
    EXPECT_EQ(program_main(), 0);
    EXPECT_EQ(store().contents("notes.txt"), "first line\n");
    EXPECT_EQ(host().console().lines, (std::vector<std::string>{"first line", "no such file"}));
    EXPECT_EQ(var<Stream *>("stdout"), nullptr);
    EXPECT_EQ(host().heap().bytes_in_use(), 0u);
}

} // namespace
} // namespace lbw::test
