// Static destructors. The machine never exits, so destructors handed over for "exit"
// are dropped: nothing is recorded and nothing of them ever runs.
#include "libc/library.h"

LM_EXPORT int __cxa_atexit(void (*)(void *), void *, void *) {
    return 0;
}

// The module handle the compiler passes to __cxa_atexit for this library's own static
// objects; its contents are never read. Every program carries its own (the compiler
// refers to it as a hidden symbol), see cxxabi/program/dso_handle.c.
extern "C" __attribute__((visibility("hidden"))) void *__dso_handle = nullptr;
