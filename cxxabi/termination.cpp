// Unrecoverable language-level errors end here: the program's terminate handler runs,
// then the machine stops.
#include "cxxabi/runtime_entries.h"
#include "libc/library.h"

#include <stdlib.h>

namespace std {
using terminate_handler = void (*)();
terminate_handler set_terminate(terminate_handler handler) noexcept;
terminate_handler get_terminate() noexcept;
} // namespace std

namespace {

// Null means the default handler, abort.
std::terminate_handler gTerminateHandler = nullptr;
bool gTerminateHandlerRan = false;

} // namespace

namespace std {

terminate_handler set_terminate(terminate_handler handler) noexcept {
    terminate_handler previous = get_terminate();
    gTerminateHandler = handler;
    return previous;
}

terminate_handler get_terminate() noexcept {
    return gTerminateHandler != nullptr ? gTerminateHandler : abort;
}

// The handler runs once: when it returns, or calls terminate again, the machine stops.
[[noreturn]] void terminate() noexcept {
    if (gTerminateHandler != nullptr && !gTerminateHandlerRan) {
        gTerminateHandlerRan = true;
        gTerminateHandler();
    }
    abort();
}

} // namespace std

// Landing pads of functions that must not throw: the exception counts as caught.
LM_EXPORT __attribute__((noreturn)) void __clang_call_terminate(void *exception) {
    __cxa_begin_catch(exception);
    std::terminate();
}

// A call of a deleted virtual function.
LM_EXPORT __attribute__((noreturn)) void __cxa_deleted_virtual() {
    std::terminate();
}
