#include "tests/sim/xvfb.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace lbw::test {

Xvfb::Xvfb(const std::string &screen, int timeout_ms) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        error_ = std::strerror(errno);
        return;
    }
    pid_ = fork();
    if (pid_ == 0) {
        // -displayfd: the server takes the first free display number and writes it to
        // this descriptor once it accepts clients.
        dup2(fds[1], 3);
        int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        execlp("Xvfb", "Xvfb", "-displayfd", "3", "-screen", "0", screen.c_str(), "-nolisten", "tcp", "-noreset",
               static_cast<char *>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    if (pid_ < 0) {
        error_ = std::strerror(errno);
        close(fds[0]);
        return;
    }
    std::string number;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd p{fds[0], POLLIN, 0};
        if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) {
            error_ = "Xvfb gave no display number in time";
            break;
        }
        char c;
        ssize_t n = read(fds[0], &c, 1);
        if (n <= 0) {
            error_ = "Xvfb ended without a display (is the xvfb package installed?)";
            break;
        }
        if (c == '\n') {
            display_ = ":" + number;
            break;
        }
        number += c;
    }
    close(fds[0]);
}

Xvfb::~Xvfb() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
}

std::string window_environment(const Xvfb &server, int seconds) {
    return "DISPLAY=" + server.display() + " ASAN_OPTIONS=detect_leaks=0 timeout " + std::to_string(seconds);
}

} // namespace lbw::test
