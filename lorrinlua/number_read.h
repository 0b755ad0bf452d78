/* Reading numbers for the shell: C99's strtod, correctly rounded, so that tonumber and the
 * lexer read every numeral as the nearest double.
 *
 * After leading white space (space, \t \n \v \f \r) and one optional sign, it reads the
 * longest prefix that forms a decimal numeral (digits with an optional point, at least
 * one digit, then an optional exponent e[+-]digits), a hexadecimal one (0x, hexadecimal
 * digits with an optional point, then an optional binary exponent p[+-]digits), "inf",
 * "infinity", "nan" or "nan(chars)" with chars letters, digits and _, all case-insensitive.
 * A decimal or hexadecimal numeral of any length is rounded to the nearest double, ties
 * to even: results beyond the largest double become infinity, results below half the
 * smallest subnormal zero, both keeping the sign. The chars of nan(chars), read as an
 * integer (0x hexadecimal, 0 octal, else decimal), become the low 51 bits of the NaN's
 * payload when they are entirely such an integer.
 *
 * When `end` is not NULL, *end is set just past the prefix read (an exponent marker with
 * no digit after it, and 0x with no digit after it, are not part of it), or to s when no
 * number was read (or s is NULL); the result is then +0.0. No error variable is set. */
#ifndef LORRINLUA_NUMBER_READ_H
#define LORRINLUA_NUMBER_READ_H

#ifdef __cplusplus
extern "C" {
#endif

double lorrinlua_strtod(const char *s, char **end);

#ifdef __cplusplus
}
#endif

#endif
