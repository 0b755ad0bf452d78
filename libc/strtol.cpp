// strtol and strtoul: one scanner that accepts bases 0 and 2..36 and nothing else.
// The value wraps modulo 2^64 and is never clamped; strtol reads the same bits as
// signed. (strtoull has a scanner of its own, see strtoull.cpp.)
#include "libc/library.h"
#include "libc/number_scan.h"

#include <stdint.h>

namespace {

// 0-9 give 0..9, letters of either case 10..35, every other byte -1. Only the low
// 8 bits of ch count. Built at compile time; a lookup per digit.
struct DigitTable {
    int8_t value[256];
    constexpr DigitTable() : value() {
        for (int c = 0; c < 256; c++)
            value[c] = c >= '0' && c <= '9'   ? static_cast<int8_t>(c - '0')
                       : c >= 'a' && c <= 'z' ? static_cast<int8_t>(c - 'a' + 10)
                       : c >= 'A' && c <= 'Z' ? static_cast<int8_t>(c - 'A' + 10)
                                              : int8_t{-1};
    }
};
constexpr DigitTable kDigits;

int digit_value(int ch) {
    return kDigits.value[static_cast<unsigned char>(ch)];
}

// The digit loop for one base, a constant in the common cases so that the multiply
// becomes shifts and adds; every base gives the same wrapping arithmetic.
template <int Base>
const char *accumulate(const char *p, int base, uint64_t &value) {
    const uint64_t multiplier = Base ? Base : static_cast<uint64_t>(base);
    for (int digit; (digit = digit_value(*p)) >= 0 && digit < (Base ? Base : base); p++)
        value = value * multiplier + static_cast<uint64_t>(digit);
    return p;
}

uint64_t scan_integer(const char *s, char **end, int base) {
    if (end)
        *end = const_cast<char *>(s);
    if (!s)
        return 0;
    const char *p = s;
    bool negative = lm::skip_space_and_sign(p);
    bool hex_prefix = p[0] == '0' && (p[1] == 'x' || p[1] == 'X');
    if (base == 16) {
        if (hex_prefix)
            p += 2;
    } else if (base == 0) {
        if (hex_prefix) {
            p += 2;
            base = 16;
        } else {
            base = p[0] == '0' ? 8 : 10;
        }
    } else if (base < 2 || base > 36) {
        return 0;
    }
    uint64_t value = 0;
    const char *first_digit = p;
    p = base == 10 ? accumulate<10>(p, base, value) : base == 16 ? accumulate<16>(p, base, value)
                                                                 : accumulate<0>(p, base, value);
    if (p == first_digit)
        return 0;
    if (end)
        *end = const_cast<char *>(p);
    return negative ? 0 - value : value;
}

} // namespace

LM_EXPORT long strtol(const char *s, char **end, int base) {
    return static_cast<long>(scan_integer(s, end, base));
}

LM_EXPORT unsigned long strtoul(const char *s, char **end, int base) {
    return static_cast<unsigned long>(scan_integer(s, end, base));
}
