// setjmp and longjmp for programs: the System V callee-saved registers, the stack
// pointer after setjmp returns and the return address. Floating-point control state is
// not saved.
#include <setjmp.h>

// jmp_buf: rbx, rbp, r12, r13, r14, r15, stack pointer, return address.
extern "C" __attribute__((naked)) int setjmp(jmp_buf) {
    __asm__ volatile(
        "movq %rbx, 0(%rdi)\n\t"
        "movq %rbp, 8(%rdi)\n\t"
        "movq %r12, 16(%rdi)\n\t"
        "movq %r13, 24(%rdi)\n\t"
        "movq %r14, 32(%rdi)\n\t"
        "movq %r15, 40(%rdi)\n\t"
        "leaq 8(%rsp), %rdx\n\t"  // the caller's stack pointer once we have returned
        "movq %rdx, 48(%rdi)\n\t"
        "movq (%rsp), %rdx\n\t"
        "movq %rdx, 56(%rdi)\n\t"
        "xorl %eax, %eax\n\t"
        "ret\n\t");
}

// setjmp returns `value` again, or 1 for 0.
extern "C" __attribute__((naked, noreturn)) void longjmp(jmp_buf, int) {
    __asm__ volatile(
        "movl %esi, %eax\n\t"
        "testl %eax, %eax\n\t"
        "jnz 1f\n\t"
        "movl $1, %eax\n"
        "1:\n\t"
        "movq 0(%rdi), %rbx\n\t"
        "movq 8(%rdi), %rbp\n\t"
        "movq 16(%rdi), %r12\n\t"
        "movq 24(%rdi), %r13\n\t"
        "movq 32(%rdi), %r14\n\t"
        "movq 40(%rdi), %r15\n\t"
        "movq 48(%rdi), %rsp\n\t"
        "jmpq *56(%rdi)\n\t");
}
