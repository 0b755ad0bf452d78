// Whether the 32-byte AVX2 paths of libc/wide.h may run: the processor must have AVX2 and
// the bit instructions that come with it, and the host must have enabled the saving of
// the 32-byte registers (XCR0 bits 1 and 2), which a boot environment may not do. Asked
// once, on the first call that could use them.
#include "libc/wide.h"

#include <stdint.h>

namespace lm::wide {

int8_t gAnswer = kNotAsked;

namespace {

struct Registers {
    uint32_t a, b, c, d;
};

Registers cpuid(uint32_t leaf, uint32_t subleaf = 0) {
    Registers r;
    asm("cpuid" : "=a"(r.a), "=b"(r.b), "=c"(r.c), "=d"(r.d) : "a"(leaf), "c"(subleaf));
    return r;
}

bool avx2_enabled() {
    if (cpuid(0).a < 7)
        return false;
    constexpr uint32_t kOsxsave = 1u << 27, kAvx = 1u << 28;
    constexpr uint32_t kAvx2AndBitInstructions = 1u << 5 | 1u << 3 | 1u << 8; // AVX2, BMI1, BMI2
    constexpr uint32_t kSseAndAvxState = 6;
    if ((cpuid(1).c & (kOsxsave | kAvx)) != (kOsxsave | kAvx))
        return false;
    uint32_t low, high;
    asm("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    if ((low & kSseAndAvxState) != kSseAndAvxState)
        return false;
    return (cpuid(7).b & kAvx2AndBitInstructions) == kAvx2AndBitInstructions;
}

} // namespace

void ask() {
    gAnswer = avx2_enabled() ? kYes : kNo;
}

} // namespace lm::wide
