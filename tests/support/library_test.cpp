#include "tests/support/library_test.h"

namespace lbw::test {

void LibraryTest::SetUp() {
    // Tests read what the library asked of the host.
    host().record_calls(true);
    host().reset();
    lib_ = std::make_unique<sim::LoadedLibrary>(LBW_LIBRARY_PATH);
}

void LibraryTest::TearDown() {
    lib_.reset();
}

} // namespace lbw::test
