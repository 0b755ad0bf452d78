// Running lorrinboot-sim as its users do, headless or in a window on a private X server.
#pragma once

#include <string>
#include <sys/types.h>

namespace lbw::test {

struct SimRun {
    int status = -1; // exit status; -1 when killed by a signal
    std::string out, err;
};

// Runs the simulator with `arguments` (shell words), `input` on standard input, and
// `environment` (shell words such as "DISPLAY=:5") in front.
SimRun simulate(const std::string &arguments, const std::string &input = "", const std::string &environment = "");

// `text` as one shell word.
std::string shell_word(const std::string &text);

// A private X server (Xvfb) on the first free display, stopped with the object.
class Xvfb {
public:
    explicit Xvfb(const std::string &screen = "1600x900x24");
    ~Xvfb();
    Xvfb(const Xvfb &) = delete;
    Xvfb &operator=(const Xvfb &) = delete;
    // ":N", or empty when the server did not start.
    const std::string &display() const { return display_; }
    // Shell words in front of a simulator that opens its window here, bounded in time.
    // The desktop libraries under the window keep memory to the end on purpose, which a
    // sanitizer build would report as leaks: leak checking is left to headless runs.
    std::string environment(int seconds = 120) const;

private:
    pid_t pid_ = -1;
    std::string display_;
};

} // namespace lbw::test
