// The boot host's main line: reads what the Multiboot loader handed over, divides the
// memory, loads the library and the program (boot modules 1 and 2), relocates them,
// fills the boot hand-off area and the program API table, and runs the program's main.
// An optional third module is a cpio archive holding the initial files.
//
// Kernel command line options: display=WIDTHxHEIGHT (the framebuffer's size).
#include "boot/display.h"
#include "boot/elf_loader.h"
#include "boot/exceptions.h"
#include "boot/host.h"
#include "boot/io.h"
#include "boot/memory_map.h"
#include "boot/multiboot.h"
#include "boot/ps2.h"
#include "boot/serial.h"

#include "libc/include/lorrinboot/host.h"

#include <string.h>

extern "C" char __image_end[];

namespace lbw::boot {

namespace {

constexpr uint32_t kMaximumRanges = 64;

template <class T>
T *physical(uint64_t address) {
    return reinterpret_cast<T *>(static_cast<uintptr_t>(address));
}

// Memory for images: a bump allocator over the start of the host's pool.
struct Pool {
    uint64_t next, end;
};

void *allocate_image(uint64_t size, uint64_t alignment, void *context) {
    auto *pool = static_cast<Pool *>(context);
    uint64_t start = (pool->next + alignment - 1) & ~(alignment - 1);
    if (start > pool->end || size > pool->end - start)
        return nullptr;
    pool->next = start + size;
    return physical<void>(start);
}

uint32_t parse_number(const char *&p) {
    uint32_t value = 0;
    while (*p >= '0' && *p <= '9' && value < 100000)
        value = value * 10 + static_cast<uint32_t>(*p++ - '0');
    return value;
}

void read_command_line(const char *line) {
    for (const char *p = line; *p; p++) {
        if ((p == line || p[-1] == ' ') && strncmp(p, "display=", 8) == 0) {
            p += 8;
            uint32_t width = parse_number(p);
            uint32_t height = *p == 'x' ? parse_number(++p) : 0;
            display::configure(width, height);
            if (!*p)
                break;
        }
    }
}

uint32_t usable_memory(const MultibootInfo &info, MemoryRange *ranges) {
    uint32_t count = 0;
    if (info.flags & kInfoMemoryMap) {
        uint64_t at = info.mmap_addr, end = uint64_t{info.mmap_addr} + info.mmap_length;
        while (at + sizeof(MultibootMemoryEntry) <= end && count < kMaximumRanges) {
            const auto *entry = physical<const MultibootMemoryEntry>(at);
            if (entry->type == 1 && entry->length)
                ranges[count++] = {entry->base, entry->length};
            at += uint64_t{entry->size} + 4;
        }
    } else if (info.flags & kInfoMemory) {
        ranges[count++] = {1u << 20, uint64_t{info.mem_upper} * 1024};
    }
    return count;
}

ElfImage load_module(const MultibootModule &module, Pool &pool, const char *what) {
    ElfImage image;
    if (module.end < module.start)
        fatal("the boot module has a negative size", nullptr, what);
    const char *error = elf_load(physical<const uint8_t>(module.start), module.end - module.start,
                                 allocate_image, &pool, image);
    if (error)
        fatal(error, nullptr, what);
    return image;
}

void relocate(ElfImage &image, const ElfImage *const *scope, uint32_t scope_count, const char *what) {
    const char *missing = nullptr;
    if (const char *error = elf_relocate(image, scope, scope_count, &missing))
        fatal(error, missing, what);
}

} // namespace

extern "C" void boot_main(uint32_t magic, uint32_t info_address) {
    serial::init();
    install_exception_handlers();
    if (magic != kMultibootLoaderMagic)
        fatal("not started by a Multiboot loader");
    const MultibootInfo &info = *physical<const MultibootInfo>(info_address);
    if (info.flags & kInfoCommandLine)
        read_command_line(physical<const char>(info.cmdline));
    if (!(info.flags & kInfoModules) || info.mods_count < 2)
        fatal("boot modules missing: give the library and the program (and optionally a cpio archive of files)");
    const MultibootModule *modules = physical<const MultibootModule>(info.mods_addr);

    // Everything the loader placed (this image, the modules, their names) stays put.
    uint64_t reserved_end = reinterpret_cast<uintptr_t>(__image_end);
    auto keep = [&reserved_end](uint64_t end) { reserved_end = end > reserved_end ? end : reserved_end; };
    keep(info.mods_addr + uint64_t{info.mods_count} * sizeof(MultibootModule));
    for (uint32_t i = 0; i < info.mods_count; i++) {
        keep(modules[i].end);
        if (modules[i].string)
            keep(modules[i].string + strlen(physical<const char>(modules[i].string)) + 1);
    }
    reserved_end = (reserved_end + 0xFFF) & ~uint64_t{0xFFF};

    // The host's pool: the largest usable stretch above all that, below 4 GiB.
    MemoryRange usable[kMaximumRanges];
    uint32_t usable_count = usable_memory(info, usable);
    Pool pool{0, 0};
    for (uint32_t i = 0; i < usable_count; i++) {
        uint64_t base = usable[i].base > reserved_end ? usable[i].base : reserved_end;
        uint64_t end = usable[i].base + usable[i].length;
        end = end > kMappedMemoryTop ? kMappedMemoryTop : end;
        base = (base + 0xFFF) & ~uint64_t{0xFFF};
        if (end > base && end - base > pool.end - pool.next)
            pool = {base, end};
    }
    uint64_t pool_start = pool.next;
    if (pool.end - pool.next < (8u << 20))
        fatal("less than 8 MiB of usable memory above the boot modules");

    ElfImage library = load_module(modules[0], pool, "library");
    const ElfImage *library_scope[] = {&library};
    relocate(library, library_scope, 1, "library");
    ElfImage program = load_module(modules[1], pool, "program");
    for (uint32_t i = 0; i < program.needed_count; i++) {
        if (!library.soname || strcmp(program.needed[i], library.soname) != 0)
            fatal("the program needs an object that is not the library", program.needed[i]);
    }
    const ElfImage *program_scope[] = {&program, &library};
    relocate(program, program_scope, 2, "program");
    auto *program_main = reinterpret_cast<int (*)()>(elf_symbol_address(program, "main"));
    if (!program_main)
        fatal("the program has no main");

    // Half of what is left is the host heap; the other half, and all other usable
    // memory, goes to the program through the hand-off area.
    uint64_t heap_start = (pool.next + 0xFFF) & ~uint64_t{0xFFF};
    uint64_t heap_size = ((pool.end - heap_start) / 2) & ~uint64_t{0xFFF};
    if (!host_heap().add_region(physical<void>(heap_start), heap_size))
        fatal("no memory for the host heap");
    file_store().init(&host_heap());
    if (info.mods_count >= 3) {
        const MultibootModule &files = modules[2];
        if (files.end < files.start)
            fatal("the file archive has a negative size");
        if (const char *error = file_store().load_archive(physical<const uint8_t>(files.start), files.end - files.start))
            fatal(error, nullptr, "files");
    }

    memset(physical<void>(LM_BOOT_HANDOFF_ADDRESS), 0, 0x1000);
    MemoryRange reserved[] = {{0, reserved_end}, {pool_start, heap_start + heap_size - pool_start}};
    MemoryRange program_ranges[kMaximumRanges];
    uint32_t count = program_memory(usable, usable_count, reserved, 2, program_ranges, kMaximumRanges);
    fill_handoff(*physical<LmBootHandoff>(LM_BOOT_HANDOFF_ADDRESS), program_ranges, count);

    bool mouse = ps2::init();
    install_program_api(mouse);
    elf_run_initializers(library);
    elf_run_initializers(program);
    finish("main returned", program_main());
}

} // namespace lbw::boot
