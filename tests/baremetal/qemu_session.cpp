#include "tests/baremetal/qemu_session.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <thread>

extern char **environ;

namespace lbw::test {

namespace {

using Clock = std::chrono::steady_clock;

int remaining_ms(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

} // namespace

const char *QemuSession::qemu_path() {
    return LBW_QEMU;
}

QemuSession::QemuSession(const std::string &program, const std::string &files,
                         const std::vector<std::string> &extra_arguments) {
    std::vector<std::string> modules = {LBW_LIBRARY_PATH, program};
    if (!files.empty())
        modules.push_back(files);
    start(modules, extra_arguments);
}

QemuSession::QemuSession(const std::vector<std::string> &modules, const std::vector<std::string> &extra_arguments) {
    start(modules, extra_arguments);
}

void QemuSession::start(const std::vector<std::string> &module_paths, const std::vector<std::string> &extra_arguments) {
    char directory[] = "/tmp/lbw-qemu-XXXXXX";
    if (!mkdtemp(directory))
        throw std::runtime_error("mkdtemp failed");
    directory_ = directory;

    // QEMU separates modules with commas.
    std::string modules;
    for (const std::string &path : module_paths)
        modules += (modules.empty() ? "" : ",") + path;
    std::vector<std::string> arguments = {
        qemu_path(), "-kernel", LBW_BOOT_IMAGE, "-initrd", modules, "-m", "256M", "-vga", "std",
        "-display", "none", "-nic", "none", "-no-reboot", "-device", "isa-debug-exit,iobase=0xf4,iosize=0x04",
        "-chardev", "stdio,id=serial0,signal=off", "-serial", "chardev:serial0",
        "-monitor", "unix:" + directory_ + "/monitor,server=on,wait=off"};
    arguments.insert(arguments.end(), extra_arguments.begin(), extra_arguments.end());

    int to_qemu[2], from_qemu[2];
    if (pipe(to_qemu) != 0 || pipe(from_qemu) != 0)
        throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, to_qemu[0], 0);
    posix_spawn_file_actions_adddup2(&actions, from_qemu[1], 1);
    posix_spawn_file_actions_addclose(&actions, to_qemu[1]);
    posix_spawn_file_actions_addclose(&actions, from_qemu[0]);
    std::vector<char *> argv;
    for (std::string &a : arguments)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    int error = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(to_qemu[0]);
    close(from_qemu[1]);
    serial_in_ = to_qemu[1];
    serial_out_ = from_qemu[0];
    if (error != 0) {
        pid_ = -1;
        throw std::runtime_error(std::string("cannot start QEMU: ") + std::strerror(error));
    }
    signal(SIGPIPE, SIG_IGN);
}

QemuSession::~QemuSession() {
    if (pid_ > 0 && exit_status_ < 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    for (int fd : {serial_in_, serial_out_, monitor_}) {
        if (fd >= 0)
            close(fd);
    }
    std::string socket = directory_ + "/monitor";
    unlink(socket.c_str());
    rmdir(directory_.c_str());
}

void QemuSession::read_available(int timeout_ms) {
    pollfd p{serial_out_, POLLIN, 0};
    if (poll(&p, 1, timeout_ms) <= 0)
        return;
    char buffer[4096];
    ssize_t n = read(serial_out_, buffer, sizeof buffer);
    if (n > 0)
        serial_.append(buffer, static_cast<size_t>(n));
    else if (n == 0) { // QEMU closed its output: it is ending
        close(serial_out_);
        serial_out_ = -1;
    }
}

bool QemuSession::wait_for_output(const std::string &text, std::chrono::milliseconds timeout) {
    auto deadline = Clock::now() + timeout;
    while (output().find(text) == std::string::npos) {
        if (serial_out_ < 0 || Clock::now() >= deadline)
            return false;
        read_available(remaining_ms(deadline) < 100 ? remaining_ms(deadline) : 100);
    }
    return true;
}

std::string QemuSession::output() const {
    std::string text;
    for (char c : serial_) {
        if (c != '\r')
            text.push_back(c);
    }
    return text;
}

void QemuSession::send(const std::string &bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(serial_in_, bytes.data() + done, bytes.size() - done);
        if (n <= 0)
            throw std::runtime_error("cannot write to QEMU's serial port");
        done += static_cast<size_t>(n);
    }
}

void QemuSession::connect_monitor() {
    std::string path = directory_ + "/monitor";
    auto deadline = Clock::now() + std::chrono::seconds(30);
    while (monitor_ < 0) {
        int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        if (connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0) {
            monitor_ = fd;
            break;
        }
        close(fd);
        if (Clock::now() >= deadline)
            throw std::runtime_error("cannot reach QEMU's monitor");
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    // The greeting ends with the first prompt.
    monitor("");
}

std::string QemuSession::monitor(const std::string &command) {
    if (monitor_ < 0) {
        connect_monitor();
        if (command.empty())
            return "";
    }
    if (!command.empty()) {
        std::string line = command + "\n";
        if (::send(monitor_, line.data(), line.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(line.size()))
            throw std::runtime_error("cannot write to QEMU's monitor");
    }
    const std::string prompt = "(qemu) ";
    auto deadline = Clock::now() + std::chrono::seconds(30);
    for (;;) {
        // The monitor echoes the command before its reply.
        size_t start = command.empty() ? 0 : monitor_buffer_.find(command);
        size_t end = start == std::string::npos ? std::string::npos : monitor_buffer_.find(prompt, start);
        if (end != std::string::npos) {
            std::string reply = monitor_buffer_.substr(start, end - start);
            monitor_buffer_.erase(0, end + prompt.size());
            return reply;
        }
        pollfd p{monitor_, POLLIN, 0};
        if (Clock::now() >= deadline || poll(&p, 1, remaining_ms(deadline)) <= 0)
            throw std::runtime_error("QEMU's monitor did not answer: " + command);
        char buffer[4096];
        ssize_t n = read(monitor_, buffer, sizeof buffer);
        if (n <= 0)
            throw std::runtime_error("QEMU's monitor closed");
        monitor_buffer_.append(buffer, static_cast<size_t>(n));
    }
}

int QemuSession::wait_exit(std::chrono::milliseconds timeout) {
    auto deadline = Clock::now() + timeout;
    while (exit_status_ < 0) {
        int status = 0;
        pid_t done = waitpid(pid_, &status, WNOHANG);
        if (done == pid_) {
            exit_status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            break;
        }
        if (Clock::now() >= deadline)
            return -1;
        if (serial_out_ >= 0)
            read_available(20);
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    while (serial_out_ >= 0)
        read_available(1000);
    return exit_status_;
}

} // namespace lbw::test
