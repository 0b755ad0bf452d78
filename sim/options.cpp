#include "sim/options.h"

#include "simhost/heap.h"

#include <cstdio>
#include <cstring>

namespace lbw::sim {

void print_usage() {
    std::fprintf(stderr,
                 "usage: lorrinboot-sim [options] PROGRAM.so\n"
                 "Runs PROGRAM.so (a module exporting int main(void), built for LorrinBootWindow)\n"
                 "in the substitute host and exits with main's value.\n"
                 "\n"
                 "  --library FILE   the library file to run on (default: the one this build made)\n"
                 "  --memory SIZE    cap the host heap (malloc) at SIZE bytes; K, M, G suffixes (default 256M)\n"
                 "  --help           this text\n"
                 "\n"
                 "Console lines go to standard output; console input is read from standard input.\n"
                 "When the program stops the machine (abort, terminate) the simulator says so and exits\n"
                 "with status 250.\n");
}

std::optional<uint64_t> parse_size(const std::string &text) {
    if (text.empty() || text[0] < '0' || text[0] > '9')
        return std::nullopt;
    uint64_t value = 0;
    size_t i = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; i++) {
        if (value > (UINT64_MAX - 9) / 10)
            return std::nullopt;
        value = value * 10 + static_cast<uint64_t>(text[i] - '0');
    }
    unsigned shift = 0;
    if (i < text.size()) {
        switch (text[i]) {
        case 'K': case 'k': shift = 10; break;
        case 'M': case 'm': shift = 20; break;
        case 'G': case 'g': shift = 30; break;
        default: return std::nullopt;
        }
        if (++i != text.size())
            return std::nullopt;
    }
    if (shift && value > (UINT64_MAX >> shift))
        return std::nullopt;
    return value << shift;
}

std::optional<Options> parse_options(int argc, char **argv, const std::string &default_library) {
    Options options{default_library, "", HostHeap::kDefaultLimit};
    for (int i = 1; i < argc; i++) {
        std::string arg = argv[i];
        auto value = [&]() -> std::optional<std::string> {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "lorrinboot-sim: %s needs a value\n", arg.c_str());
                return std::nullopt;
            }
            return std::string(argv[++i]);
        };
        if (arg == "--library") {
            auto v = value();
            if (!v)
                return std::nullopt;
            options.library = *v;
        } else if (arg == "--memory") {
            auto v = value();
            if (!v)
                return std::nullopt;
            auto size = parse_size(*v);
            if (!size || *size == 0) {
                std::fprintf(stderr, "lorrinboot-sim: --memory: '%s' is no size\n", v->c_str());
                return std::nullopt;
            }
            options.memory_limit = *size;
        } else if (!arg.empty() && arg[0] != '-' && options.program.empty()) {
            options.program = arg;
        } else {
            std::fprintf(stderr, "lorrinboot-sim: unknown argument '%s'\n", arg.c_str());
            return std::nullopt;
        }
    }
    if (options.program.empty()) {
        std::fprintf(stderr, "lorrinboot-sim: no program given\n");
        return std::nullopt;
    }
    return options;
}

} // namespace lbw::sim
