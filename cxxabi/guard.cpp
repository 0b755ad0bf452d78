// Guards of function-local statics. One thread and no re-entry: bit 0 of the guard's
// first byte says "initialised"; there is no "under way" state and no lock, so a
// recursive initialisation of the same static simply runs again.
#include "libc/library.h"

#include <stdint.h>

namespace {

unsigned char &first_byte(uint64_t *guard) {
    return *reinterpret_cast<unsigned char *>(guard);
}

} // namespace

// 1: the caller must run the initialiser (the guard is left as it is).
LM_EXPORT int __cxa_guard_acquire(uint64_t *guard) {
    return (first_byte(guard) & 1) == 0 ? 1 : 0;
}

LM_EXPORT void __cxa_guard_release(uint64_t *guard) {
    first_byte(guard) |= 1;
}

// The initialiser failed: the guard is still clear, so the next execution retries.
LM_EXPORT void __cxa_guard_abort(uint64_t *) {}
