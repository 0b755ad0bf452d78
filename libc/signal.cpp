// Signals on a machine where none ever arrives: signal keeps the handlers a program
// installs, so that it can hand back the one before, and raise delivers nothing.
#include "libc/library.h"

#include <signal.h>

namespace {

using Handler = void (*)(int);

constexpr int kSignalCount = 65; // numbers 1..64, as on Linux
constexpr int kKill = 9, kStop = 19;

// Every entry starts as SIG_DFL, which is the null pointer.
Handler gSignalHandlers[kSignalCount];

} // namespace

LM_EXPORT Handler signal(int sig, Handler handler) {
    if (sig < 1 || sig >= kSignalCount || sig == kKill || sig == kStop || handler == SIG_ERR)
        return SIG_ERR;
    Handler before = gSignalHandlers[sig];
    gSignalHandlers[sig] = handler;
    return before;
}

LM_EXPORT int raise(int) {
    return -1;
}
