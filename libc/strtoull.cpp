// strtoull and strtoll: a scanner of their own that takes the base as passed, without
// a range test. Base 1 accepts only the digit 0, a base above 36 accepts every digit and
// letter, a negative base accepts nothing. The value wraps modulo 2^64.
#include "libc/library.h"
#include "libc/number_scan.h"

#include <stdint.h>

LM_EXPORT unsigned long long strtoull(const char *s, char **end, int base) {
    if (end)
        *end = const_cast<char *>(s);
    if (!s)
        return 0;
    const char *p = s;
    bool negative = lm::skip_space_and_sign(p);
    if (base == 0 || base == 16) {
        if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
            p += 2;
            base = 16;
        } else if (base == 0) {
            base = p[0] == '0' ? 8 : 10;
        }
    }
    uint64_t value = 0;
    const char *first_digit = p;
    for (;; p++) {
        unsigned char c = static_cast<unsigned char>(*p);
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'z')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'Z')
            digit = c - 'A' + 10;
        else
            break;
        if (digit >= base)
            break;
        value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
    }
    if (p == first_digit)
        return 0;
    if (end)
        *end = const_cast<char *>(p);
    return negative ? 0 - value : value;
}

LM_EXPORT long long strtoll(const char *s, char **end, int base) {
    return static_cast<long long>(strtoull(s, end, base));
}
