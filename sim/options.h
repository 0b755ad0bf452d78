// Command line of lorrinboot-sim.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace lbw::sim {

// How the display is shown: in a window when there is a screen to put one on, or never,
// or always (failing when no window can be opened).
enum class DisplayMode { automatic, headless, window };

struct Options {
    std::string library;
    std::string program;
    uint64_t memory_limit;
    uint32_t display_width = 1280;
    uint32_t display_height = 720;
    DisplayMode display_mode = DisplayMode::automatic;
    std::string screenshot;         // written when the program ends; empty: none
    uint64_t screenshot_every = 0;  // also every this many presents; 0: never
    uint64_t frames = 0;            // stop after this many presents; 0: no limit
    std::string keys;               // scripted keys (see scripted_input.h)
    std::string pointer;            // scripted pointer events
    std::string root = ".";         // folder of the file store and the image decoder
};

// Parses the command line; on a mistake returns nothing and prints why to stderr.
std::optional<Options> parse_options(int argc, char **argv, const std::string &default_library);

// "64M", "1G", "4096", "512K" -> bytes; nothing for a malformed size.
std::optional<uint64_t> parse_size(const std::string &text);

// "1280x720" -> width and height, each 1 to 16384; nothing otherwise.
std::optional<std::pair<uint32_t, uint32_t>> parse_dimensions(const std::string &text);

void print_usage();

} // namespace lbw::sim
