// The probe heap: an allocate-only, first-fit heap built from the memory maps of the
// boot hand-off area. Block headers live in the managed memory itself; blocks are never
// freed one by one and never merged again. Memory below 0x300000 (the hand-off area, the
// program API table) is never used.
#include "host/program_api.h"

#include <lorrinboot/memory.h>

namespace {

constexpr uint64_t kFloor = 0x300000;
constexpr uint64_t kFallbackTop = 0x4000000;
constexpr uint64_t kHeaderSize = 32;
constexpr uint64_t kMinBlockSpan = kHeaderSize + 16; // header and the smallest payload
constexpr uint32_t kLegacyLimit = 16;
constexpr uint32_t kWideLimit = 64;
constexpr uint32_t kWorkListLimit = 64;

struct Region {
    uint64_t start;
    uint64_t length;
    uint64_t end() const { return start + length; }
};

// Regions of the memory map above the floor, kept sorted by start address; equal starts
// keep map order.
struct WorkList {
    Region regions[kWorkListLimit];
    uint32_t count = 0;

    void insert(uint64_t start, uint64_t length) {
        if (count == kWorkListLimit)
            return;
        uint32_t at = count;
        while (at > 0 && regions[at - 1].start > start) {
            regions[at] = regions[at - 1];
            at--;
        }
        regions[at] = {start, length};
        count++;
    }

    // Folds overlapping and touching regions together, in place.
    void merge() {
        if (count == 0)
            return;
        uint32_t merged = 0;
        for (uint32_t i = 1; i < count; i++) {
            Region &last = regions[merged];
            const Region &next = regions[i];
            if (next.start <= last.end()) {
                if (next.end() > last.end())
                    last.length = next.end() - last.start;
            } else {
                regions[++merged] = next;
            }
        }
        count = merged + 1;
    }
};

// One map entry: zero-length entries, entries that end at or below the floor and entries
// that wrap past the top of the address space contribute nothing. Base and length are
// added in 64 bits for both maps, so a legacy entry that ends above 4 GiB is kept whole.
void add_map_entry(WorkList &work, uint64_t base, uint64_t length) {
    if (length == 0)
        return;
    uint64_t end = base + length;
    if (end <= base || end <= kFloor)
        return;
    uint64_t start = base < kFloor ? kFloor : base;
    work.insert(start, end - start);
}

void collect_map(WorkList &work) {
    const volatile LmBootHandoff *handoff = lm::boot_handoff();
    uint32_t wide_count = handoff->wide_count;
    if (handoff->wide_magic == LM_BOOT_WIDE_MAP_MAGIC && wide_count != 0) {
        uint32_t count = wide_count < kWideLimit ? wide_count : kWideLimit;
        for (uint32_t i = 0; i < count; i++)
            add_map_entry(work, handoff->wide_map[i].base, handoff->wide_map[i].length);
    } else {
        uint32_t legacy_count = handoff->legacy_count;
        uint32_t count = legacy_count < kLegacyLimit ? legacy_count : kLegacyLimit;
        for (uint32_t i = 0; i < count; i++)
            add_map_entry(work, handoff->legacy_map[i].base, handoff->legacy_map[i].length);
    }
}

// The top of the fallback region: the memory top rounded down to 16 bytes, or 64 MiB
// when that leaves no room for a block above the floor.
uint64_t fallback_top() {
    uint32_t memory_top = lm::boot_handoff()->memory_top;
    uint64_t rounded = memory_top & ~uint64_t{15};
    if (memory_top <= kFloor || rounded < kFloor + 41)
        return kFallbackTop;
    return rounded;
}

} // namespace

// The block header, written at a 16-byte boundary in front of its payload.
struct LmProbeHeapBlock {
    uint64_t size; // payload bytes, a multiple of 16
    LmProbeHeapBlock *next;
    uint8_t is_free;
    uint8_t unused[15];
};
static_assert(sizeof(LmProbeHeapBlock) == kHeaderSize);

bool gHeapInitialized;
LmProbeHeapBlock *gHeapHead;

// Where the first-fit walk may start: every block in front of it is handed out. Blocks
// only ever go from free to handed out (until the list is rebuilt), so the walk from
// here takes the same block as the walk from the head, without passing over the blocks
// handed out earlier again.
static LmProbeHeapBlock *gFirstFreeCandidate;

extern "C" void lm_probe_heap_append_region(uint64_t start, uint64_t length, LmProbeHeapBlock **tail) {
    // No overflow: start + length fits, so an aligned start that wraps means pad > length.
    uint64_t aligned = (start + 15) & ~uint64_t{15};
    uint64_t pad = aligned - start;
    if (!tail || length <= pad)
        return;
    uint64_t usable = (length - pad) & ~uint64_t{15};
    if (usable < kMinBlockSpan)
        return;
    auto *block = reinterpret_cast<LmProbeHeapBlock *>(static_cast<uintptr_t>(aligned));
    block->size = usable - kHeaderSize;
    block->next = nullptr;
    block->is_free = 1;
    if (!gHeapHead)
        gHeapHead = block;
    else
        (*tail)->next = block;
    *tail = block;
}

extern "C" void lm_probe_heap_init(void) {
    if (gHeapInitialized)
        return;
    gHeapHead = nullptr;
    LmProbeHeapBlock *tail = nullptr;

    WorkList work;
    collect_map(work);
    work.merge();
    for (uint32_t i = 0; i < work.count; i++)
        lm_probe_heap_append_region(work.regions[i].start, work.regions[i].length, &tail);

    if (!gHeapHead)
        lm_probe_heap_append_region(kFloor, fallback_top() - kFloor, &tail);
    gFirstFreeCandidate = gHeapHead;
    gHeapInitialized = true;
}

LM_EXPORT void *lm_probe_heap_alloc(uint64_t size) {
    if (size == 0)
        return nullptr;
    lm_probe_heap_init();
    if (size > UINT64_MAX - 15)
        return nullptr;
    uint64_t need = (size + 15) & ~uint64_t{15};

    LmProbeHeapBlock *block = gFirstFreeCandidate;
    while (block && !block->is_free)
        block = block->next;
    gFirstFreeCandidate = block;
    for (; block; block = block->next) {
        if (!block->is_free || block->size < need)
            continue;
        if (block->size - need >= kMinBlockSpan) {
            auto *rest = reinterpret_cast<LmProbeHeapBlock *>(reinterpret_cast<unsigned char *>(block) +
                                                              kHeaderSize + need);
            rest->size = block->size - need - kHeaderSize;
            rest->next = block->next;
            rest->is_free = 1;
            block->size = need;
            block->next = rest;
        }
        block->is_free = 0;
        return reinterpret_cast<unsigned char *>(block) + kHeaderSize;
    }
    return nullptr;
}

namespace {

uint64_t sum_sizes(bool free_only) {
    lm_probe_heap_init();
    uint64_t sum = 0;
    for (const LmProbeHeapBlock *block = gHeapHead; block; block = block->next)
        if (!free_only || block->is_free)
            sum += block->size;
    return sum;
}

uint32_t saturate32(uint64_t value) {
    return value > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(value);
}

} // namespace

LM_EXPORT uint32_t lm_probe_heap_free_bytes(void) {
    return saturate32(sum_sizes(true));
}

LM_EXPORT uint64_t lm_probe_heap_free_bytes64(void) {
    return sum_sizes(true);
}

LM_EXPORT uint32_t lm_probe_heap_total_bytes(void) {
    return saturate32(sum_sizes(false));
}

LM_EXPORT uint64_t lm_probe_heap_total_bytes64(void) {
    return sum_sizes(false);
}

LM_EXPORT void lm_probe_heap_reset(void) {
    gHeapInitialized = false;
    lm_probe_heap_init();
}
