/* The formatter: each conversion becomes a field (a prefix such as a sign or 0x, and a
 * body of up to eight pieces, each a run of text or of zeros) that is then padded to the
 * width and copied into the buffer, so that no conversion needs a buffer of its own size. */
#include "number_format.h"

#include "float_digits.h"

#include <limits.h>
#include <stdint.h>
#include <string.h>

enum {
    FLAG_LEFT = 1,
    FLAG_PLUS = 2,
    FLAG_SPACE = 4,
    FLAG_ALT = 8,
    FLAG_ZERO = 16,
};

enum length { LENGTH_INT, LENGTH_CHAR, LENGTH_SHORT, LENGTH_LONG, LENGTH_SIZE, LENGTH_LONG_DOUBLE };

typedef struct {
    unsigned flags;
    int width;
    int precision; /* -1: none */
    enum length length;
    char conversion;
} directive;

/* The destination: `length` counts every character produced, stored or not. */
typedef struct {
    char *buffer;
    size_t capacity; /* characters that can be stored before the terminator */
    size_t length;
} sink;

static void put(sink *s, const char *text, size_t n) {
    if (n != 0 && s->length < s->capacity) {
        size_t room = s->capacity - s->length;
        memcpy(s->buffer + s->length, text, n < room ? n : room);
    }
    s->length += n;
}

static void put_repeated(sink *s, char c, size_t n) {
    if (n != 0 && s->length < s->capacity) {
        size_t room = s->capacity - s->length;
        memset(s->buffer + s->length, c, n < room ? n : room);
    }
    s->length += n;
}

#define MAX_PIECES 8

typedef struct {
    char prefix[4]; /* sign and 0x, as needed */
    size_t prefix_size;
    struct {
        const char *text; /* NULL: a run of zeros */
        size_t size;
    } piece[MAX_PIECES];
    int pieces;
    size_t size;   /* of the body */
    int zero_pad;  /* the 0 flag applies: pad with zeros between prefix and body */
} field;

static void field_start(field *f) {
    f->prefix_size = 0;
    f->pieces = 0;
    f->size = 0;
    f->zero_pad = 0;
}

static void add_prefix(field *f, char c) {
    f->prefix[f->prefix_size++] = c;
}

static void add_text(field *f, const char *text, size_t n) {
    if (n == 0)
        return;
    f->piece[f->pieces].text = text;
    f->piece[f->pieces].size = n;
    f->pieces++;
    f->size += n;
}

static void add_zeros(field *f, size_t n) {
    add_text(f, NULL, n);
}

static void emit(sink *s, const directive *dir, const field *f) {
    size_t total = f->prefix_size + f->size;
    size_t pad = (size_t)dir->width > total ? (size_t)dir->width - total : 0;
    int left = dir->flags & FLAG_LEFT;
    int zeros = f->zero_pad && (dir->flags & FLAG_ZERO) && !left;
    if (!left && !zeros)
        put_repeated(s, ' ', pad);
    put(s, f->prefix, f->prefix_size);
    if (zeros)
        put_repeated(s, '0', pad);
    for (int i = 0; i < f->pieces; i++) {
        if (f->piece[i].text)
            put(s, f->piece[i].text, f->piece[i].size);
        else
            put_repeated(s, '0', f->piece[i].size);
    }
    if (left)
        put_repeated(s, ' ', pad);
}

static void add_sign(field *f, const directive *dir, int negative) {
    if (negative)
        add_prefix(f, '-');
    else if (dir->flags & FLAG_PLUS)
        add_prefix(f, '+');
    else if (dir->flags & FLAG_SPACE)
        add_prefix(f, ' ');
}

/* ---- Integers, characters, strings ---- */

static const char lower_digits[] = "0123456789abcdef";
static const char upper_digits[] = "0123456789ABCDEF";

static const char digit_pairs[] = "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
                                  "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
                                  "8081828384858687888990919293949596979899";

/* Writes the digits of value in `base` to end at `end`; returns where they start. */
static char *unsigned_digits(uint64_t value, unsigned base, int upper, char *end) {
    char *p = end;
    if (base == 10) {
        while (value >= 100) {
            unsigned pair = (unsigned)(value % 100) * 2;
            value /= 100;
            *--p = digit_pairs[pair + 1];
            *--p = digit_pairs[pair];
        }
        if (value >= 10) {
            *--p = digit_pairs[value * 2 + 1];
            *--p = digit_pairs[value * 2];
        } else {
            *--p = (char)('0' + value);
        }
        return p;
    }
    const char *digits = upper ? upper_digits : lower_digits;
    unsigned shift = base == 16 ? 4 : 3;
    do {
        *--p = digits[value & (base - 1)];
        value >>= shift;
    } while (value != 0);
    return p;
}

static void format_integer(sink *s, const directive *dir, uint64_t value, int negative) {
    char buffer[24];
    char *end = buffer + sizeof buffer;
    char c = dir->conversion;
    unsigned base = c == 'o' ? 8 : (c == 'x' || c == 'X' || c == 'p') ? 16 : 10;
    char *digits = unsigned_digits(value, base, c == 'X', end);
    size_t count = (size_t)(end - digits);
    size_t zeros = 0;
    field f;
    field_start(&f);
    if (dir->precision >= 0) {
        if (value == 0 && dir->precision == 0)
            count = 0;
        if ((size_t)dir->precision > count)
            zeros = (size_t)dir->precision - count;
    }
    add_sign(&f, dir, negative);
    if (dir->flags & FLAG_ALT) {
        if (base == 8 && zeros == 0 && (count == 0 || *digits != '0'))
            zeros = 1;
        if (base == 16 && value != 0) {
            add_prefix(&f, '0');
            add_prefix(&f, c == 'X' ? 'X' : 'x');
        }
    }
    add_zeros(&f, zeros);
    add_text(&f, digits, count);
    f.zero_pad = dir->precision < 0;
    emit(s, dir, &f);
}

static void format_text(sink *s, const directive *dir, const char *text, size_t n) {
    field f;
    field_start(&f);
    add_text(&f, text, n);
    emit(s, dir, &f);
}

static void format_string(sink *s, const directive *dir, const char *text) {
    if (!text)
        text = dir->precision < 0 || dir->precision >= 6 ? "(null)" : "";
    size_t n;
    if (dir->precision < 0) {
        n = strlen(text);
    } else {
        /* Never look past the precision: the text need not be terminated. */
        size_t limit = (size_t)dir->precision;
        for (n = 0; n < limit && text[n] != 0; n++)
            continue;
    }
    format_text(s, dir, text, n);
}

/* ---- Floating point ---- */

/* Appends e+XX (at least two exponent digits) to the body, using `storage`. */
static void add_exponent(field *f, char letter, int exponent, char *storage) {
    char *end = storage + 8;
    unsigned magnitude = (unsigned)(exponent < 0 ? -exponent : exponent);
    char *p = unsigned_digits(magnitude, 10, 0, end);
    if (magnitude < 10)
        *--p = '0';
    *--p = exponent < 0 ? '-' : '+';
    *--p = letter;
    add_text(f, p, (size_t)(end - p));
}

/* d as d.ddd with `precision` decimals and an exponent; d->count <= precision + 1. */
static void layout_exponential(field *f, const directive *dir, const float_digits *d, long long precision, int upper,
                               char *storage) {
    add_text(f, d->count > 0 ? d->digit : "0", 1);
    if (precision > 0 || (dir->flags & FLAG_ALT))
        add_text(f, ".", 1);
    size_t shown = d->count > 1 ? (size_t)d->count - 1 : 0;
    add_text(f, d->digit + 1, shown);
    add_zeros(f, (size_t)precision - shown);
    add_exponent(f, upper ? 'E' : 'e', d->count > 0 ? d->exponent : 0, storage);
}

/* d with `decimals` decimals; d holds no digit below 10^-decimals. */
static void layout_fixed(field *f, const directive *dir, const float_digits *d, long long decimals) {
    int exponent = d->exponent;
    int count = d->count;
    if (count == 0 || exponent < 0) {
        add_text(f, "0", 1);
    } else {
        size_t integral = (size_t)exponent + 1;
        size_t held = integral < (size_t)count ? integral : (size_t)count;
        add_text(f, d->digit, held);
        add_zeros(f, integral - held);
    }
    if (decimals > 0 || (dir->flags & FLAG_ALT))
        add_text(f, ".", 1);
    if (decimals == 0)
        return;
    size_t leading = 0, start = 0, shown = 0;
    if (count > 0) {
        leading = exponent < -1 ? (size_t)(-exponent - 1) : 0;
        if (leading > (size_t)decimals)
            leading = (size_t)decimals;
        start = exponent >= 0 ? (size_t)exponent + 1 : 0;
        shown = (size_t)count > start ? (size_t)count - start : 0;
    }
    add_zeros(f, leading);
    add_text(f, d->digit + start, shown);
    add_zeros(f, (size_t)decimals - leading - shown);
}

/* The digits of d that are not trailing zeros. */
static int significant_count(const float_digits *d) {
    int n = d->count;
    while (n > 0 && d->digit[n - 1] == '0')
        n--;
    return n;
}

static void layout_general(field *f, const directive *dir, double v, int precision, int upper, float_digits *d,
                           char *storage) {
    int p = precision < 0 ? 6 : precision == 0 ? 1 : precision;
    if (v == 0) {
        d->count = 0;
        d->exponent = 0;
    } else {
        float_digits_significant(v, p, d);
    }
    int x = d->exponent;
    /* Without #, trailing zeros go, and the point with them when no decimal is left. */
    int alt = dir->flags & FLAG_ALT;
    if (!alt)
        d->count = significant_count(d);
    long long shown = alt ? p : d->count;
    if (x < p && x >= -4) {
        long long decimals = shown - 1 - x;
        layout_fixed(f, dir, d, decimals > 0 ? decimals : 0);
    } else if (alt && x == p && significant_count(d) == 1 && d->digit[0] == '1' && float_digits_exponent(v) < x) {
        /* glibc's choice, kept for identical output: when rounding in fixed notation with
         * no decimals carries into one digit too many (999.5 as %#.3g), the exponential
         * form it falls back to keeps no decimals either: 1.e+03, not 1.00e+03. */
        d->count = 1;
        layout_exponential(f, dir, d, 0, upper, storage);
    } else {
        layout_exponential(f, dir, d, shown > 1 ? shown - 1 : 0, upper, storage);
    }
}

static void layout_hexadecimal(field *f, const directive *dir, uint64_t bits, int upper, char *storage) {
    const char *digits = upper ? upper_digits : lower_digits;
    int biased = (int)(bits >> 52) & 0x7FF;
    uint64_t mantissa = bits & ((UINT64_C(1) << 52) - 1);
    uint64_t lead = biased != 0;
    int exponent = biased == 0 ? (mantissa == 0 ? 0 : -1022) : biased - 1023;
    int shown = 13;
    if (dir->precision >= 0 && dir->precision < 13) {
        /* Round the 1 + 52 bit significand to 4 * precision fraction bits, ties to even. */
        int drop = 52 - 4 * dir->precision;
        uint64_t full = lead << 52 | mantissa;
        uint64_t rest = full & ((UINT64_C(1) << drop) - 1), half = UINT64_C(1) << (drop - 1);
        full >>= drop;
        if (rest > half || (rest == half && (full & 1)))
            full++;
        shown = dir->precision;
        lead = full >> (4 * shown);
        mantissa = (full & ((UINT64_C(1) << (4 * shown)) - 1)) << drop;
    } else if (dir->precision < 0) {
        while (shown > 0 && ((mantissa >> (52 - 4 * shown)) & 0xF) == 0)
            shown--;
    }
    add_prefix(f, '0');
    add_prefix(f, upper ? 'X' : 'x');
    char *p = storage; /* lead digit, point, 13 digits, then the exponent */
    *p++ = digits[lead];
    if (shown > 0 || dir->precision > 0 || (dir->flags & FLAG_ALT))
        *p++ = '.';
    for (int i = 1; i <= shown; i++)
        *p++ = digits[(mantissa >> (52 - 4 * i)) & 0xF];
    add_text(f, storage, (size_t)(p - storage));
    if (dir->precision > 13)
        add_zeros(f, (size_t)dir->precision - 13);
    char *end = storage + 32;
    char *e = unsigned_digits((uint64_t)(exponent < 0 ? -exponent : exponent), 10, 0, end);
    *--e = exponent < 0 ? '-' : '+';
    *--e = upper ? 'P' : 'p';
    add_text(f, e, (size_t)(end - e));
}

static void format_float(sink *s, const directive *dir, double v) {
    uint64_t bits;
    memcpy(&bits, &v, sizeof bits);
    int negative = (int)(bits >> 63);
    char c = dir->conversion;
    int upper = c == 'E' || c == 'F' || c == 'G' || c == 'A';
    field f;
    field_start(&f);
    add_sign(&f, dir, negative);
    double magnitude = negative ? -v : v;
    if ((bits & 0x7FF0000000000000) == 0x7FF0000000000000) {
        int nan = (bits & 0x000FFFFFFFFFFFFF) != 0;
        add_text(&f, nan ? (upper ? "NAN" : "nan") : (upper ? "INF" : "inf"), 3);
        emit(s, dir, &f);
        return;
    }
    f.zero_pad = 1;
    char storage[40];
    float_digits d;
    int precision = dir->precision;
    switch (c | 0x20) {
    case 'a':
        layout_hexadecimal(&f, dir, bits, upper, storage);
        break;
    case 'e':
        if (precision < 0)
            precision = 6;
        if (magnitude == 0) {
            d.count = 0;
            d.exponent = 0;
        } else {
            /* More digits than a double holds come out of the exact expansion; the rest
             * are zeros. */
            float_digits_significant(magnitude, precision < FLOAT_DIGITS_MAX - 1 ? precision + 1 : FLOAT_DIGITS_MAX - 1,
                                     &d);
        }
        layout_exponential(&f, dir, &d, precision, upper, storage);
        break;
    case 'f':
        if (precision < 0)
            precision = 6;
        float_digits_fixed(magnitude, precision, &d);
        layout_fixed(&f, dir, &d, precision);
        break;
    default:
        layout_general(&f, dir, magnitude, precision, upper, &d, storage);
        break;
    }
    emit(s, dir, &f);
}

/* ---- The directive parser ---- */

/* Reads a decimal number; returns 0 when it exceeds INT_MAX. */
static int read_count(const char **p, int *value) {
    long long n = 0;
    while (**p >= '0' && **p <= '9') {
        n = n * 10 + (**p - '0');
        if (n > INT_MAX)
            return 0;
        (*p)++;
    }
    *value = (int)n;
    return 1;
}

/* Parses flags, width, precision and length after a %; *p ends on the conversion. */
static int parse_directive(const char **p, directive *dir, va_list *args) {
    dir->flags = 0;
    dir->width = 0;
    dir->precision = -1;
    dir->length = LENGTH_INT;
    for (;; (*p)++) {
        char c = **p;
        if (c == '-')
            dir->flags |= FLAG_LEFT;
        else if (c == '+')
            dir->flags |= FLAG_PLUS;
        else if (c == ' ')
            dir->flags |= FLAG_SPACE;
        else if (c == '#')
            dir->flags |= FLAG_ALT;
        else if (c == '0')
            dir->flags |= FLAG_ZERO;
        else
            break;
    }
    if (**p == '*') {
        (*p)++;
        int width = va_arg(*args, int);
        if (width < 0) {
            if (width == INT_MIN)
                return 0;
            dir->flags |= FLAG_LEFT;
            width = -width;
        }
        dir->width = width;
    } else if (!read_count(p, &dir->width)) {
        return 0;
    }
    if (**p == '.') {
        (*p)++;
        if (**p == '*') {
            (*p)++;
            int precision = va_arg(*args, int);
            dir->precision = precision < 0 ? -1 : precision;
        } else if (!read_count(p, &dir->precision)) {
            return 0;
        }
    }
    switch (**p) {
    case 'h':
        (*p)++;
        dir->length = LENGTH_SHORT;
        if (**p == 'h') {
            (*p)++;
            dir->length = LENGTH_CHAR;
        }
        break;
    case 'l':
        (*p)++;
        dir->length = LENGTH_LONG;
        if (**p == 'l')
            (*p)++;
        break;
    case 'j':
        (*p)++;
        dir->length = LENGTH_LONG;
        break;
    case 'z':
    case 't':
        (*p)++;
        dir->length = LENGTH_SIZE;
        break;
    case 'L':
        (*p)++;
        dir->length = LENGTH_LONG_DOUBLE;
        break;
    }
    dir->conversion = **p;
    return dir->conversion != 0;
}

static int64_t signed_argument(const directive *dir, va_list *args) {
    switch (dir->length) {
    case LENGTH_CHAR:
        return (signed char)va_arg(*args, int);
    case LENGTH_SHORT:
        return (short)va_arg(*args, int);
    case LENGTH_INT:
        return va_arg(*args, int);
    case LENGTH_SIZE:
        return (int64_t)va_arg(*args, ptrdiff_t);
    default:
        return va_arg(*args, long long);
    }
}

static uint64_t unsigned_argument(const directive *dir, va_list *args) {
    switch (dir->length) {
    case LENGTH_CHAR:
        return (unsigned char)va_arg(*args, unsigned);
    case LENGTH_SHORT:
        return (unsigned short)va_arg(*args, unsigned);
    case LENGTH_INT:
        return va_arg(*args, unsigned);
    case LENGTH_SIZE:
        return va_arg(*args, size_t);
    default:
        return va_arg(*args, unsigned long long);
    }
}

/* Formats one conversion; returns 0 for an unknown conversion letter. */
static int format_conversion(sink *s, directive *dir, va_list *args) {
    switch (dir->conversion) {
    case 'd':
    case 'i': {
        int64_t value = signed_argument(dir, args);
        format_integer(s, dir, value < 0 ? 0 - (uint64_t)value : (uint64_t)value, value < 0);
        return 1;
    }
    case 'u':
    case 'o':
    case 'x':
    case 'X':
        dir->flags &= ~(unsigned)(FLAG_PLUS | FLAG_SPACE); /* signs belong to signed conversions */
        format_integer(s, dir, unsigned_argument(dir, args), 0);
        return 1;
    case 'p': {
        void *pointer = va_arg(*args, void *);
        if (!pointer) {
            format_text(s, dir, "(nil)", 5);
        } else {
            dir->flags |= FLAG_ALT;
            format_integer(s, dir, (uint64_t)(uintptr_t)pointer, 0);
        }
        return 1;
    }
    case 'c': {
        char c = (char)va_arg(*args, int);
        format_text(s, dir, &c, 1);
        return 1;
    }
    case 's':
        format_string(s, dir, va_arg(*args, const char *));
        return 1;
    case 'e':
    case 'E':
    case 'f':
    case 'F':
    case 'g':
    case 'G':
    case 'a':
    case 'A':
        if (dir->length == LENGTH_LONG_DOUBLE)
            format_float(s, dir, (double)va_arg(*args, long double));
        else
            format_float(s, dir, va_arg(*args, double));
        return 1;
    case '%':
        put(s, "%", 1);
        return 1;
    default:
        return 0;
    }
}

int lorrinlua_vsnprintf(char *buffer, size_t size, const char *format, va_list ap) {
    sink s = {buffer, size > 0 ? size - 1 : 0, 0};
    va_list args;
    va_copy(args, ap);
    int complete = format != NULL;
    const char *p = format ? format : "";
    while (*p) {
        const char *text = p;
        while (*p && *p != '%')
            p++;
        put(&s, text, (size_t)(p - text));
        if (!*p)
            break;
        const char *written = p++;
        directive dir;
        if (!parse_directive(&p, &dir, &args)) {
            complete = 0;
            break;
        }
        p++;
        if (!format_conversion(&s, &dir, &args))
            put(&s, written, (size_t)(p - written)); /* unknown: copied out as written */
    }
    va_end(args);
    if (size > 0)
        buffer[s.length < s.capacity ? s.length : s.capacity] = 0;
    return complete && s.length <= INT_MAX ? (int)s.length : -1;
}

int lorrinlua_snprintf(char *buffer, size_t size, const char *format, ...) {
    va_list args;
    va_start(args, format);
    int n = lorrinlua_vsnprintf(buffer, size, format, args);
    va_end(args);
    return n;
}
