// Programs built against the public headers get the right answers from C and from C++.
#include "tests/support/library_test.h"

namespace lbw::test {
namespace {

using LibcHeaderTest = LibraryTest;

int failures_of(sim::LoadedLibrary &lib, const char *path) {
    void *program = lib.load_program(path);
    auto failures =
        reinterpret_cast<int (*)(const char *)>(sim::LoadedLibrary::program_symbol(program, "libc_header_failures"));
    return failures ? failures("hello") : -1;
}

TEST_F(LibcHeaderTest, CProgram) {
    EXPECT_EQ(failures_of(lib(), LBW_PROGRAM_LIBC_HEADER_C_PROGRAM), 0);
}

TEST_F(LibcHeaderTest, CxxProgram) {
    EXPECT_EQ(failures_of(lib(), LBW_PROGRAM_LIBC_HEADER_CXX_PROGRAM), 0);
}

} // namespace
} // namespace lbw::test
