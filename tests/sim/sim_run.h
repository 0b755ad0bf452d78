// Running lorrinboot-sim from a test, and reading the PNG files it writes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lbw::test {

struct SimRun {
    int status = -1; // exit status; -1 when killed by a signal
    std::string out, err;
};

// Runs the simulator with `arguments` (a shell word list), `input` on standard input,
// and `environment` (shell assignments, e.g. "DISPLAY=:5") in front.
SimRun simulate(const std::string &arguments, const std::string &input = "", const std::string &environment = "");

// A fresh empty folder under the test's temporary folder.
std::string fresh_folder(const std::string &name);

std::string slurp(const std::string &path);

struct Png {
    uint32_t width = 0, height = 0;
    std::vector<uint8_t> rgb; // 3 bytes a pixel
    bool ok = false;
    // Red, green, blue of pixel (x, y) as 0xRRGGBB.
    uint32_t at(uint32_t x, uint32_t y) const;
};

Png read_png(const std::string &path);

// Quotes `text` for the shell.
std::string shell_quoted(const std::string &text);

} // namespace lbw::test
