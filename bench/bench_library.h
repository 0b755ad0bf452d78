// Benchmarks load the built library into the substitute host once per process, as the
// tests do, and call it through its exports.
#pragma once

#include "simhost/host.h"
#include "simhost/heap.h"
#include "simhost/loader.h"

#include <memory>

namespace lbw::bench {

inline simhost::LoadedLibrary &library() {
    static std::unique_ptr<simhost::LoadedLibrary> lib = [] {
        simhost::Host::instance();
        return std::make_unique<simhost::LoadedLibrary>(LBW_LIBRARY_PATH);
    }();
    return *lib;
}

template <class F>
F *fn(const char *name) {
    return library().function<F>(name);
}

} // namespace lbw::bench
