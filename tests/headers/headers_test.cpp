// Programs built against the public headers link to the library and run.
#include "simhost/files.h"
#include "tests/support/library_test.h"

#include <string>
#include <vector>

namespace lbw::test {
namespace {

class HeadersTest : public LibraryTest, public ::testing::WithParamInterface<const char *> {};

TEST_P(HeadersTest, ProgramGetsTheRightAnswers) {
    load_program(GetParam());
    EXPECT_EQ(program_fn<int()>("main")(), 0) << "failed checks";
    EXPECT_EQ(host().console().lines,
              (std::vector<std::string>{"first line", "failed checks 0", "flushed", "error shown"}));
    EXPECT_EQ(host().files().memory().contents("notes.txt"), "first line\n");
    EXPECT_EQ(host().heap().bytes_in_use(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Programs, HeadersTest,
                         ::testing::Values(LBW_PROGRAM_HEADERS_C_PROGRAM, LBW_PROGRAM_HEADERS_CXX_PROGRAM),
                         [](const auto &info) { return info.index ? "Cxx" : "C"; });

} // namespace
} // namespace lbw::test
