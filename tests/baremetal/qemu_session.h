// One QEMU run of the boot host for a test: the serial port on pipes, the human
// monitor on a Unix socket, and a deadline on every wait so that a guest that hangs
// fails its test instead of blocking the suite.
#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace lbw::test {

class QemuSession {
public:
    // Path of qemu-system-x86_64 found when the build was configured; empty when none.
    static const char *qemu_path();

    // Boots the library and `program` (and the cpio archive `files`, when not empty).
    QemuSession(const std::string &program, const std::string &files = "",
                const std::vector<std::string> &extra_arguments = {});
    // Boots with exactly these boot modules (library, program, archive).
    explicit QemuSession(const std::vector<std::string> &modules, const std::vector<std::string> &extra_arguments = {});
    ~QemuSession();
    QemuSession(const QemuSession &) = delete;
    QemuSession &operator=(const QemuSession &) = delete;

    // Reads the serial port until `text` has appeared; false at the deadline or when
    // QEMU ends first.
    bool wait_for_output(const std::string &text, std::chrono::milliseconds timeout = std::chrono::seconds(60));
    // Everything received on the serial port so far, carriage returns removed.
    std::string output() const;
    void send(const std::string &bytes);

    // A monitor command and its reply (the text up to the next prompt).
    std::string monitor(const std::string &command);

    // QEMU's exit status, or -1 when it is still running at the deadline.
    int wait_exit(std::chrono::milliseconds timeout = std::chrono::seconds(60));

private:
    void start(const std::vector<std::string> &modules, const std::vector<std::string> &extra_arguments);
    void read_available(int timeout_ms);
    void connect_monitor();

    int pid_ = -1;
    int serial_in_ = -1;
    int serial_out_ = -1;
    int monitor_ = -1;
    int exit_status_ = -1;
    std::string directory_;
    std::string serial_;
    std::string monitor_buffer_;
};

} // namespace lbw::test
