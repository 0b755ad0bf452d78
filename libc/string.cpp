// Memory and byte-string functions: plain byte-at-a-time loops, no state.
#include "host/program_api.h"

#include <stddef.h>
#include <stdint.h>

using u8 = unsigned char;

LM_EXPORT void *memcpy(void *dst, const void *src, size_t n) {
    u8 *d = static_cast<u8 *>(dst);
    const u8 *s = static_cast<const u8 *>(src);
    for (size_t i = 0; i < n; i++)
        d[i] = s[i];
    return dst;
}

LM_EXPORT void *memmove(void *dst, const void *src, size_t n) {
    u8 *d = static_cast<u8 *>(dst);
    const u8 *s = static_cast<const u8 *>(src);
    if (n == 0 || d == s)
        return dst;
    if (d < s) {
        for (size_t i = 0; i < n; i++)
            d[i] = s[i];
    } else {
        for (size_t i = n; i-- > 0;)
            d[i] = s[i];
    }
    return dst;
}

LM_EXPORT void *memset(void *dst, int ch, size_t n) {
    u8 *d = static_cast<u8 *>(dst);
    for (size_t i = 0; i < n; i++)
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
    for (size_t i = 0; i < n; i++)
        if (x[i] != y[i])
            return x[i] - y[i];
    return 0;
}

LM_EXPORT void *memchr(const void *s, int ch, size_t n) {
    const u8 *p = static_cast<const u8 *>(s);
    for (size_t i = 0; i < n; i++)
        if (p[i] == static_cast<u8>(ch))
            return const_cast<u8 *>(p + i);
    return nullptr;
}

LM_EXPORT size_t strlen(const char *s) {
    if (!s)
        return 0;
    size_t n = 0;
    while (s[n])
        n++;
    return n;
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

LM_EXPORT char *strchr(const char *s, int ch) {
    char c = static_cast<char>(ch);
    for (;; s++) {
        if (*s == c)
            return const_cast<char *>(s);
        if (*s == 0)
            return nullptr;
    }
}

LM_EXPORT size_t strspn(const char *s, const char *set) {
    size_t n = 0;
    while (s[n] && strchr(set, s[n]))
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

LM_EXPORT int abs(int v) {
    // Two's complement wrap: abs(INT_MIN) is INT_MIN.
    return v < 0 ? static_cast<int>(0u - static_cast<unsigned>(v)) : v;
}

LM_EXPORT __attribute__((noreturn)) void abort(void) {
    for (;;)
        __asm__ volatile("cli\n\thlt" ::: "memory");
}
