// Programs built against the public headers link to the library and run.
#include "tests/support/library_test.h"

#include <string>
#include <vector>

namespace lbw::test {
namespace {

using HeadersTest = LibraryTest;

void run_and_check(simhost::LoadedLibrary &lib, simhost::Host &host, const char *path) {
    void *program = lib.load_program(path);
    auto main_ = reinterpret_cast<int (*)()>(simhost::LoadedLibrary::program_symbol(program, "main"));
    ASSERT_NE(main_, nullptr);
    EXPECT_EQ(main_(), 0) << "failed checks";
    EXPECT_EQ(host.console().lines, (std::vector<std::string>{"failed checks 0", "flushed", "error shown"}));
    EXPECT_EQ(host.heap().bytes_in_use(), 0u);
}

TEST_F(HeadersTest, CProgram) {
    run_and_check(lib(), host(), LBW_PROGRAM_HEADERS_C_PROGRAM);
}

TEST_F(HeadersTest, CxxProgram) {
    run_and_check(lib(), host(), LBW_PROGRAM_HEADERS_CXX_PROGRAM);
}

} // namespace
} // namespace lbw::test
