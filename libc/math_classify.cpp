// fabs and the finite tests.
#include "libc/library.h"
#include "libc/math_support.h"

using namespace lm::math;

// The processor's maximum with -x first: -0.0 and NaN come back unchanged.
LM_EXPORT double fabs(double x) { return -x > x ? -x : x; }

LM_EXPORT int isfinite(double x) { return is_finite(x); }

LM_EXPORT int lm_math_isfinite(double x) { return is_finite(x); }

// x87 extended value, passed in memory: 64-bit significand at 8(%rsp), sign and 15-bit
// biased exponent at 16(%rsp). Finite and well formed: exponent 0 (zeros, denormals),
// or exponent 1..0x7FFE with the explicit integer bit set. Read as plain integers so
// that the x87 unit is never touched.
LM_EXPORT __attribute__((naked)) int lm_math_isfinitel(long double) {
    asm("movzwl 16(%rsp), %ecx\n\t"
        "andl $0x7fff, %ecx\n\t"
        "movl $1, %eax\n\t"
        "testl %ecx, %ecx\n\t"
        "jz 1f\n\t"
        "xorl %eax, %eax\n\t"
        "cmpl $0x7fff, %ecx\n\t"
        "je 1f\n\t"
        "movq 8(%rsp), %rax\n\t"
        "shrq $63, %rax\n"
        "1:\n\t"
        "ret");
}
