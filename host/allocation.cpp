// malloc, free and realloc forward to the host's heap unchanged: no header, no
// alignment, no bookkeeping of the library's own. calloc is malloc and a zero fill.
#include "host/program_api.h"

#include <stddef.h>
#include <string.h>

LM_EXPORT void *malloc(size_t size) {
    auto host_malloc = lm::host_entry<void *(*)(uint64_t)>(LM_ENTRY_MALLOC);
    return host_malloc ? host_malloc(size) : nullptr;
}

LM_EXPORT void free(void *pointer) {
    auto host_free = lm::host_entry<void (*)(void *)>(LM_ENTRY_FREE);
    if (host_free)
        host_free(pointer);
}

LM_EXPORT void *realloc(void *pointer, size_t size) {
    auto host_realloc = lm::host_entry<void *(*)(void *, uint64_t)>(LM_ENTRY_REALLOC);
    return host_realloc ? host_realloc(pointer, size) : nullptr;
}

LM_EXPORT void *calloc(size_t count, size_t size) {
    size_t total;
    if (__builtin_mul_overflow(count, size, &total))
        return nullptr;
    void *block = malloc(total);
    if (block)
        memset(block, 0, total);
    return block;
}
