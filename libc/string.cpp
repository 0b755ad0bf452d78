// Memory and byte-string functions. Each behaves exactly as its byte-by-byte definition;
// the busy ones step a word at a time where that provably gives the same result.
#include "libc/library.h"
#include "libc/simd.h"
#include "libc/word.h"

#include <stddef.h>
#include <stdint.h>

namespace word = lm::word;
using u8 = unsigned char;

// Copies 64-byte blocks upward in four 16-byte vectors, all read before any is written;
// returns how many bytes it copied. Gives the byte-by-byte result when the destination
// is below the source or at least a block above it (the same reasoning as for words).
static size_t copy_vector_blocks_up(u8 *d, const u8 *s, size_t n) {
    namespace simd = lm::simd;
    size_t i = 0;
    for (; i + 4 * simd::kSize <= n; i += 4 * simd::kSize) {
        simd::Block b0 = simd::load(s + i), b1 = simd::load(s + i + 16);
        simd::Block b2 = simd::load(s + i + 32), b3 = simd::load(s + i + 48);
        simd::store(d + i, b0);
        simd::store(d + i + 16, b1);
        simd::store(d + i + 32, b2);
        simd::store(d + i + 48, b3);
    }
    return i;
}

// The same downward from byte n, for a destination above the source; returns how many
// bytes are left to copy at the bottom.
static size_t copy_vector_blocks_down(u8 *d, const u8 *s, size_t n) {
    namespace simd = lm::simd;
    size_t i = n;
    for (; i >= 4 * simd::kSize; i -= 4 * simd::kSize) {
        simd::Block b0 = simd::load(s + i - 16), b1 = simd::load(s + i - 32);
        simd::Block b2 = simd::load(s + i - 48), b3 = simd::load(s + i - 64);
        simd::store(d + i - 16, b0);
        simd::store(d + i - 32, b1);
        simd::store(d + i - 48, b2);
        simd::store(d + i - 64, b3);
    }
    return i;
}

// Copies 32-byte blocks upward, all four words of a block read before any is written;
// returns how many bytes it copied. Gives the byte-by-byte result when the destination
// is below the source or at least a block above it.
static size_t copy_blocks_up(u8 *d, const u8 *s, size_t n) {
    size_t i = 0;
    for (; i + 4 * word::kSize <= n; i += 4 * word::kSize) {
        uint64_t w0 = word::load(s + i), w1 = word::load(s + i + 8);
        uint64_t w2 = word::load(s + i + 16), w3 = word::load(s + i + 24);
        word::store(d + i, w0);
        word::store(d + i + 8, w1);
        word::store(d + i + 16, w2);
        word::store(d + i + 24, w3);
    }
    return i;
}

// The same downward from byte n, for a destination above the source; returns how many
// bytes are left to copy at the bottom.
static size_t copy_blocks_down(u8 *d, const u8 *s, size_t n) {
    size_t i = n;
    for (; i >= 4 * word::kSize; i -= 4 * word::kSize) {
        uint64_t w0 = word::load(s + i - 8), w1 = word::load(s + i - 16);
        uint64_t w2 = word::load(s + i - 24), w3 = word::load(s + i - 32);
        word::store(d + i - 8, w0);
        word::store(d + i - 16, w1);
        word::store(d + i - 24, w2);
        word::store(d + i - 32, w3);
    }
    return i;
}

// memcpy is defined as a forward byte copy, overlap not considered. Copying a word at a
// time gives the same bytes unless the destination lies less than a word above the
// source: then a source byte of the word would be one this copy has yet to write.
LM_EXPORT void *memcpy(void *dst, const void *src, size_t n) {
    u8 *d = static_cast<u8 *>(dst);
    const u8 *s = static_cast<const u8 *>(src);
    size_t i = 0;
    uintptr_t distance = reinterpret_cast<uintptr_t>(d) - reinterpret_cast<uintptr_t>(s);
    if (d <= s || distance >= 4 * lm::simd::kSize)
        i = copy_vector_blocks_up(d, s, n);
    if (d <= s || distance >= 4 * word::kSize)
        i += copy_blocks_up(d + i, s + i, n - i);
    if (d <= s || distance >= word::kSize) {
        for (; i + word::kSize <= n; i += word::kSize)
            word::store(d + i, word::load(s + i));
    }
    for (; i < n; i++)
        d[i] = s[i];
    return dst;
}

// Upward when the destination is below the source, downward otherwise: either way every
// word is read before any byte of it is overwritten, as with single bytes.
LM_EXPORT void *memmove(void *dst, const void *src, size_t n) {
    u8 *d = static_cast<u8 *>(dst);
    const u8 *s = static_cast<const u8 *>(src);
    if (n == 0 || d == s)
        return dst;
    if (d < s && n >= 2048) {
        // The string copy moves bytes upward one at a time by definition (however the
        // processor speeds it up), which is exactly what a destination below the source
        // needs.
        void *to = d;
        const void *from = s;
        size_t count = n;
        asm volatile("rep movsb" : "+D"(to), "+S"(from), "+c"(count) : : "memory");
    } else if (d < s) {
        size_t i = copy_vector_blocks_up(d, s, n);
        i += copy_blocks_up(d + i, s + i, n - i);
        for (; i + word::kSize <= n; i += word::kSize)
            word::store(d + i, word::load(s + i));
        for (; i < n; i++)
            d[i] = s[i];
    } else {
        size_t i = copy_blocks_down(d, s, copy_vector_blocks_down(d, s, n));
        for (; i >= word::kSize; i -= word::kSize)
            word::store(d + i - word::kSize, word::load(s + i - word::kSize));
        while (i-- > 0)
            d[i] = s[i];
    }
    return dst;
}

// Large fills use the processor's string store, which writes whole cache lines at a time
// on current processors (and is merely a byte loop on old ones); its result is the same
// bytes as any other fill.
LM_EXPORT void *memset(void *dst, int ch, size_t n) {
    u8 *d = static_cast<u8 *>(dst);
    if (n >= 512) {
        void *cursor = d;
        size_t count = n;
        asm volatile("rep stosb" : "+D"(cursor), "+c"(count) : "a"(ch) : "memory");
        return dst;
    }
    uint64_t pattern = word::repeat(static_cast<u8>(ch));
    lm::simd::Block block = lm::simd::repeat(static_cast<char>(ch));
    size_t i = 0;
    for (; i + 4 * lm::simd::kSize <= n; i += 4 * lm::simd::kSize) {
        lm::simd::store(d + i, block);
        lm::simd::store(d + i + 16, block);
        lm::simd::store(d + i + 32, block);
        lm::simd::store(d + i + 48, block);
    }
    for (; i + 4 * word::kSize <= n; i += 4 * word::kSize) {
        word::store(d + i, pattern);
        word::store(d + i + 8, pattern);
        word::store(d + i + 16, pattern);
        word::store(d + i + 24, pattern);
    }
    for (; i + word::kSize <= n; i += word::kSize)
        word::store(d + i, pattern);
    for (; i < n; i++)
        d[i] = static_cast<u8>(ch);
    return dst;
}

LM_EXPORT void bzero(void *dst, size_t n) {
    memset(dst, 0, n);
}

LM_EXPORT void __bzero(void *dst, size_t n) {
    memset(dst, 0, n);
}

LM_EXPORT int memcmp(const void *a, const void *b, size_t n) {
    const u8 *x = static_cast<const u8 *>(a);
    const u8 *y = static_cast<const u8 *>(b);
    size_t i = 0;
    // Whole blocks that are equal are passed over; the first differing word is then
    // found below.
    for (; i + 4 * word::kSize <= n; i += 4 * word::kSize) {
        uint64_t diff = (word::load(x + i) ^ word::load(y + i)) | (word::load(x + i + 8) ^ word::load(y + i + 8)) |
                        (word::load(x + i + 16) ^ word::load(y + i + 16)) |
                        (word::load(x + i + 24) ^ word::load(y + i + 24));
        if (diff)
            break;
    }
    for (; i + word::kSize <= n; i += word::kSize) {
        uint64_t wx = word::load(x + i), wy = word::load(y + i);
        if (wx != wy) {
            i += word::first_difference(wx, wy);
            return x[i] - y[i];
        }
    }
    for (; i < n; i++)
        if (x[i] != y[i])
            return x[i] - y[i];
    return 0;
}

// Only equality matters to bcmp, and memcmp answers that as fast as anything would.
LM_EXPORT int bcmp(const void *a, const void *b, size_t n) __attribute__((alias("memcmp")));

LM_EXPORT void *memchr(const void *s, int ch, size_t n) {
    const u8 *p = static_cast<const u8 *>(s);
    for (size_t i = 0; i < n; i++)
        if (p[i] == static_cast<u8>(ch))
            return const_cast<u8 *>(p + i);
    return nullptr;
}

// From a word-aligned p, passes over the words for which `stop` is zero and returns the
// first word for which it is not. Blocks of four words are read only from 32-byte
// boundaries, so like single aligned words they never cross into another page.
template <class Stop>
static const char *skip_words(const char *p, Stop stop) {
    for (; reinterpret_cast<uintptr_t>(p) & (4 * word::kSize - 1); p += word::kSize)
        if (stop(word::load_aligned(p)))
            return p;
    for (;; p += 4 * word::kSize) {
        uint64_t w0 = word::load_aligned(p), w1 = word::load_aligned(p + 8);
        uint64_t w2 = word::load_aligned(p + 16), w3 = word::load_aligned(p + 24);
        if (stop(w0) | stop(w1) | stop(w2) | stop(w3))
            break;
    }
    while (!stop(word::load_aligned(p)))
        p += word::kSize;
    return p;
}

// Scans aligned 16-byte blocks (libc/simd.h): the first zero byte at or after s.
LM_EXPORT size_t strlen(const char *s) {
    if (!s)
        return 0;
    return static_cast<size_t>(lm::simd::find(s, [](lm::simd::Block b) { return b; }) - s);
}

LM_EXPORT int strcmp(const char *a, const char *b) {
    const u8 *x = reinterpret_cast<const u8 *>(a);
    const u8 *y = reinterpret_cast<const u8 *>(b);
    while (*x && *x == *y) {
        x++;
        y++;
    }
    return *x - *y;
}

LM_EXPORT int strncmp(const char *a, const char *b, size_t n) {
    const u8 *x = reinterpret_cast<const u8 *>(a);
    const u8 *y = reinterpret_cast<const u8 *>(b);
    for (size_t i = 0; i < n; i++) {
        if (x[i] != y[i])
            return x[i] - y[i];
        if (x[i] == 0)
            return 0;
    }
    return 0;
}

LM_EXPORT int strcoll(const char *a, const char *b) {
    return strcmp(a, b);
}

LM_EXPORT char *strcpy(char *dst, const char *src) {
    size_t i = 0;
    do
        dst[i] = src[i];
    while (src[i++]);
    return dst;
}

// Copies at most n bytes of src and fills the rest of the n with NULs; the result has
// no terminator when src is n bytes or longer.
LM_EXPORT char *strncpy(char *dst, const char *src, size_t n) {
    size_t i = 0;
    for (; i < n && src[i]; i++)
        dst[i] = src[i];
    for (; i < n; i++)
        dst[i] = 0;
    return dst;
}

LM_EXPORT char *strcat(char *dst, const char *src) {
    strcpy(dst + strlen(dst), src);
    return dst;
}

// Appends at most n bytes of src, then always a terminator.
LM_EXPORT char *strncat(char *dst, const char *src, size_t n) {
    char *end = dst + strlen(dst);
    size_t i = 0;
    for (; i < n && src[i]; i++)
        end[i] = src[i];
    end[i] = 0;
    return dst;
}

extern "C" void *malloc(size_t);

LM_EXPORT char *strdup(const char *s) {
    if (!s)
        return nullptr;
    size_t size = strlen(s) + 1;
    char *copy = static_cast<char *>(malloc(size));
    if (!copy)
        return nullptr;
    memcpy(copy, s, size);
    return copy;
}

// The first byte that is either the value or the terminator decides, as in the byte
// loop: min(b ^ value, b) is zero exactly there.
LM_EXPORT char *strchr(const char *s, int ch) {
    namespace simd = lm::simd;
    char c = static_cast<char>(ch);
    simd::Block pattern = simd::repeat(c);
    const char *p = simd::find(s, [pattern](simd::Block b) {
        return simd::minimum(b ^ pattern, b);
    });
    return *p == c ? const_cast<char *>(p) : nullptr;
}

// The last position holding the value, the terminator included (as for strchr).
LM_EXPORT char *strrchr(const char *s, int ch) {
    char c = static_cast<char>(ch);
    const char *last = nullptr;
    do
        if (*s == c)
            last = s;
    while (*s++);
    return const_cast<char *>(last);
}

LM_EXPORT size_t strspn(const char *s, const char *set) {
    size_t n = 0;
    while (s[n] && strchr(set, s[n]))
        n++;
    return n;
}

// The set's terminator is never looked up, so it does not count as a member.
LM_EXPORT size_t strcspn(const char *s, const char *set) {
    size_t n = 0;
    while (s[n] && !strchr(set, s[n]))
        n++;
    return n;
}

LM_EXPORT char *strpbrk(const char *s, const char *set) {
    for (; *s; s++)
        if (strchr(set, *s))
            return const_cast<char *>(s);
    return nullptr;
}

LM_EXPORT char *strstr(const char *hay, const char *needle) {
    if (*needle == 0)
        return const_cast<char *>(hay);
    for (; *hay; hay++) {
        size_t i = 0;
        while (needle[i] && hay[i] == needle[i])
            i++;
        if (needle[i] == 0)
            return const_cast<char *>(hay);
    }
    return nullptr;
}
