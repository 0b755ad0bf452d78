#include "simhost/loader.h"

#include "simhost/host.h"

#include <dlfcn.h>
#include <link.h>

#include <stdexcept>

namespace lbw::simhost {

LoadedLibrary::LoadedLibrary(const std::string &path) {
    Host::instance(); // the fixed areas exist before any library code can run
    handle_ = dlmopen(LM_ID_NEWLM, path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_)
        throw std::runtime_error(std::string("cannot load the library: ") + dlerror());
}

LoadedLibrary::~LoadedLibrary() {
    for (auto it = programs_.rbegin(); it != programs_.rend(); ++it)
        dlclose(*it);
    dlclose(handle_);
}

void *LoadedLibrary::find(const char *name) const {
    return dlsym(handle_, name);
}

void *LoadedLibrary::symbol(const char *name) const {
    void *p = find(name);
    if (!p)
        throw std::runtime_error(std::string("the library does not export ") + name);
    return p;
}

void *LoadedLibrary::load_program(const std::string &path) {
    Lmid_t namespace_id;
    if (dlinfo(handle_, RTLD_DI_LMID, &namespace_id) != 0)
        throw std::runtime_error(std::string("cannot find the library's namespace: ") + dlerror());
    void *program = dlmopen(namespace_id, path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!program)
        throw std::runtime_error(std::string("cannot load the program: ") + dlerror());
    programs_.push_back(program);
    return program;
}

void *LoadedLibrary::program_symbol(void *program, const char *name) {
    void *p = dlsym(program, name);
    if (!p)
        throw std::runtime_error(std::string("the program does not export ") + name);
    return p;
}

} // namespace lbw::simhost
