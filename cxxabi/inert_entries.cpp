// Entry points that compilers name but that have nothing to do here.
#include "libc/library.h"

#include <stdint.h>

// Personality routines: every SjLj frame record holds the address of
// __gxx_personality_sj0, but the unwinder reads the call-site tables itself and never
// calls it; __gxx_personality_v0 is its table-based twin, named by code built without
// -fsjlj-exceptions.
LM_EXPORT int __gxx_personality_sj0() {
    return 0;
}

LM_EXPORT int __gxx_personality_v0() {
    return 0;
}

// Thread-local variables are not supported: their bootstrap answers 0.
LM_EXPORT uintptr_t _tlv_bootstrap() {
    return 0;
}
