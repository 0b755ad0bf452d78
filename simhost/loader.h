// Loads the library into a link-map namespace of its own (dlmopen), and programs built
// for it into the same namespace, so that their calls reach the library and never the
// process's own C library.
#pragma once

#include <string>
#include <vector>

namespace lbw::simhost {

class LoadedLibrary {
public:
    // Loads the library file; throws std::runtime_error with dlerror's text on failure.
    explicit LoadedLibrary(const std::string &path);
    ~LoadedLibrary();
    LoadedLibrary(const LoadedLibrary &) = delete;
    LoadedLibrary &operator=(const LoadedLibrary &) = delete;

    // An exported symbol of the library, or null.
    void *find(const char *name) const;
    // An exported symbol of the library; throws when it is missing.
    void *symbol(const char *name) const;
    template <class F>
    F *function(const char *name) const {
        return reinterpret_cast<F *>(symbol(name));
    }

    // Loads a program built for the library into the library's namespace; returns its
    // handle. Throws on failure.
    void *load_program(const std::string &path);
    static void *program_symbol(void *program, const char *name);

private:
    void *handle_ = nullptr;
    std::vector<void *> programs_;
};

} // namespace lbw::simhost
