#include "tests/support/qemu.h"

#include "tests/support/files.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <stdexcept>
#include <thread>

extern char **environ;

namespace lbw::test {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

int left_ms(Clock::time_point deadline) {
    return static_cast<int>(std::max<long>(0, std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count()));
}

// Appends what arrives within the timeout, carriage returns removed; false when nothing
// came, or the peer closed (then `fd` becomes -1).
bool receive(int &fd, std::string &text, int timeout_ms) {
    pollfd p{fd, POLLIN, 0};
    char buffer[4096];
    ssize_t n = fd >= 0 && poll(&p, 1, timeout_ms) > 0 ? read(fd, buffer, sizeof buffer) : -1;
    if (n == 0) {
        close(fd);
        fd = -1;
    }
    std::copy_if(buffer, buffer + std::max<ssize_t>(n, 0), std::back_inserter(text), [](char c) { return c != '\r'; });
    return n > 0;
}

void send_all(int fd, const std::string &bytes) {
    if (fd < 0 || ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(bytes.size()))
        throw std::runtime_error("cannot write to QEMU");
}

} // namespace

bool Qemu::available() {
    return LBW_QEMU[0] != 0;
}

// The serial port and the monitor are socket pairs whose other ends QEMU inherits as
// file descriptors 3 and 4: nothing is missed before the test reads.
Qemu::Qemu(const std::string &program, const std::string &files, const std::vector<std::string> &arguments) {
    int serial[2], monitor[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, serial) != 0 ||
        socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, monitor) != 0)
        throw std::runtime_error("socketpair failed");
    std::vector<std::string> words = {
        LBW_QEMU, "-kernel", LBW_BOOT_IMAGE, "-initrd", LBW_LIBRARY_PATH "," + program + (files.empty() ? "" : "," + files),
        "-m", "256M", "-vga", "std", "-display", "none", "-nic", "none", "-no-reboot",
        "-device", "isa-debug-exit,iobase=0xf4,iosize=0x04", "-chardev", "socket,id=serial,fd=3", "-serial",
        "chardev:serial", "-chardev", "socket,id=monitor,fd=4", "-mon", "chardev=monitor"};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char *> argv;
    for (std::string &word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, serial[1], 3);
    posix_spawn_file_actions_adddup2(&actions, monitor[1], 4);
    int failed = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(serial[1]);
    close(monitor[1]);
    serial_ = serial[0];
    monitor_ = monitor[0];
    if (failed)
        throw std::runtime_error("cannot start QEMU");
}

Qemu::~Qemu() {
    if (pid_ > 0 && status_ < 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    for (int fd : {serial_, monitor_})
        if (fd >= 0)
            close(fd);
}

bool Qemu::wait_for(const std::string &text, std::chrono::milliseconds timeout) {
    auto deadline = Clock::now() + timeout;
    while (output_.find(text) == std::string::npos) {
        if (serial_ < 0 || Clock::now() >= deadline)
            return false;
        receive(serial_, output_, std::min(left_ms(deadline), 100));
    }
    return true;
}

void Qemu::send(const std::string &bytes) {
    send_all(serial_, bytes);
}

std::string Qemu::monitor(const std::string &command) {
    send_all(monitor_, command + "\n");
    // The monitor greets, echoes the command and answers; a prompt ends each part.
    for (auto deadline = Clock::now() + 30s;;) {
        size_t start = replies_.find(command);
        size_t end = start == std::string::npos ? start : replies_.find("(qemu) ", start);
        if (end != std::string::npos) {
            std::string reply = replies_.substr(start, end - start);
            replies_.erase(0, end + 7);
            return reply;
        }
        if (!receive(monitor_, replies_, left_ms(deadline)))
            throw std::runtime_error("QEMU's monitor did not answer: " + command);
    }
}

Image Qemu::screendump() {
    TempFolder folder("screen");
    monitor("screendump " + folder / "screen.png" + " -f png");
    return read_png(folder / "screen.png");
}

int Qemu::wait_exit(std::chrono::milliseconds timeout) {
    for (auto deadline = Clock::now() + timeout; status_ < 0;) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_)
            status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        else if (Clock::now() >= deadline)
            return -1;
        else if (!receive(serial_, output_, 20))
            std::this_thread::sleep_for(5ms);
    }
    while (serial_ >= 0)
        receive(serial_, output_, 1000);
    return status_;
}

} // namespace lbw::test
