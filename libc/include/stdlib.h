#ifndef _STDLIB_H
#define _STDLIB_H

#include <_lbw_cdefs.h>
#include <stddef.h>

_LBW_BEGIN_C

/* The host's heap. There is no zero-filling allocator. */
void *malloc(size_t size);
void free(void *pointer);
void *realloc(void *pointer, size_t size);

int abs(int v);
/* Stops the machine: interrupts off, processor halted, for good. */
__attribute__((noreturn)) void abort(void);

/* There is no environment and no command processor: getenv answers NULL,
 * system answers -1. */
char *getenv(const char *name);
int system(const char *command);

_LBW_END_C

#endif
