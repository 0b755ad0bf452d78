// The global allocation and release operators: the host's heap through malloc and free.
// operator new never returns null and never throws: the first null from malloc stops
// the machine, so the library's containers and the programs' new-expressions need no
// failure path.
#include <new>
#include <stdint.h>
#include <stdlib.h>

void *operator new(size_t size) {
    void *block = malloc(size == 0 ? 1 : size); // never ask the host for an empty block
    if (!block)
        abort();
    return block;
}

void *operator new[](size_t size) {
    return ::operator new(size);
}

void operator delete(void *pointer) noexcept {
    free(pointer);
}

void operator delete[](void *pointer) noexcept {
    free(pointer);
}

void operator delete(void *pointer, size_t) noexcept {
    free(pointer);
}

void operator delete[](void *pointer, size_t) noexcept {
    free(pointer);
}

// std::nothrow: the tag object alone (no operator takes it here), kept as 8 zero bytes of
// read-only data under its mangled name. Defined through an integer so that its size
// does not depend on the empty class.
extern const uint64_t lm_nothrow_tag __asm__("_ZSt7nothrow");
const uint64_t lm_nothrow_tag = 0;
