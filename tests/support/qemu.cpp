#include "tests/support/qemu.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
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

// A Unix socket that QEMU serves, tried until QEMU has made it; -1 when it never comes.
int connect_to(const std::string &path) {
    auto deadline = Clock::now() + 30s;
    for (;;) {
        int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
        if (connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0)
            return fd;
        close(fd);
        if (Clock::now() >= deadline)
            return -1;
        std::this_thread::sleep_for(10ms);
    }
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

// The serial port and the monitor are Unix sockets in a folder of the session's own;
// QEMU waits for the serial port's client before it starts the machine.
Qemu::Qemu(const std::string &program, const std::string &files, const std::vector<std::string> &arguments) {
    char folder[] = "/tmp/lbw-qemu-XXXXXX";
    folder_ = mkdtemp(folder) ? folder : throw std::runtime_error("mkdtemp failed");
    std::vector<std::string> words = {
        LBW_QEMU, "-kernel", LBW_BOOT_IMAGE, "-initrd", LBW_LIBRARY_PATH "," + program + (files.empty() ? "" : "," + files),
        "-m", "256M", "-vga", "std", "-display", "none", "-nic", "none", "-no-reboot",
        "-device", "isa-debug-exit,iobase=0xf4,iosize=0x04", "-serial", "unix:" + folder_ + "/serial,server=on,wait=on",
        "-monitor", "unix:" + folder_ + "/monitor,server=on,wait=off"};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char *> argv;
    for (std::string &word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        throw std::runtime_error("cannot start QEMU");
    serial_ = connect_to(folder_ + "/serial");
}

Qemu::~Qemu() {
    if (pid_ > 0 && status_ < 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    for (int fd : {serial_, monitor_})
        if (fd >= 0)
            close(fd);
    for (const char *name : {"/serial", "/monitor", ""})
        remove((folder_ + name).c_str());
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
    if (monitor_ < 0)
        monitor_ = connect_to(folder_ + "/monitor");
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
    std::string path = folder_ + "/screen.png";
    monitor("screendump " + path + " -f png");
    Image image = read_png(path);
    remove(path.c_str());
    return image;
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
