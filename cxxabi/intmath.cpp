// 64-bit shifts, division and remainder under the names compilers call, so that code
// built for 32-bit style runtimes links against the library alone. Plain functions of
// their arguments; division by zero never traps, it yields 0. Nothing in the library
// calls them.
#include "libc/library.h"

#include <stdint.h>

namespace {

struct Halves {
    uint32_t lo;
    uint32_t hi;
};

Halves split(uint64_t v) { return {static_cast<uint32_t>(v), static_cast<uint32_t>(v >> 32)}; }

uint64_t join(uint32_t hi, uint32_t lo) { return (static_cast<uint64_t>(hi) << 32) | lo; }

// Magnitude as unsigned; the most negative value becomes 2^63.
uint64_t magnitude(int64_t v) { return v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v); }

} // namespace

LM_EXPORT uint64_t udivmod64(uint64_t dividend, uint64_t divisor, uint64_t *remainder);

LM_EXPORT int64_t __ashldi3(int64_t value, int32_t count) {
    if (count <= 0)
        return value;
    if (count >= 64)
        return 0;
    Halves v = split(static_cast<uint64_t>(value));
    if (count >= 32)
        return static_cast<int64_t>(join(v.lo << (count - 32), 0));
    return static_cast<int64_t>(join((v.hi << count) | (v.lo >> (32 - count)), v.lo << count));
}

LM_EXPORT int64_t __lshrdi3(int64_t value, int32_t count) {
    if (count <= 0)
        return value;
    if (count >= 64)
        return 0;
    Halves v = split(static_cast<uint64_t>(value));
    if (count >= 32)
        return static_cast<int64_t>(join(0, v.hi >> (count - 32)));
    return static_cast<int64_t>(join(v.hi >> count, (v.lo >> count) | (v.hi << (32 - count))));
}

LM_EXPORT int64_t __ashrdi3(int64_t value, int32_t count) {
    if (count <= 0)
        return value;
    if (count >= 64)
        return value < 0 ? -1 : 0;
    Halves v = split(static_cast<uint64_t>(value));
    int32_t high = static_cast<int32_t>(v.hi);
    uint32_t fill = high < 0 ? 0xFFFFFFFFu : 0;
    if (count >= 32)
        return static_cast<int64_t>(join(fill, static_cast<uint32_t>(high >> (count - 32))));
    return static_cast<int64_t>(
        join(static_cast<uint32_t>(high >> count), (v.lo >> count) | (v.hi << (32 - count))));
}

// Restoring long division, one quotient bit per step from bit 63 down. The partial
// remainder cannot overflow: it never exceeds the part of the dividend consumed so far.
LM_EXPORT uint64_t udivmod64(uint64_t dividend, uint64_t divisor, uint64_t *remainder) {
    uint64_t quotient = 0;
    uint64_t partial = 0;
    if (divisor != 0) {
        for (int bit = 63; bit >= 0; bit--) {
            partial = (partial << 1) | ((dividend >> bit) & 1);
            if (partial >= divisor) {
                partial -= divisor;
                quotient |= uint64_t{1} << bit;
            }
        }
    }
    if (remainder)
        *remainder = partial;
    return quotient;
}

LM_EXPORT uint64_t __udivdi3(uint64_t dividend, uint64_t divisor) { return udivmod64(dividend, divisor, nullptr); }

LM_EXPORT uint64_t __umoddi3(uint64_t dividend, uint64_t divisor) {
    uint64_t remainder;
    udivmod64(dividend, divisor, &remainder);
    return remainder;
}

LM_EXPORT int64_t __divdi3(int64_t dividend, int64_t divisor) {
    if (divisor == 0)
        return 0;
    uint64_t quotient = udivmod64(magnitude(dividend), magnitude(divisor), nullptr);
    if ((dividend < 0) != (divisor < 0))
        quotient = 0 - quotient;
    return static_cast<int64_t>(quotient);
}

LM_EXPORT int64_t __moddi3(int64_t dividend, int64_t divisor) {
    if (divisor == 0)
        return 0;
    uint64_t remainder;
    udivmod64(magnitude(dividend), magnitude(divisor), &remainder);
    if (dividend < 0)
        remainder = 0 - remainder;
    return static_cast<int64_t>(remainder);
}
