#ifndef _STDLIB_H
#define _STDLIB_H

#include <_lbw_cdefs.h>
#include <stddef.h>

_LBW_BEGIN_C

#define EXIT_SUCCESS 0
#define EXIT_FAILURE 1

/* The host's heap. */
void *malloc(size_t size);
void free(void *pointer);
void *realloc(void *pointer, size_t size);
/* count * size bytes, zero-filled; NULL when the product overflows. */
void *calloc(size_t count, size_t size);

int abs(int v);
/* Stops the machine: interrupts off, processor halted, for good. Nothing is flushed. */
__attribute__((noreturn)) void abort(void);
/* Flushes every open stream and the console's pending line, then asks the host to end
 * the program with `status`, as if main had returned it. A host without that service
 * has the machine stopped, as abort does. */
__attribute__((noreturn)) void exit(int status);

/* There is no environment and no command processor: getenv answers NULL,
 * system answers -1. */
char *getenv(const char *name);
int system(const char *command);

/* Number parsing. White space is 9..13 and 32; one sign byte. Integers wrap modulo
 * 2^64, never clamp, and set no error variable; without a digit the result is 0 and
 * *end is s. strtol and strtoul take bases 0 and 2..36 only (else 0, *end = s);
 * strtoull and strtoll take the base as passed. strtod builds the value digit by digit
 * in double precision: no inf, nan or hexadecimal forms. A NULL s gives 0, *end = s. */
long strtol(const char *s, char **end, int base);
unsigned long strtoul(const char *s, char **end, int base);
long long strtoll(const char *s, char **end, int base);
unsigned long long strtoull(const char *s, char **end, int base);
double strtod(const char *s, char **end);
float strtof(const char *s, char **end);

_LBW_END_C

#endif
