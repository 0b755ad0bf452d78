#include "sim/options.h"

#include "sim/scripted_input.h"
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
                 "Display\n"
                 "  --display WxH        size of the host's display, 32-bit XRGB (default 1280x720)\n"
                 "  --headless           no window; automatic when there is no screen ($DISPLAY and\n"
                 "                       $WAYLAND_DISPLAY unset or no window can be opened)\n"
                 "  --window             always show the display in a window; fail if none opens\n"
                 "  --screenshot FILE    write the display as a PNG when the program ends (in a\n"
                 "                       window: what the window showed)\n"
                 "  --screenshot-every N also every N presents, as FILE with the present's number\n"
                 "                       before the extension (shot.png: shot-0010.png, ...)\n"
                 "  --frames N           stop after N presents (createWindow's counts) and exit 0\n"
                 "\n"
                 "Scripted input, one entry per frame (per round of the library's key polls)\n"
                 "  --keys TEXT          characters are typed as themselves; named keys in angle\n"
                 "                       brackets: <up> <down> <left> <right> <esc> <enter>\n"
                 "                       <backspace> <delete> <tab> <space>, <lt> for '<',\n"
                 "                       <wait> for a frame without a key; <right*5> repeats\n"
                 "  --pointer EVENTS     space-separated: X,Y moves the pointer to display pixel\n"
                 "                       X,Y with no button; X,Y:B holds the buttons in B (0 left,\n"
                 "                       1 right, 2 middle; e.g. 10,20:0 or 10,20:01); - sends no\n"
                 "                       report; any event may end in *N to last N frames\n"
                 "In a window, keys and the mouse reach the program as well once the script is done.\n"
                 "\n"
                 "Host\n"
                 "  --root DIR           folder of the host's files and images (default: .); paths\n"
                 "                       never leave it, writes replace files atomically\n"
                 "  --memory SIZE        cap the host heap (malloc) at SIZE bytes; K, M, G suffixes\n"
                 "                       (default 256M)\n"
                 "  --library FILE       the library file to run on (default: the one beside the\n"
                 "                       simulator, or the one its build made)\n"
                 "  --help               this text\n"
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

std::optional<std::pair<uint32_t, uint32_t>> parse_dimensions(const std::string &text) {
    constexpr uint64_t kMaxSide = 16384;
    size_t x = text.find('x');
    if (x == std::string::npos)
        return std::nullopt;
    auto side = [&](const std::string &part) -> std::optional<uint32_t> {
        if (part.empty() || part.size() > 5 || part.find_first_not_of("0123456789") != std::string::npos)
            return std::nullopt;
        uint64_t value = std::stoull(part);
        if (value == 0 || value > kMaxSide)
            return std::nullopt;
        return static_cast<uint32_t>(value);
    };
    auto width = side(text.substr(0, x));
    auto height = side(text.substr(x + 1));
    if (!width || !height)
        return std::nullopt;
    return std::pair{*width, *height};
}

namespace {

// A count for --frames and --screenshot-every: 1 or more.
std::optional<uint64_t> parse_count(const std::string &text) {
    if (text.empty() || text.size() > 18 || text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    uint64_t value = std::stoull(text);
    if (value == 0)
        return std::nullopt;
    return value;
}

} // namespace

std::optional<Options> parse_options(int argc, char **argv, const std::string &default_library) {
    Options options;
    options.library = default_library;
    options.memory_limit = simhost::HostHeap::kDefaultLimit;
    // Explains a bad value; `detail` adds a second line when not empty.
    auto complain = [](const std::string &option, const std::string &value, const char *what,
                       const std::string &detail = "") -> std::optional<Options> {
        std::fprintf(stderr, "lorrinboot-sim: %s: '%s' is %s\n", option.c_str(), value.c_str(), what);
        if (!detail.empty())
            std::fprintf(stderr, "  %s\n", detail.c_str());
        return std::nullopt;
    };
    for (int i = 1; i < argc; i++) {
        std::string arg = argv[i];
        if (arg == "--headless") {
            options.display_mode = DisplayMode::headless;
            continue;
        }
        if (arg == "--window") {
            options.display_mode = DisplayMode::window;
            continue;
        }
        bool takes_value = arg == "--library" || arg == "--memory" || arg == "--display" ||
                           arg == "--screenshot" || arg == "--screenshot-every" || arg == "--frames" ||
                           arg == "--keys" || arg == "--pointer" || arg == "--root";
        if (takes_value) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "lorrinboot-sim: %s needs a value\n", arg.c_str());
                return std::nullopt;
            }
            std::string value = argv[++i];
            std::string error;
            if (arg == "--library") {
                options.library = value;
            } else if (arg == "--memory") {
                auto size = parse_size(value);
                if (!size || *size == 0)
                    return complain(arg, value, "no size");
                options.memory_limit = *size;
            } else if (arg == "--display") {
                auto size = parse_dimensions(value);
                if (!size)
                    return complain(arg, value, "no size WIDTHxHEIGHT from 1x1 to 16384x16384");
                options.display_width = size->first;
                options.display_height = size->second;
            } else if (arg == "--screenshot") {
                if (value.empty())
                    return complain(arg, value, "no file name");
                options.screenshot = value;
            } else if (arg == "--screenshot-every" || arg == "--frames") {
                auto count = parse_count(value);
                if (!count)
                    return complain(arg, value, "no count of 1 or more");
                (arg == "--frames" ? options.frames : options.screenshot_every) = *count;
            } else if (arg == "--keys") {
                if (!parse_keys(value, error))
                    return complain(arg, value, "no key script", error);
                options.keys = value;
            } else if (arg == "--pointer") {
                if (!parse_pointer(value, error))
                    return complain(arg, value, "no pointer script", error);
                options.pointer = value;
            } else {
                options.root = value;
            }
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
    if (options.screenshot_every && options.screenshot.empty()) {
        std::fprintf(stderr, "lorrinboot-sim: --screenshot-every needs --screenshot FILE\n");
        return std::nullopt;
    }
    return options;
}

} // namespace lbw::sim
