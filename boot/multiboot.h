// The Multiboot (version 1) information a loader hands over.
#pragma once

#include <stdint.h>

namespace lbw::boot {

constexpr uint32_t kMultibootLoaderMagic = 0x2BADB002;

struct MultibootInfo {
    uint32_t flags;
    uint32_t mem_lower, mem_upper;
    uint32_t boot_device;
    uint32_t cmdline;
    uint32_t mods_count, mods_addr;
    uint32_t syms[4];
    uint32_t mmap_length, mmap_addr;
};

enum : uint32_t { kInfoMemory = 1u << 0, kInfoCommandLine = 1u << 2, kInfoModules = 1u << 3, kInfoMemoryMap = 1u << 6 };

struct MultibootModule {
    uint32_t start, end;
    uint32_t string;
    uint32_t reserved;
};

// Entries of the memory map are preceded by their size (not counting the size field).
struct __attribute__((packed)) MultibootMemoryEntry {
    uint32_t size;
    uint64_t base, length;
    uint32_t type; // 1 = usable RAM
};

} // namespace lbw::boot
