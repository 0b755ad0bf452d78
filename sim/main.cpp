// lorrinboot-sim: runs a program built for LorrinBootWindow inside the substitute host.
#include "sim/machine_stop.h"
#include "sim/options.h"
#include "sim/session.h"
#include "simhost/console.h"
#include "simhost/directory_file_store.h"
#include "simhost/files.h"
#include "simhost/heap.h"
#include "simhost/host.h"
#include "simhost/images.h"
#include "simhost/loader.h"

#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <string>

using namespace lbw;

namespace {

// An installed simulator runs on the library beside it (PREFIX/bin/.. /lib); a simulator
// in the build tree on the library that build made.
std::string default_library() {
    std::error_code error;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) {
        auto installed = exe.parent_path().parent_path() / "lib" / "LorrinBootWindow";
        if (std::filesystem::is_regular_file(installed, error))
            return installed.string();
    }
    return LBW_LIBRARY_PATH;
}

// The probe heap gets the memory the host owns for it, described in both map forms.
void describe_memory(simhost::Host &host) {
    using simhost::Host;
    LmBootHandoff &handoff = host.handoff();
    handoff.memory_top = static_cast<uint32_t>(Host::kProbeMemoryEnd);
    handoff.legacy_count = 1;
    handoff.legacy_map[0] = {static_cast<uint32_t>(Host::kProbeMemoryStart),
                             static_cast<uint32_t>(Host::kProbeMemoryEnd - Host::kProbeMemoryStart)};
    handoff.wide_count = 1;
    handoff.wide_map[0] = {Host::kProbeMemoryStart, Host::kProbeMemoryEnd - Host::kProbeMemoryStart};
    handoff.wide_magic = LM_BOOT_WIDE_MAP_MAGIC;
}

} // namespace

int main(int argc, char **argv) {
    for (int i = 1; i < argc; i++)
        if (std::strcmp(argv[i], "--help") == 0) {
            lbw::sim::print_usage();
            return 0;
        }
    auto options = lbw::sim::parse_options(argc, argv, default_library());
    if (!options) {
        lbw::sim::print_usage();
        return 2;
    }

    try {
        simhost::Host &host = simhost::Host::instance();
        host.heap().reset(options->memory_limit);
        host.console().echo = stdout;
        host.console().input = stdin;
        host.console().observer = lbw::sim::remember_console_line;
        describe_memory(host);
        // Files and images both come from the root folder.
        simhost::DirectoryFileStore store(options->root);
        host.files().use(&store);
        host.images().root = std::filesystem::absolute(options->root).string();

        simhost::LoadedLibrary lib(options->library);
        // A bare file name would send the loader searching the library path.
        void *handle = lib.load_program(std::filesystem::absolute(options->program).string());
        auto program_main = reinterpret_cast<int (*)()>(simhost::LoadedLibrary::program_symbol(handle, "main"));
        lbw::sim::Session session(*options, host);
        lbw::sim::report_machine_stops();
        int status = program_main();
        std::fflush(stdout);
        status = session.finish(status);
        host.files().use(nullptr);
        return status;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "lorrinboot-sim: %s\n", e.what());
        return 2;
    }
}
