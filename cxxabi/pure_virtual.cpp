// The slot of a pure virtual function in a vtable: called only when an object is used
// while its abstract part is being constructed or destroyed. The machine stops.
#include "libc/library.h"

#include <stdlib.h>

LM_EXPORT __attribute__((noreturn)) void __cxa_pure_virtual() {
    abort();
}
