// The two phases of a throw over the frame list. The search phase looks for a frame
// that catches the type and changes nothing, so an exception that nothing catches
// terminates before any cleanup runs. The unwind phase then enters, innermost first,
// every cleanup pad and finally the handler's pad, removing the records of the frames
// it leaves.
#include "cxxabi/sjlj_abi.h"
#include "libc/library.h"

namespace {

[[noreturn]] void enter_landing_pad(LorrinSjLjContext *context, LorrinExceptionHeader *header,
                                    uint32_t landingPad, int32_t selector) {
    context->data[0] = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(exception_pointer(header)));
    context->data[1] = static_cast<uint32_t>(selector);
    context->callSite = static_cast<int32_t>(landingPad);
    lorrinboot_sjlj_jump(context);
}

} // namespace

void raise_exception(LorrinExceptionHeader *header) {
    if (header == nullptr)
        std::terminate();
    for (LorrinSjLjContext *context = gSjLjHead; context != nullptr; context = context->prev) {
        LorrinHandler handler{};
        if (inspect_context(context, header->exceptionType, handler)) {
            header->handlerContext = context;
            header->handlerLandingPad = handler.landingPad;
            header->handlerSelector = handler.selector;
            continue_unwind(header);
        }
    }
    std::terminate();
}

void continue_unwind(LorrinExceptionHeader *header) {
    if (header == nullptr)
        std::terminate();
    for (;;) {
        LorrinSjLjContext *context = gSjLjHead;
        if (context == nullptr)
            std::terminate();
        if (context == header->handlerContext)
            enter_landing_pad(context, header, header->handlerLandingPad, header->handlerSelector);
        LorrinHandler handler{};
        inspect_context(context, header->exceptionType, handler);
        if (handler.callSiteFound && handler.cleanup)
            enter_landing_pad(context, header, handler.landingPad, 0); // it resumes when done
        gSjLjHead = context->prev;
    }
}

LM_EXPORT __attribute__((noreturn)) void _Unwind_SjLj_RaiseException(void *exception) {
    raise_exception(header_from_exception_pointer(exception));
}

// Called by a cleanup pad when its destructors have run: its frame is the head.
LM_EXPORT __attribute__((noreturn)) void _Unwind_SjLj_Resume(void *exception) {
    if (gSjLjHead != nullptr)
        gSjLjHead = gSjLjHead->prev;
    continue_unwind(header_from_exception_pointer(exception));
}

LM_EXPORT __attribute__((noreturn)) void _Unwind_SjLj_Resume_or_Rethrow(void *exception) {
    _Unwind_SjLj_Resume(exception);
}

// Forced unwinding and the table-driven model are not supported.
LM_EXPORT __attribute__((noreturn)) void _Unwind_SjLj_ForcedUnwind(void *, void *, void *) {
    std::terminate();
}

LM_EXPORT __attribute__((noreturn)) void _Unwind_Resume(void *) {
    std::terminate();
}
