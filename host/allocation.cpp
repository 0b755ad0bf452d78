// malloc, free and realloc forward to the host's heap unchanged: no header, no
// alignment, no bookkeeping of the library's own. calloc is malloc and a zero fill.
#include "host/program_api.h"

#include <stddef.h>
#include <string.h>

LM_EXPORT void *malloc(size_t size) {
    return lm::host::malloc(size);
}

LM_EXPORT void free(void *pointer) {
    lm::host::free(pointer);
}

LM_EXPORT void *realloc(void *pointer, size_t size) {
    return lm::host::realloc(pointer, size);
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
