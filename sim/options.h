// Command line of lorrinboot-sim.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace lbw::sim {

struct Options {
    std::string library;
    std::string program;
    uint64_t memory_limit;
};

// Parses the command line; on a mistake returns nothing and prints why to stderr.
std::optional<Options> parse_options(int argc, char **argv, const std::string &default_library);

// "64M", "1G", "4096", "512K" -> bytes; nothing for a malformed size.
std::optional<uint64_t> parse_size(const std::string &text);

void print_usage();

} // namespace lbw::sim
