// The memory the program may use, as the boot hand-off area describes it: the
// firmware's usable RAM, less everything the host keeps for itself, above 3 MiB and
// inside the identity-mapped first 4 GiB.
#pragma once

#include <stdint.h>

struct LmBootHandoff;

namespace lbw::boot {

struct MemoryRange {
    uint64_t base;
    uint64_t length;
};

constexpr uint64_t kProgramMemoryFloor = 3ull << 20;
constexpr uint64_t kMappedMemoryTop = 4ull << 30;

// Writes to `out` (room for `capacity` ranges) the parts of the usable ranges that lie
// in [kProgramMemoryFloor, kMappedMemoryTop) and outside every reserved range, sorted
// by base with touching parts joined. Returns the number written; ranges beyond the
// capacity are dropped.
uint32_t program_memory(const MemoryRange *usable, uint32_t usable_count, const MemoryRange *reserved,
                        uint32_t reserved_count, MemoryRange *out, uint32_t capacity);

// Fills the memory fields of the hand-off area: the wide map (up to 64 ranges) with
// its magic, the legacy map (up to 16 ranges), and the end of the highest range as the
// memory top. Other fields are left as they are.
void fill_handoff(LmBootHandoff &handoff, const MemoryRange *ranges, uint32_t count);

} // namespace lbw::boot
