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
#include <cstring>
#include <stdexcept>
#include <thread>

extern char **environ;

namespace lbw::test {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

int left_ms(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

} // namespace

bool Qemu::available() {
    return LBW_QEMU[0] != 0;
}

Qemu::Qemu(const std::string &program, const std::string &files, const std::vector<std::string> &arguments) {
    char folder[] = "/tmp/lbw-qemu-XXXXXX";
    if (!mkdtemp(folder))
        throw std::runtime_error("mkdtemp failed");
    folder_ = folder;
    std::vector<std::string> words = {
        LBW_QEMU, "-kernel", LBW_BOOT_IMAGE, "-initrd", LBW_LIBRARY_PATH "," + program + (files.empty() ? "" : "," + files),
        "-m", "256M", "-vga", "std", "-display", "none", "-nic", "none", "-no-reboot",
        "-device", "isa-debug-exit,iobase=0xf4,iosize=0x04", "-chardev", "stdio,id=serial0,signal=off",
        "-serial", "chardev:serial0", "-monitor", "unix:" + folder_ + "/monitor,server=on,wait=off"};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char *> argv;
    for (std::string &word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    int to_qemu[2], from_qemu[2];
    if (pipe(to_qemu) != 0 || pipe(from_qemu) != 0)
        throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, to_qemu[0], 0);
    posix_spawn_file_actions_adddup2(&actions, from_qemu[1], 1);
    posix_spawn_file_actions_addclose(&actions, to_qemu[1]);
    posix_spawn_file_actions_addclose(&actions, from_qemu[0]);
    int error = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(to_qemu[0]);
    close(from_qemu[1]);
    serial_in_ = to_qemu[1];
    serial_out_ = from_qemu[0];
    signal(SIGPIPE, SIG_IGN);
    if (error != 0) {
        pid_ = -1;
        throw std::runtime_error(std::string("cannot start QEMU: ") + std::strerror(error));
    }
}

Qemu::~Qemu() {
    if (pid_ > 0 && status_ < 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    for (int fd : {serial_in_, serial_out_, monitor_})
        if (fd >= 0)
            close(fd);
    unlink((folder_ + "/monitor").c_str());
    rmdir(folder_.c_str());
}

// False when nothing came in time or QEMU closed its output (it is ending).
bool Qemu::read_serial(int timeout_ms) {
    pollfd p{serial_out_, POLLIN, 0};
    char buffer[4096];
    ssize_t n = poll(&p, 1, timeout_ms) > 0 ? read(serial_out_, buffer, sizeof buffer) : -1;
    if (n > 0)
        serial_.append(buffer, static_cast<size_t>(n));
    if (n == 0) {
        close(serial_out_);
        serial_out_ = -1;
    }
    return n > 0;
}

bool Qemu::wait_for(const std::string &text, std::chrono::milliseconds timeout) {
    auto deadline = Clock::now() + timeout;
    while (output().find(text) == std::string::npos) {
        if (serial_out_ < 0 || Clock::now() >= deadline)
            return false;
        read_serial(std::min(left_ms(deadline), 100));
    }
    return true;
}

std::string Qemu::output() const {
    std::string text;
    for (char c : serial_)
        if (c != '\r')
            text.push_back(c);
    return text;
}

void Qemu::send(const std::string &bytes) {
    for (size_t done = 0; done < bytes.size();) {
        ssize_t n = write(serial_in_, bytes.data() + done, bytes.size() - done);
        if (n <= 0)
            throw std::runtime_error("cannot write to QEMU's serial port");
        done += static_cast<size_t>(n);
    }
}

std::string Qemu::monitor(const std::string &command) {
    auto deadline = Clock::now() + 30s;
    while (monitor_ < 0) {
        int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s/monitor", folder_.c_str());
        if (connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0) {
            monitor_ = fd;
        } else {
            close(fd);
            if (Clock::now() >= deadline)
                throw std::runtime_error("cannot reach QEMU's monitor");
            std::this_thread::sleep_for(20ms);
        }
    }
    std::string line = command + "\n";
    if (::send(monitor_, line.data(), line.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(line.size()))
        throw std::runtime_error("cannot write to QEMU's monitor");
    // The monitor greets, echoes the command and answers; a prompt ends each part.
    for (;;) {
        size_t start = replies_.find(command);
        size_t end = start == std::string::npos ? start : replies_.find("(qemu) ", start);
        if (end != std::string::npos) {
            std::string reply = replies_.substr(start, end - start);
            replies_.erase(0, end + 7);
            return reply;
        }
        pollfd p{monitor_, POLLIN, 0};
        char buffer[4096];
        ssize_t n = poll(&p, 1, left_ms(deadline)) > 0 ? read(monitor_, buffer, sizeof buffer) : -1;
        if (n <= 0)
            throw std::runtime_error("QEMU's monitor did not answer: " + command);
        replies_.append(buffer, static_cast<size_t>(n));
    }
}

Image Qemu::screendump() {
    std::string path = folder_ + "/screen.ppm";
    monitor("screendump " + path);
    Image image = read_ppm(path);
    unlink(path.c_str());
    return image;
}

int Qemu::wait_exit(std::chrono::milliseconds timeout) {
    auto deadline = Clock::now() + timeout;
    while (status_ < 0) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_)
            status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        else if (Clock::now() >= deadline)
            return -1;
        else if (serial_out_ < 0 || !read_serial(20))
            std::this_thread::sleep_for(5ms);
    }
    while (serial_out_ >= 0)
        read_serial(1000);
    return status_;
}

} // namespace lbw::test
