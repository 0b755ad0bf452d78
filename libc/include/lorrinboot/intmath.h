/* 64-bit shift, division and remainder routines that compilers call. Counts of 0 or
 * less leave the value unchanged, counts of 64 or more shift everything out. Division
 * by zero gives quotient 0 and remainder 0. */
#ifndef LORRINBOOT_INTMATH_H
#define LORRINBOOT_INTMATH_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

int64_t __ashldi3(int64_t value, int32_t count);
int64_t __lshrdi3(int64_t value, int32_t count);
int64_t __ashrdi3(int64_t value, int32_t count);
/* Quotient; the remainder is stored through remainder when it is not NULL. */
uint64_t udivmod64(uint64_t dividend, uint64_t divisor, uint64_t *remainder);
uint64_t __udivdi3(uint64_t dividend, uint64_t divisor);
uint64_t __umoddi3(uint64_t dividend, uint64_t divisor);
/* Truncated toward zero; the remainder takes the sign of the dividend. */
int64_t __divdi3(int64_t dividend, int64_t divisor);
int64_t __moddi3(int64_t dividend, int64_t divisor);

#ifdef __cplusplus
}
#endif

#endif
