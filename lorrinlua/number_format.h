/* Formatted output for the shell: C99's snprintf in full, so that string.format and the
 * conversion of floats to text print exactly what a hosted C library prints.
 *
 * Conversions d i u o x X c s p e E f F g G a A and %%, with the flags - + space # 0, a
 * field width and a precision (either may be *; a negative * width means the - flag, a
 * negative * precision none), and the length modifiers hh h l ll j z t L (L reads a long
 * double and formats it at double precision). Floating-point output is the correctly
 * rounded decimal (or hexadecimal) expansion of the exact binary value, ties to even;
 * infinities and NaNs print as inf and nan (INF, NAN for E F G A), with the sign of a
 * negative one. %p prints like %#lx (the + and space flags included), and a null pointer
 * as (nil); a null %s argument prints as (null), or as nothing when the precision is
 * below 6. An unknown conversion is copied out as written. There is no %n, and no wide
 * characters: l on c and s is ignored.
 *
 * At most size - 1 characters are stored, always followed by a NUL when size > 0; the
 * result is the length of the whole output, even when it was cut. The result is -1 when
 * the format is NULL or ends inside a conversion, or the output would exceed INT_MAX
 * characters. */
#ifndef LORRINLUA_NUMBER_FORMAT_H
#define LORRINLUA_NUMBER_FORMAT_H

#include <stdarg.h>
#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

int lorrinlua_snprintf(char *buffer, size_t size, const char *format, ...)
    __attribute__((format(printf, 3, 4)));
int lorrinlua_vsnprintf(char *buffer, size_t size, const char *format, va_list args)
    __attribute__((format(printf, 3, 0)));

#ifdef __cplusplus
}
#endif

#endif
