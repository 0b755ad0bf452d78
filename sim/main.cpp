// lorrinboot-sim: runs a program built for LorrinBootWindow inside the substitute host.
// Console lines go to standard output, read_line reads standard input.
#include "simhost/console.h"
#include "simhost/heap.h"
#include "simhost/host.h"
#include "simhost/loader.h"

#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

namespace {

void usage() {
    std::fprintf(stderr,
                 "usage: lorrinboot-sim [--library FILE] PROGRAM.so\n"
                 "Runs PROGRAM.so (a module exporting int main(void)) on the library in the\n"
                 "substitute host; exits with main's value.\n");
}

} // namespace

int main(int argc, char **argv) {
    std::string library = LBW_LIBRARY_PATH;
    std::string program;
    for (int i = 1; i < argc; i++) {
        if (std::strcmp(argv[i], "--library") == 0 && i + 1 < argc) {
            library = argv[++i];
        } else if (std::strcmp(argv[i], "--help") == 0) {
            usage();
            return 0;
        } else if (argv[i][0] != '-' && program.empty()) {
            program = argv[i];
        } else {
            usage();
            return 2;
        }
    }
    if (program.empty()) {
        usage();
        return 2;
    }

    try {
        lbw::sim::Host &host = lbw::sim::Host::instance();
        host.heap().recording = false;
        host.console().recording = false;
        host.console().echo = stdout;
        host.console().input = stdin;

        lbw::sim::LoadedLibrary lib(library);
        void *handle = lib.load_program(program);
        auto program_main = reinterpret_cast<int (*)()>(lbw::sim::LoadedLibrary::program_symbol(handle, "main"));
        int status = program_main();
        std::fflush(stdout);
        return status;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "lorrinboot-sim: %s\n", e.what());
        return 2;
    }
}
