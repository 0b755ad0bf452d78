// Memory and string functions for the boot host itself (the compiler also emits calls
// to memcpy and memset). The loaded library has its own; nothing is shared.
#include <stdlib.h>
#include <string.h>

extern "C" {

void *memcpy(void *destination, const void *source, size_t count) {
    auto *d = static_cast<unsigned char *>(destination);
    const auto *s = static_cast<const unsigned char *>(source);
    for (size_t i = 0; i < count; i++)
        d[i] = s[i];
    return destination;
}

void *memmove(void *destination, const void *source, size_t count) {
    auto *d = static_cast<unsigned char *>(destination);
    const auto *s = static_cast<const unsigned char *>(source);
    if (d < s) {
        for (size_t i = 0; i < count; i++)
            d[i] = s[i];
    } else {
        for (size_t i = count; i > 0; i--)
            d[i - 1] = s[i - 1];
    }
    return destination;
}

void *memset(void *destination, int value, size_t count) {
    auto *d = static_cast<unsigned char *>(destination);
    for (size_t i = 0; i < count; i++)
        d[i] = static_cast<unsigned char>(value);
    return destination;
}

int memcmp(const void *a, const void *b, size_t count) {
    const auto *x = static_cast<const unsigned char *>(a);
    const auto *y = static_cast<const unsigned char *>(b);
    for (size_t i = 0; i < count; i++) {
        if (x[i] != y[i])
            return x[i] < y[i] ? -1 : 1;
    }
    return 0;
}

size_t strlen(const char *text) {
    size_t n = 0;
    while (text[n])
        n++;
    return n;
}

int strncmp(const char *a, const char *b, size_t count) {
    for (size_t i = 0; i < count; i++) {
        auto x = static_cast<unsigned char>(a[i]);
        auto y = static_cast<unsigned char>(b[i]);
        if (x != y)
            return x < y ? -1 : 1;
        if (x == 0)
            return 0;
    }
    return 0;
}

int strcmp(const char *a, const char *b) {
    return strncmp(a, b, static_cast<size_t>(-1));
}

int abs(int value) {
    return value < 0 ? -value : value;
}

} // extern "C"
