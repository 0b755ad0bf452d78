// Loading position-independent ELF64 shared objects for x86-64: the library file and
// the program built for it. Everything read from the file is bounds-checked, so a
// damaged or foreign file is refused with a message instead of being trusted.
#pragma once

#include <stddef.h>
#include <stdint.h>

namespace lbw::boot {

struct ElfSymbol;
struct ElfRela;

// A loaded image: its segments copied to one contiguous block of memory and the parts
// of its dynamic section the host uses.
struct ElfImage {
    uint8_t *base = nullptr; // address of the image's virtual address 0
    uint64_t span = 0;       // bytes from base covered by its loadable segments

    const ElfSymbol *symbols = nullptr;
    uint32_t symbol_count = 0;
    const char *strings = nullptr;
    uint64_t strings_size = 0;
    const ElfRela *relocations = nullptr; // DT_RELA
    uint64_t relocation_count = 0;
    const ElfRela *plt_relocations = nullptr; // DT_JMPREL
    uint64_t plt_relocation_count = 0;
    uint64_t init = 0;       // DT_INIT, relative to base; 0 when absent
    const uint64_t *init_array = nullptr;
    uint64_t init_array_count = 0;
    const char *soname = nullptr;
    const char *needed[4] = {};
    uint32_t needed_count = 0;
};

// Where images are placed: returns `size` bytes aligned to `alignment`, or null.
using ImageAllocator = void *(*)(uint64_t size, uint64_t alignment, void *context);

// Copies the loadable segments of the file (zero-filling the rest of each segment) and
// reads its dynamic section. Returns null on success, or a message saying what is wrong.
const char *elf_load(const uint8_t *file, uint64_t file_size, ImageAllocator allocate, void *context,
                     ElfImage &image);

// Applies the image's relocations. Symbol references are looked up in `scope` in order
// (an image normally lists itself first). Returns null on success or a message; the
// name of an unresolved symbol is left in `missing_symbol`.
const char *elf_relocate(ElfImage &image, const ElfImage *const *scope, uint32_t scope_count,
                         const char **missing_symbol);

// The address of a defined global or weak symbol of the image, or null.
void *elf_symbol_address(const ElfImage &image, const char *name);

// Runs DT_INIT and DT_INIT_ARRAY, as a dynamic loader does before the program starts.
void elf_run_initializers(const ElfImage &image);

} // namespace lbw::boot
