// A private X server (Xvfb) for tests that open windows: it picks a free display number
// itself and is stopped when the object goes.
#pragma once

#include <string>
#include <sys/types.h>

namespace lbw::test {

class Xvfb {
public:
    // Starts Xvfb with one screen of `screen` (e.g. "1280x800x24") and waits at most
    // `timeout_ms` for it to be ready; display() is empty when it did not start.
    explicit Xvfb(const std::string &screen, int timeout_ms = 15000);
    ~Xvfb();
    Xvfb(const Xvfb &) = delete;
    Xvfb &operator=(const Xvfb &) = delete;

    // ":N", or empty.
    const std::string &display() const { return display_; }
    const std::string &error() const { return error_; }

private:
    pid_t pid_ = -1;
    std::string display_, error_;
};

// Shell assignments in front of a simulator that opens its window on `server`, bounded in
// time. The desktop libraries under the window (SDL, X11, D-Bus, GL drivers that are
// unloaded again) keep memory to the end on purpose, which a sanitizer build would report
// as leaks: leak checking is left to the headless runs.
std::string window_environment(const Xvfb &server, int seconds = 120);

} // namespace lbw::test
