// strtol and strtoul: one scanner that accepts bases 0 and 2..36 and nothing else.
// The value wraps modulo 2^64 and is never clamped; strtol reads the same bits as
// signed. (strtoull has a scanner of its own, see strtoull.cpp.)
#include "host/program_api.h"
#include "libc/number_scan.h"

#include <stdint.h>

namespace {

// 0-9 give 0..9, letters of either case 10..35, every other byte -1. Only the low
// 8 bits of ch count.
int digit_value(int ch) {
    unsigned char c = static_cast<unsigned char>(ch);
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z')
        return c - 'A' + 10;
    return -1;
}

uint64_t scan_integer(const char *s, char **end, int base) {
    if (end)
        *end = const_cast<char *>(s);
    if (!s)
        return 0;
    const char *p = s;
    while (lm::is_scan_space(*p))
        p++;
    bool negative = *p == '-';
    if (*p == '+' || *p == '-')
        p++;
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
    for (int digit; (digit = digit_value(*p)) >= 0 && digit < base; p++)
        value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
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
