// The public headers declare every function so that a program compiles and links
// against them and gets the right answers, from C and from C++.
#include "tests/support/library_test.h"

namespace lbw::test {
namespace {

using NumericsHeaderTest = LibraryTest;

TEST_F(NumericsHeaderTest, ProgramBuiltFromThePublicHeadersGetsTheRightAnswers) {
    void *program = lib().load_program(LBW_PROGRAM_NUMERICS_HEADER_PROGRAM);
    auto failures =
        reinterpret_cast<int (*)()>(sim::LoadedLibrary::program_symbol(program, "header_program_failures"));
    ASSERT_NE(failures, nullptr);
    EXPECT_EQ(failures(), 0);
}

} // namespace
} // namespace lbw::test
