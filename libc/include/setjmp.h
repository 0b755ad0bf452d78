/* Non-local jumps. A jmp_buf holds the callee-saved registers rbx, rbp, r12 to r15, the
 * stack pointer and the return address; floating-point control state is not kept. */
#ifndef _SETJMP_H
#define _SETJMP_H

#include <_lbw_cdefs.h>

_LBW_BEGIN_C

typedef unsigned long long jmp_buf[8];

__attribute__((returns_twice)) int setjmp(jmp_buf env);
/* Makes the setjmp that filled env return value, or 1 when value is 0. */
__attribute__((noreturn)) void longjmp(jmp_buf env, int value);

_LBW_END_C

#endif
