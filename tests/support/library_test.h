// The test harness: every test gets a freshly loaded library (all of its state zero, as
// at program start) over a substitute host in its default state.
#pragma once

#include "simhost/console.h"
#include "simhost/heap.h"
#include "simhost/host.h"
#include "simhost/loader.h"

#include <gtest/gtest.h>

#include <csignal>
#include <memory>

namespace lbw::test {

class LibraryTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Tests read what the library asked of the host.
        host().record_calls(true);
        host().reset();
        lib_ = std::make_unique<simhost::LoadedLibrary>(LBW_LIBRARY_PATH);
    }
    void TearDown() override { lib_.reset(); }

    simhost::Host &host() { return simhost::Host::instance(); }
    simhost::LoadedLibrary &lib() { return *lib_; }

    // An exported function of the library, typed: fn<size_t(const char *)>("strlen").
    template <class F>
    F *fn(const char *name) {
        return lib_->function<F>(name);
    }
    // An exported variable of the library.
    template <class T>
    T &var(const char *name) {
        return *static_cast<T *>(lib_->symbol(name));
    }
    // Loads a program built for the library beside it; its functions come from program_fn.
    void load_program(const char *path) { program_ = lib_->load_program(path); }
    template <class F>
    F *program_fn(const char *name) {
        return reinterpret_cast<F *>(simhost::LoadedLibrary::program_symbol(program_, name));
    }

private:
    std::unique_ptr<simhost::LoadedLibrary> lib_;
    void *program_ = nullptr;
};

} // namespace lbw::test

// The library stops the machine with cli/hlt; in a Linux process that is a SIGSEGV.
#define EXPECT_HALTS(statement) EXPECT_EXIT(statement, ::testing::KilledBySignal(SIGSEGV), "")
