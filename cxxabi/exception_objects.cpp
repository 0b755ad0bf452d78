// The life of a thrown object: allocated behind its header, thrown, caught (pushed on
// the caught stack), possibly rethrown, and destroyed and freed when its last owner lets
// go: the last catch block holding it ends and no exception_ptr refers to it. Also the
// count of exceptions in flight, which std::uncaught_exceptions reports.
#include "cxxabi/runtime_entries.h"
#include "cxxabi/type_info.h"
#include "libc/library.h"

#include <stdlib.h>
#include <string.h>

LorrinExceptionGlobals gExceptionGlobals;

namespace {

constexpr uint64_t kLowMemoryLimit = uint64_t{1} << 32;

// Landing pads receive the exception pointer in a 32-bit word, so the whole block must
// lie below 4 GiB.
bool lies_below_4gib(const void *block, uint64_t size) {
    uint64_t address = reinterpret_cast<uintptr_t>(block);
    return address < kLowMemoryLimit && size <= kLowMemoryLimit - address;
}

void destroy_and_free(LorrinExceptionHeader *header) {
    if (header->exceptionDestructor != nullptr)
        header->exceptionDestructor(object_from_header(header));
    free(header);
}

// A throw puts the exception in flight until a handler begins.
void mark_uncaught(LorrinExceptionHeader *header) {
    if (header->uncaught != 0)
        return;
    header->uncaught = 1;
    ++gExceptionGlobals.uncaughtExceptions;
}

void mark_caught(LorrinExceptionHeader *header) {
    if (header->uncaught == 0)
        return;
    header->uncaught = 0;
    --gExceptionGlobals.uncaughtExceptions;
}

} // namespace

void *object_from_header(LorrinExceptionHeader *header) {
    return reinterpret_cast<char *>(header) + sizeof(LorrinExceptionHeader);
}

LorrinExceptionHeader *header_from_object(void *object) {
    return reinterpret_cast<LorrinExceptionHeader *>(static_cast<char *>(object) - sizeof(LorrinExceptionHeader));
}

void retain_exception(LorrinExceptionHeader *header) {
    if (header->references == UINT16_MAX)
        std::terminate();
    ++header->references;
}

// An exception that was never thrown has no owner yet; its first release frees it too.
void release_exception(LorrinExceptionHeader *header) {
    if (header->references > 1) {
        --header->references;
        return;
    }
    destroy_and_free(header);
}

void *exception_pointer(LorrinExceptionHeader *header) {
    return static_cast<char *>(object_from_header(header)) - kExceptionPointerToObject;
}

LorrinExceptionHeader *header_from_exception_pointer(void *exception) {
    if (exception == nullptr)
        return nullptr;
    return header_from_object(static_cast<char *>(exception) + kExceptionPointerToObject);
}

LM_EXPORT void *__cxa_allocate_exception(size_t objectSize) {
    size_t size = sizeof(LorrinExceptionHeader) + (objectSize == 0 ? 1 : 0);
    if (objectSize > SIZE_MAX - size)
        std::terminate();
    size += objectSize;
    void *block = malloc(size);
    if (block == nullptr)
        std::terminate();
    if (!lies_below_4gib(block, size)) {
        free(block);
        std::terminate();
    }
    memset(block, 0, size);
    return object_from_header(static_cast<LorrinExceptionHeader *>(block));
}

LM_EXPORT void __cxa_free_exception(void *object) {
    if (object != nullptr)
        free(header_from_object(object));
}

LM_EXPORT __attribute__((noreturn)) void __cxa_throw(void *object, const void *type, LorrinDestructor destructor) {
    LorrinExceptionHeader *header = header_from_object(object);
    header->exceptionType = type;
    header->exceptionDestructor = destructor;
    header->handlerContext = nullptr;
    header->handlerLandingPad = 0;
    header->handlerSelector = 0;
    header->rethrown = 0;
    header->handlerCount = 0;
    header->references = 1; // the throw's own
    mark_uncaught(header);
    raise_exception(header);
}

// A handler of a pointer type takes the pointer itself from the result; every other
// handler takes the object's address.
LM_EXPORT void *__cxa_begin_catch(void *exception) {
    LorrinExceptionHeader *header = header_from_exception_pointer(exception);
    if (header == nullptr)
        return nullptr;
    LorrinExceptionHeader *&caught = gExceptionGlobals.caughtExceptions;
    if (header == caught) {
        // Caught again after a rethrow inside its own catch block: one more holder.
        ++header->handlerCount;
    } else {
        header->nextCaught = caught;
        header->handlerCount = 1;
        caught = header;
    }
    header->rethrown = 0;
    mark_caught(header);
    void *object = thrown_object(header);
    if (is_pointer_type(static_cast<const LorrinTypeInfo *>(header->exceptionType)))
        return *static_cast<void **>(object);
    return object;
}

// The object a catch-by-value handler copies from, before the catch begins.
LM_EXPORT void *__cxa_get_exception_ptr(void *exception) {
    if (exception == nullptr)
        return nullptr;
    return thrown_object(header_from_exception_pointer(exception));
}

LM_EXPORT void __cxa_end_catch() {
    LorrinExceptionHeader *header = gExceptionGlobals.caughtExceptions;
    if (header == nullptr)
        return;
    if (header->handlerCount > 1) {
        --header->handlerCount;
        return;
    }
    header->handlerCount = 0;
    gExceptionGlobals.caughtExceptions = header->nextCaught;
    header->nextCaught = nullptr;
    if (header->rethrown)
        return; // the handler that catches the rethrow ends it
    release_exception(header);
}

LM_EXPORT __attribute__((noreturn)) void __cxa_rethrow() {
    LorrinExceptionHeader *header = gExceptionGlobals.caughtExceptions;
    if (header == nullptr)
        std::terminate();
    header->rethrown = 1;
    header->handlerContext = nullptr;
    header->handlerLandingPad = 0;
    header->handlerSelector = 0;
    mark_uncaught(header);
    raise_exception(header);
}
