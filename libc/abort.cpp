// abort: stops the machine where it stands. Interrupts go off first so that nothing
// wakes the processor from its halt; the loop covers a non-maskable interrupt.
#include "libc/library.h"

LM_EXPORT __attribute__((noreturn)) void abort(void) {
    for (;;)
        __asm__ volatile("cli\n\thlt" ::: "memory");
}
