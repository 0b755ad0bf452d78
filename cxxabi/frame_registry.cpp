// The frame list of the SjLj exception model: compiled functions with landing pads push
// their record on entry and unlink it on every normal exit; the unwinder enters a
// frame's landing pads by restoring its stack and frame pointers.
#include "cxxabi/sjlj_abi.h"
#include "libc/library.h"

LorrinSjLjContext *gSjLjHead = nullptr;

LM_EXPORT void _Unwind_SjLj_Register(LorrinSjLjContext *context) {
    context->prev = gSjLjHead;
    gSjLjHead = context;
}

// Normally the record is the head. A record registered out of order is unlinked from
// behind its successor; one that is not in the list is left alone.
LM_EXPORT void _Unwind_SjLj_Unregister(LorrinSjLjContext *context) {
    if (gSjLjHead == context) {
        gSjLjHead = context->prev;
        return;
    }
    for (LorrinSjLjContext *node = gSjLjHead; node != nullptr; node = node->prev) {
        if (node->prev == context) {
            node->prev = context->prev;
            return;
        }
    }
}

// Naked, so that nothing of this function's own frame is in the way: rbp is replaced
// before the dispatch address is read, which an inline-asm operand could not survive.
// The landing-pad code reloads every other register it needs from its frame.
__attribute__((naked, noreturn)) void lorrinboot_sjlj_jump(LorrinSjLjContext *) {
    __asm__ volatile(
        "movq 64(%rdi), %rsp\n\t"  // jumpBuffer[2]: stack pointer
        "movq 48(%rdi), %rbp\n\t"  // jumpBuffer[0]: frame pointer
        "jmpq *56(%rdi)\n\t");     // jumpBuffer[1]: dispatch code
}
