#include "boot/memory_map.h"

#include "libc/include/lorrinboot/host.h"

namespace lbw::boot {

namespace {

// Adds [base, end) to the sorted list, joining it with ranges it touches or overlaps.
void add_range(MemoryRange *out, uint32_t &count, uint32_t capacity, uint64_t base, uint64_t end) {
    uint32_t i = 0;
    while (i < count && out[i].base + out[i].length < base)
        i++;
    if (i < count && out[i].base <= end) {
        uint64_t new_base = out[i].base < base ? out[i].base : base;
        uint64_t new_end = out[i].base + out[i].length > end ? out[i].base + out[i].length : end;
        // The widened range may now reach the ranges after it.
        uint32_t j = i + 1;
        while (j < count && out[j].base <= new_end) {
            if (out[j].base + out[j].length > new_end)
                new_end = out[j].base + out[j].length;
            j++;
        }
        out[i] = {new_base, new_end - new_base};
        uint32_t removed = j - (i + 1);
        for (uint32_t k = i + 1; k + removed < count; k++)
            out[k] = out[k + removed];
        count -= removed;
        return;
    }
    if (count == capacity)
        return;
    for (uint32_t k = count; k > i; k--)
        out[k] = out[k - 1];
    out[i] = {base, end - base};
    count++;
}

// Adds the parts of [base, end) that no reserved range covers, from `first` on.
void add_unreserved(MemoryRange *out, uint32_t &count, uint32_t capacity, uint64_t base, uint64_t end,
                    const MemoryRange *reserved, uint32_t reserved_count, uint32_t first) {
    for (uint32_t r = first; r < reserved_count && base < end; r++) {
        uint64_t r_base = reserved[r].base;
        uint64_t r_end = r_base + reserved[r].length;
        if (r_end <= base || r_base >= end)
            continue;
        if (r_base > base)
            add_unreserved(out, count, capacity, base, r_base, reserved, reserved_count, r + 1);
        base = r_end;
    }
    if (base < end)
        add_range(out, count, capacity, base, end);
}

} // namespace

uint32_t program_memory(const MemoryRange *usable, uint32_t usable_count, const MemoryRange *reserved,
                        uint32_t reserved_count, MemoryRange *out, uint32_t capacity) {
    uint32_t count = 0;
    for (uint32_t i = 0; i < usable_count; i++) {
        uint64_t base = usable[i].base;
        uint64_t end = usable[i].length > UINT64_MAX - base ? UINT64_MAX : base + usable[i].length;
        base = base < kProgramMemoryFloor ? kProgramMemoryFloor : base;
        end = end > kMappedMemoryTop ? kMappedMemoryTop : end;
        if (base < end)
            add_unreserved(out, count, capacity, base, end, reserved, reserved_count, 0);
    }
    return count;
}

void fill_handoff(LmBootHandoff &handoff, const MemoryRange *ranges, uint32_t count) {
    uint32_t wide = count < 64 ? count : 64;
    for (uint32_t i = 0; i < wide; i++)
        handoff.wide_map[i] = {ranges[i].base, ranges[i].length};
    handoff.wide_count = wide;
    handoff.wide_magic = LM_BOOT_WIDE_MAP_MAGIC;

    // Every range lies below 4 GiB, so each fits the legacy map's 32-bit fields, except
    // a length of exactly 4 GiB, which cannot start above 3 MiB anyway.
    uint32_t legacy = count < 16 ? count : 16;
    for (uint32_t i = 0; i < legacy; i++)
        handoff.legacy_map[i] = {static_cast<uint32_t>(ranges[i].base), static_cast<uint32_t>(ranges[i].length)};
    handoff.legacy_count = legacy;

    uint64_t top = 0;
    for (uint32_t i = 0; i < count; i++) {
        if (ranges[i].base + ranges[i].length > top)
            top = ranges[i].base + ranges[i].length;
    }
    handoff.memory_top = top > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<uint32_t>(top);
}

} // namespace lbw::boot
