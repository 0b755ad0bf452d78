#ifndef _STDIO_H
#define _STDIO_H

#include <_lbw_cdefs.h>
#include <stdarg.h>
#include <stddef.h>

_LBW_BEGIN_C

/* A small formatter: d i u x X p c s f and %%. Widths and precisions are skipped; h and
 * hh read an int, l ll j z t read 64 bits. %f prints six truncated decimals (inf, -inf
 * and nan spelled out). Flags and unknown conversions print "?" and take no argument.
 * Returns the length of the whole output, even when it was cut to size - 1. */
int snprintf(char *buffer, size_t size, const char *format, ...);
int vsnprintf(char *buffer, size_t size, const char *format, va_list args);

_LBW_END_C

#endif
