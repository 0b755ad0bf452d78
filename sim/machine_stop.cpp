#include "sim/machine_stop.h"

#include <signal.h>
#include <ucontext.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace lbw::sim {

namespace {

char gLastLine[512];
alignas(16) char gSignalStack[64 * 1024];

void say(const char *text) {
    size_t left = std::strlen(text);
    while (left > 0) {
        ssize_t n = write(STDERR_FILENO, text, left);
        if (n <= 0)
            return;
        text += n;
        left -= static_cast<size_t>(n);
    }
}

void on_fault(int signal, siginfo_t *info, void *context) {
    auto *uc = static_cast<ucontext_t *>(context);
    auto *rip = reinterpret_cast<const unsigned char *>(uc->uc_mcontext.gregs[REG_RIP]);
    // cli (FA) and hlt (F4) are privileged: in a Linux process they raise a general
    // protection fault, delivered as SIGSEGV at the instruction itself.
    if (signal == SIGSEGV && info->si_code == SI_KERNEL && rip && (*rip == 0xFA || *rip == 0xF4)) {
        say("\nlorrinboot-sim: program stopped the machine\n");
        if (gLastLine[0]) {
            say("lorrinboot-sim: last console line: ");
            say(gLastLine);
            say("\n");
        }
        _exit(kMachineStoppedStatus);
    }
    say("\nlorrinboot-sim: the program crashed\n");
    ::signal(signal, SIG_DFL);
    raise(signal);
}

} // namespace

void remember_console_line(const char *text) {
    std::strncpy(gLastLine, text, sizeof gLastLine - 1);
    gLastLine[sizeof gLastLine - 1] = 0;
}

void report_machine_stops() {
    stack_t stack{};
    stack.ss_sp = gSignalStack;
    stack.ss_size = sizeof gSignalStack;
    sigaltstack(&stack, nullptr);
    struct sigaction action {};
    action.sa_sigaction = on_fault;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    sigaction(SIGSEGV, &action, nullptr);
    sigaction(SIGBUS, &action, nullptr);
    sigaction(SIGILL, &action, nullptr);
}

} // namespace lbw::sim
