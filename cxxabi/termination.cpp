// Unrecoverable language-level errors end here: the machine stops. There is no
// terminate handler and no standard exception class to throw instead.
#include "cxxabi/sjlj_abi.h"
#include "host/program_api.h"

#include <stdlib.h>

extern "C" void *__cxa_begin_catch(void *exception);

namespace std {
[[noreturn]] void terminate() noexcept {
    abort();
}
} // namespace std

// Landing pads of functions that must not throw: the exception counts as caught.
LM_EXPORT __attribute__((noreturn)) void __clang_call_terminate(void *exception) {
    __cxa_begin_catch(exception);
    std::terminate();
}

// Failed dynamic_cast to a reference, typeid of a null pointer, call of a deleted
// virtual function, new[] with a bad length: each would throw a standard exception.
LM_EXPORT __attribute__((noreturn)) void __cxa_bad_cast() {
    std::terminate();
}

LM_EXPORT __attribute__((noreturn)) void __cxa_bad_typeid() {
    std::terminate();
}

LM_EXPORT __attribute__((noreturn)) void __cxa_deleted_virtual() {
    std::terminate();
}

LM_EXPORT __attribute__((noreturn)) void __cxa_throw_bad_array_new_length() {
    std::terminate();
}
