// Programs built against the public headers get the right answers from C and from C++.
#include "tests/support/library_test.h"

namespace lbw::test {
namespace {

using LibcHeaderTest = LibraryTest;

TEST_F(LibcHeaderTest, ProgramsBuiltFromThePublicHeadersGetTheRightAnswers) {
    for (const char *path : {LBW_PROGRAM_LIBC_HEADER_C_PROGRAM, LBW_PROGRAM_LIBC_HEADER_CXX_PROGRAM}) {
        auto failures = reinterpret_cast<int (*)(const char *)>(
            simhost::LoadedLibrary::program_symbol(lib().load_program(path), "libc_header_failures"));
        ASSERT_NE(failures, nullptr) << path;
        EXPECT_EQ(failures("hello"), 0) << path;
    }
}

} // namespace
} // namespace lbw::test
