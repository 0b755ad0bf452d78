// The slot of a pure virtual function in a vtable: called only when an object is used
// while its abstract part is being constructed or destroyed. The machine stops.
#include "host/program_api.h"

#include <stdlib.h>

LM_EXPORT __attribute__((noreturn)) void __cxa_pure_virtual() {
    abort();
}
