// setjmp and longjmp in a program.
#include <setjmp.h>

namespace {
jmp_buf gBuffer;
int gDepth;

__attribute__((noinline)) void jump_from_depth(int depth, int value) {
    volatile char padding[64];
    padding[0] = static_cast<char>(depth);
    gDepth = depth + padding[0] * 0;
    if (depth == 0)
        longjmp(gBuffer, value);
    jump_from_depth(depth - 1, value);
}
} // namespace

extern "C" {

// setjmp's second return value after a longjmp with `value` from `depth` calls down.
int setjmp_result(int value, int depth) {
    volatile int local = 1000;
    int result = setjmp(gBuffer);
    if (result == 0) {
        local = 2000;
        jump_from_depth(depth, value);
        return -1;
    }
    return local == 2000 ? result : -2;
}

// The callee-saved registers and the stack survive: a loop around setjmp keeps its
// counter and the function returns normally after three jumps.
int setjmp_loop() {
    jmp_buf buffer;
    volatile int rounds = 0;
    int value = setjmp(buffer);
    rounds = rounds + 1;
    if (value < 3)
        longjmp(buffer, value + 1);
    return rounds * 10 + value;
}

int setjmp_direct() {
    return setjmp(gBuffer);
}

} // extern "C"
