// The life of a thrown object: allocated behind its header, thrown, caught (pushed on
// the caught stack), possibly rethrown, and destroyed and freed when the last catch
// block holding it ends.
#include "cxxabi/sjlj_abi.h"
#include "cxxabi/type_info.h"
#include "host/program_api.h"

#include <stdlib.h>
#include <string.h>

LorrinExceptionHeader *gCaughtException = nullptr;

namespace {

constexpr uint64_t kLowMemoryLimit = uint64_t{1} << 32;

LorrinExceptionHeader *header_from_object(void *object) {
    return reinterpret_cast<LorrinExceptionHeader *>(static_cast<char *>(object) - sizeof(LorrinExceptionHeader));
}

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

} // namespace

void *object_from_header(LorrinExceptionHeader *header) {
    return reinterpret_cast<char *>(header) + sizeof(LorrinExceptionHeader);
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
    raise_exception(header);
}

// A handler of a pointer type takes the pointer itself from the result; every other
// handler takes the object's address.
LM_EXPORT void *__cxa_begin_catch(void *exception) {
    LorrinExceptionHeader *header = header_from_exception_pointer(exception);
    if (header == nullptr)
        return nullptr;
    if (header == gCaughtException) {
        // Caught again after a rethrow inside its own catch block: one more holder.
        ++header->handlerCount;
    } else {
        header->nextCaught = gCaughtException;
        header->handlerCount = 1;
        gCaughtException = header;
    }
    header->rethrown = 0;
    void *object = object_from_header(header);
    if (is_pointer_type(static_cast<const LorrinTypeInfo *>(header->exceptionType)))
        return *static_cast<void **>(object);
    return object;
}

// The object a catch-by-value handler copies from, before the catch begins.
LM_EXPORT void *__cxa_get_exception_ptr(void *exception) {
    if (exception == nullptr)
        return nullptr;
    return object_from_header(header_from_exception_pointer(exception));
}

LM_EXPORT void __cxa_end_catch() {
    LorrinExceptionHeader *header = gCaughtException;
    if (header == nullptr)
        return;
    if (header->handlerCount > 1) {
        --header->handlerCount;
        return;
    }
    header->handlerCount = 0;
    gCaughtException = header->nextCaught;
    header->nextCaught = nullptr;
    if (header->rethrown)
        return; // the handler that catches the rethrow ends it
    destroy_and_free(header);
}

LM_EXPORT __attribute__((noreturn)) void __cxa_rethrow() {
    LorrinExceptionHeader *header = gCaughtException;
    if (header == nullptr)
        std::terminate();
    header->rethrown = 1;
    header->handlerContext = nullptr;
    header->handlerLandingPad = 0;
    header->handlerSelector = 0;
    raise_exception(header);
}
