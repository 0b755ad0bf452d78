// snprintf and vsnprintf: a small formatter with a fixed set of conversions. Widths,
// precisions and flags are skipped; anything unknown is marked with "?" instead of
// failing. Every piece of state lives in the call, so the console and error paths may
// use it when no heap exists.
#include "libc/library.h"
#include "libc/simd.h"

#include <stdarg.h>
#include <stddef.h>
#include <stdint.h>
#include <string.h>

namespace {

// The three formatting values: where the next byte goes, how much of the destination
// is left (one byte of it always held back for the terminator), and how many
// characters the whole output would have without a size limit.
struct Output {
    char *cursor;
    uint64_t remaining;
    uint32_t count;
};

void append_char(Output &out, char c) {
    if (out.remaining >= 2) {
        *out.cursor++ = c;
        out.remaining--;
    }
    out.count++;
}

// `length` bytes at once, with exactly the effect of append_char on each of them: as
// many as fit are stored and all of them are counted (modulo 2^32, like the count).
void append_bytes(Output &out, const char *bytes, size_t length) {
    size_t room = out.remaining >= 2 ? out.remaining - 1 : 0;
    size_t stored = length < room ? length : room;
    memcpy(out.cursor, bytes, stored);
    out.cursor += stored;
    out.remaining -= stored;
    out.count += static_cast<uint32_t>(length);
}

// The same as append_bytes(out, s, strlen(s)), in one pass over the part that fits:
// from a 16-byte boundary of the string on, whole blocks without a terminator are copied
// as they are read. Blocks are read only from aligned addresses, so that no read crosses
// into a page the string does not reach.
void append_string(Output &out, const char *s) {
    namespace simd = lm::simd;
    if (!s)
        s = "(null)";
    const size_t room = out.remaining >= 2 ? out.remaining - 1 : 0;
    char *const to = out.cursor; // a local, so that the stores cannot seem to change it
    const char *p = s;
    for (; (reinterpret_cast<uintptr_t>(p) & (simd::kSize - 1)) && *p && static_cast<size_t>(p - s) < room; p++)
        to[p - s] = *p;
    auto fits = [&](size_t bytes) { return static_cast<size_t>(p - s) + bytes <= room; };
    if ((reinterpret_cast<uintptr_t>(p) & (simd::kSize - 1)) == 0) {
        // Single blocks up to a 64-byte boundary, then four at a time: the four lie in
        // one aligned 64 bytes, so they too stay within the page of the first.
        for (; (reinterpret_cast<uintptr_t>(p) & (4 * simd::kSize - 1)) && fits(simd::kSize); p += simd::kSize) {
            simd::Block block = simd::load_aligned(p);
            if (simd::zero_bits(block))
                break;
            simd::store(to + (p - s), block);
        }
        if ((reinterpret_cast<uintptr_t>(p) & (4 * simd::kSize - 1)) == 0) {
            for (; fits(4 * simd::kSize); p += 4 * simd::kSize) {
                simd::Block b0 = simd::load_aligned(p), b1 = simd::load_aligned(p + 16);
                simd::Block b2 = simd::load_aligned(p + 32), b3 = simd::load_aligned(p + 48);
                if (simd::zero_bits(simd::minimum(simd::minimum(b0, b1), simd::minimum(b2, b3))))
                    break;
                char *d = to + (p - s);
                simd::store(d, b0);
                simd::store(d + 16, b1);
                simd::store(d + 32, b2);
                simd::store(d + 48, b3);
            }
        }
    }
    // What is left: measured, and stored as far as it fits.
    const size_t copied = static_cast<size_t>(p - s);
    const size_t length = copied + strlen(p);
    const size_t stored = length < room ? length : room;
    memcpy(out.cursor + copied, p, stored - copied);
    out.cursor += stored;
    out.remaining -= stored;
    out.count += static_cast<uint32_t>(length);
}

void append_unsigned(Output &out, uint64_t value, unsigned base, bool upper) {
    const char *digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    char text[32]; // at most 20 decimal or 16 hexadecimal digits, filled from the end
    char *first = text + sizeof text;
    do {
        *--first = digits[value % base];
        value /= base;
    } while (value != 0);
    append_bytes(out, first, static_cast<size_t>(text + sizeof text - first));
}

// The exact decimal digits of an integral double of 2^64 or more: its bits as a
// little-endian number of 32-bit limbs, divided by 10^9 until nothing is left.
void append_huge_integer(Output &out, double v) {
    uint64_t bits = __builtin_bit_cast(uint64_t, v);
    uint64_t mantissa = (bits & ((uint64_t{1} << 52) - 1)) | (uint64_t{1} << 52);
    int shift = static_cast<int>((bits >> 52) & 0x7FF) - 1075; // v = mantissa * 2^shift, shift > 11

    uint32_t limbs[34] = {};
    int word = shift / 32;
    int offset = shift % 32;
    limbs[word] = static_cast<uint32_t>(mantissa << offset);
    limbs[word + 1] = static_cast<uint32_t>(mantissa >> (32 - offset));
    limbs[word + 2] = static_cast<uint32_t>((mantissa >> 32) >> (32 - offset));
    int used = word + 3;

    char reversed[320]; // DBL_MAX has 309 digits
    int n = 0;
    while (used > 0) {
        uint64_t rest = 0;
        for (int i = used - 1; i >= 0; i--) {
            uint64_t part = (rest << 32) | limbs[i];
            limbs[i] = static_cast<uint32_t>(part / 1000000000u);
            rest = part % 1000000000u;
        }
        while (used > 0 && limbs[used - 1] == 0)
            used--;
        // Nine digits per step; the last (most significant) chunk without leading zeros.
        for (int i = 0; i < 9 && (used > 0 || rest != 0); i++) {
            reversed[n++] = static_cast<char>('0' + rest % 10);
            rest /= 10;
        }
    }
    // The digits were produced least significant first.
    for (int i = 0, j = n - 1; i < j; i++, j--) {
        char t = reversed[i];
        reversed[i] = reversed[j];
        reversed[j] = t;
    }
    append_bytes(out, reversed, static_cast<size_t>(n));
}

// Fixed notation with six truncated (never rounded) decimals; the precision is ignored.
void append_fixed(Output &out, double v) {
    if (v != v) {
        append_string(out, "nan");
        return;
    }
    if (v < 0) {
        append_char(out, '-');
        v = -v;
    }
    if (v == __builtin_inf()) {
        append_string(out, "inf");
        return;
    }
    double fraction = 0;
    if (v < 18446744073709551616.0) { // 2^64
        uint64_t integral = static_cast<uint64_t>(v);
        append_unsigned(out, integral, 10, false);
        fraction = v - static_cast<double>(integral);
    } else {
        append_huge_integer(out, v); // a double this large has no fraction
    }
    char decimals[7] = {'.'};
    for (int i = 1; i <= 6; i++) {
        fraction *= 10;
        int32_t digit = static_cast<int32_t>(fraction);
        decimals[i] = static_cast<char>('0' + digit);
        fraction -= digit;
    }
    append_bytes(out, decimals, sizeof decimals);
}

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

} // namespace

LM_EXPORT int vsnprintf(char *dst, size_t n, const char *fmt, va_list ap) {
    Output out{dst, n, 0};
    if (n != 0)
        dst[0] = 0;
    if (!fmt)
        fmt = "";

    while (*fmt) {
        // Literal text up to the next specifier goes out in one piece.
        if (*fmt != '%') {
            const char *run = fmt;
            while (*fmt && *fmt != '%')
                fmt++;
            append_bytes(out, run, static_cast<size_t>(fmt - run));
            continue;
        }
        fmt++;
        if (*fmt == '%') {
            append_char(out, '%');
            fmt++;
            continue;
        }
        // Width and precision are skipped.
        while (is_digit(*fmt))
            fmt++;
        if (*fmt == '.') {
            fmt++;
            while (is_digit(*fmt))
                fmt++;
        }
        // Length modifiers: h and hh keep 32-bit integers; l, ll, j, z and t take the
        // whole 64-bit argument (if any of them is present, the wide reading wins).
        bool wide = false;
        for (;; fmt++) {
            if (*fmt == 'l' || *fmt == 'j' || *fmt == 'z' || *fmt == 't')
                wide = true;
            else if (*fmt != 'h')
                break;
        }
        // A specifier cut off by the end of the format: mark it and stop there.
        if (*fmt == 0) {
            append_char(out, '?');
            break;
        }

        char conversion = *fmt++;
        switch (conversion) {
        case 'd':
        case 'i':
        case 'I': {
            int64_t value = wide ? va_arg(ap, int64_t) : va_arg(ap, int);
            uint64_t magnitude = static_cast<uint64_t>(value);
            if (value < 0) {
                append_char(out, '-');
                magnitude = 0 - magnitude;
            }
            append_unsigned(out, magnitude, 10, false);
            break;
        }
        case 'u':
        case 'x':
        case 'X': {
            uint64_t value = wide ? va_arg(ap, uint64_t) : va_arg(ap, unsigned);
            append_unsigned(out, value, conversion == 'u' ? 10 : 16, conversion == 'X');
            break;
        }
        case 'p':
            append_string(out, "0x");
            append_unsigned(out, reinterpret_cast<uintptr_t>(va_arg(ap, void *)), 16, false);
            break;
        case 'c':
            append_char(out, static_cast<char>(va_arg(ap, int)));
            break;
        case 's':
            append_string(out, va_arg(ap, const char *));
            break;
        case 'f':
            append_fixed(out, va_arg(ap, double));
            break;
        default:
            // Unknown conversions (e, g, o, n, flags, a star width, ...) take no argument.
            append_char(out, '?');
            break;
        }
    }

    if (n != 0)
        *out.cursor = 0;
    return static_cast<int>(out.count);
}

LM_EXPORT int snprintf(char *dst, size_t n, const char *fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    int count = vsnprintf(dst, n, fmt, ap);
    va_end(ap);
    return count;
}
