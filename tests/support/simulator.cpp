#include "tests/support/simulator.h"

#include "tests/support/files.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

namespace lbw::test {

SimRun simulate(const std::string &arguments, const std::string &input, const std::string &environment) {
    TempFolder files("sim"); // tests run in parallel: each run has files of its own
    write_file(files / "in", input);
    std::string command = environment + " " LBW_SIMULATOR " " + arguments + " <" + files / "in" + " >" +
                          files / "out" + " 2>" + files / "err";
    int raw = std::system(command.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, read_file(files / "out"), read_file(files / "err")};
}

std::string shell_word(const std::string &text) {
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

Xvfb::Xvfb(const std::string &screen) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return;
    pid_ = fork();
    if (pid_ == 0) {
        // -displayfd: the server takes a free display number and writes it here once it
        // accepts clients.
        dup2(fds[1], 3);
        int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        execlp("Xvfb", "Xvfb", "-displayfd", "3", "-screen", "0", screen.c_str(), "-nolisten", "tcp", "-noreset",
               static_cast<char *>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    std::string number;
    pollfd ready{fds[0], POLLIN, 0};
    for (char c; pid_ > 0 && poll(&ready, 1, 15000) > 0 && read(fds[0], &c, 1) == 1;) {
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

std::string Xvfb::environment(int seconds) const {
    return "DISPLAY=" + display_ + " ASAN_OPTIONS=detect_leaks=0 timeout " + std::to_string(seconds);
}

} // namespace lbw::test
