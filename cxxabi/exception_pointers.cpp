// What std::exception_ptr and std::uncaught_exceptions stand on: the exception state
// as the Itanium ABI lays it out, the type of the exception being handled, reference
// counts that keep an exception object alive after its handler ends, and throwing an
// object again from an exception_ptr.
#include "cxxabi/runtime_entries.h"
#include "cxxabi/type_info.h"
#include "libc/library.h"

namespace {

// An exception thrown again from an exception_ptr gets a header of its own, so that it
// can be caught while the original is still on the caught stack. Its object holds the
// thrown pointer when the type is a pointer (compiled handlers of pointer types read it
// from the object's place) and the original object, of which it owns one reference.
struct RethrownObject {
    void *pointerValue;
    void *original;
};

void release_original(void *object) {
    release_exception(header_from_object(static_cast<RethrownObject *>(object)->original));
}

bool stands_for_original(LorrinExceptionHeader *header) {
    return header->exceptionDestructor == release_original;
}

// The exception object a handler of the current exception would receive.
LorrinExceptionHeader *current_primary() {
    LorrinExceptionHeader *header = gExceptionGlobals.caughtExceptions;
    if (header != nullptr && stands_for_original(header))
        return header_from_object(thrown_object(header));
    return header;
}

} // namespace

void *thrown_object(LorrinExceptionHeader *header) {
    void *object = object_from_header(header);
    if (stands_for_original(header))
        return static_cast<RethrownObject *>(object)->original;
    return object;
}

LM_EXPORT LorrinExceptionGlobals *__cxa_get_globals() {
    return &gExceptionGlobals;
}

LM_EXPORT LorrinExceptionGlobals *__cxa_get_globals_fast() {
    return &gExceptionGlobals;
}

LM_EXPORT unsigned int __cxa_uncaught_exceptions() {
    return gExceptionGlobals.uncaughtExceptions;
}

LM_EXPORT bool __cxa_uncaught_exception() {
    return gExceptionGlobals.uncaughtExceptions != 0;
}

namespace std {

int uncaught_exceptions() noexcept {
    return static_cast<int>(gExceptionGlobals.uncaughtExceptions);
}

bool uncaught_exception() noexcept {
    return gExceptionGlobals.uncaughtExceptions != 0;
}

} // namespace std

// The type_info of the exception being handled, or null outside every handler.
LM_EXPORT const void *__cxa_current_exception_type() {
    LorrinExceptionHeader *header = gExceptionGlobals.caughtExceptions;
    return header == nullptr ? nullptr : header->exceptionType;
}

// The object being handled, with one more reference for the caller; null outside every
// handler.
LM_EXPORT void *__cxa_current_primary_exception() {
    LorrinExceptionHeader *header = current_primary();
    if (header == nullptr)
        return nullptr;
    retain_exception(header);
    return object_from_header(header);
}

LM_EXPORT void __cxa_increment_exception_refcount(void *object) {
    if (object != nullptr)
        retain_exception(header_from_object(object));
}

LM_EXPORT void __cxa_decrement_exception_refcount(void *object) {
    if (object != nullptr)
        release_exception(header_from_object(object));
}

// Throws the object again, as the same type; returns only for a null object.
LM_EXPORT void __cxa_rethrow_primary_exception(void *object) {
    if (object == nullptr)
        return;
    LorrinExceptionHeader *original = header_from_object(object);
    auto *rethrown = static_cast<RethrownObject *>(__cxa_allocate_exception(sizeof(RethrownObject)));
    if (is_pointer_type(static_cast<const LorrinTypeInfo *>(original->exceptionType)))
        rethrown->pointerValue = *static_cast<void **>(object);
    rethrown->original = object;
    retain_exception(original);
    __cxa_throw(rethrown, original->exceptionType, release_original);
}
