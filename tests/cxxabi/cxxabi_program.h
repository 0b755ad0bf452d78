// The C++ test program (cxxabi_program.cpp), loaded beside the library.
#pragma once

#include "tests/support/library_test.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace lbw::test {

class CxxProgramTest : public LibraryTest {
protected:
    void *program = nullptr;

    void SetUp() override {
        LibraryTest::SetUp();
        program = lib().load_program(LBW_PROGRAM_CXXABI_PROGRAM);
    }

    template <class F>
    F *program_fn(const char *name) {
        return reinterpret_cast<F *>(sim::LoadedLibrary::program_symbol(program, name));
    }

    sim::HostHeap &heap() { return host().heap(); }
};

} // namespace lbw::test
