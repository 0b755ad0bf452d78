// The processor's string instructions, which the memory functions use for long copies
// and fills.
#pragma once

#include <stddef.h>

namespace lm {

// From this size on, copies and fills use the string instructions, which move whole
// cache lines at a time on current processors; below it their start-up costs more than
// vector loops.
inline constexpr size_t kStringInstructionFrom = 2048;

// The string copy moves bytes upward one at a time by definition (however the processor
// speeds it up), the result that a destination below the source or apart from it needs.
// Processors fall back to single bytes when the destination lies less than 64 bytes
// below the source, so the caller keeps such moves in vector loops.
inline void string_copy(unsigned char *d, const unsigned char *s, size_t n) {
    asm volatile("rep movsb" : "+D"(d), "+S"(s), "+c"(n) : : "memory");
}

// Out of line, so that the registers the instruction needs do not shape the code of the
// callers' shorter fills.
[[gnu::noinline]] inline void *string_fill(void *dst, int ch, size_t n) {
    unsigned char *d = static_cast<unsigned char *>(dst);
    asm volatile("rep stosb" : "+D"(d), "+c"(n) : "a"(ch) : "memory");
    return dst;
}

} // namespace lm
