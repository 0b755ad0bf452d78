// One QEMU boot of the bare-metal host with the built library and a program, its serial
// console and monitor at hand, and a deadline on every wait so that a guest that hangs
// fails its test instead of blocking the suite.
#pragma once

#include "tests/support/images.h"

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace lbw::test {

class Qemu {
public:
    // Whether qemu-system-x86_64 was found when the build was configured.
    static bool available();

    // Boots `program`, with the cpio archive `files` as the file store when not empty.
    explicit Qemu(const std::string &program, const std::string &files = "",
                  const std::vector<std::string> &arguments = {});
    ~Qemu();
    Qemu(const Qemu &) = delete;
    Qemu &operator=(const Qemu &) = delete;

    // Reads the serial port until `text` has appeared; false at the deadline or when
    // QEMU ends first.
    bool wait_for(const std::string &text, std::chrono::milliseconds timeout = std::chrono::seconds(60));
    // Everything received on the serial port so far, carriage returns removed.
    const std::string &output() const { return output_; }
    void send(const std::string &bytes);
    // A monitor command and its reply.
    std::string monitor(const std::string &command);
    // The screen as the monitor dumps it.
    Image screendump();
    // QEMU's exit status, or -1 when it is still running at the deadline.
    int wait_exit(std::chrono::milliseconds timeout = std::chrono::seconds(60));

private:
    pid_t pid_ = -1;
    int serial_ = -1, monitor_ = -1, status_ = -1;
    std::string output_, replies_;
};

// QEMU's exit status when main returns `value` (isa-debug-exit: 2 * value + 1).
constexpr int qemu_status(int value) {
    return value * 2 + 1;
}

} // namespace lbw::test
