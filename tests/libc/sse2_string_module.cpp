// The library's memory and string functions, compiled with its own flags into a module
// that keeps to their SSE2 paths: on a processor with AVX2 the library itself always
// takes the 32-byte ones, so the tests reach the others through this module.
#include "libc/wide.h"

#include <stddef.h>

extern "C" {
void *memcpy(void *, const void *, size_t);
void *memmove(void *, const void *, size_t);
void *memset(void *, int, size_t);
int memcmp(const void *, const void *, size_t);
size_t strlen(const char *);
char *strchr(const char *, int);

#define LBWT_EXPORT __attribute__((visibility("default")))
LBWT_EXPORT void lbwt_keep_to_sse2() { lm::wide::gAnswer = lm::wide::kNo; }
LBWT_EXPORT void *lbwt_memcpy(void *d, const void *s, size_t n) { return memcpy(d, s, n); }
LBWT_EXPORT void *lbwt_memmove(void *d, const void *s, size_t n) { return memmove(d, s, n); }
LBWT_EXPORT void *lbwt_memset(void *d, int c, size_t n) { return memset(d, c, n); }
LBWT_EXPORT int lbwt_memcmp(const void *a, const void *b, size_t n) { return memcmp(a, b, n); }
LBWT_EXPORT size_t lbwt_strlen(const char *s) { return strlen(s); }
LBWT_EXPORT char *lbwt_strchr(const char *s, int c) { return strchr(s, c); }
}
