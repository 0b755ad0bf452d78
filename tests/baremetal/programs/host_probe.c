/* host_probe: what only the bare machine has, as a program sees it: the memory map in
 * the boot hand-off area, the PS/2 keyboard and mouse through the host's entries, and
 * last an invalid instruction, which the host reports. It prints "waiting ..." before
 * each step that needs the test's help. */
#include <lorrinboot.h>
#include <lorrinboot/window_host.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define API ((const volatile LmBaremetalProgramApi *)(uintptr_t)LM_PROGRAM_API_ADDRESS)

static void say(const char *text) {
    lm_lua_write(text, strlen(text));
}

int main(void);

static int inside(uint64_t address, uint64_t base, uint64_t length) {
    return address >= base && address - base < length;
}

/* Every range lies between 3 MiB and 4 GiB, in order, is RAM, and covers neither the
 * host, the library, the program nor the heap; the legacy map repeats the first 16. */
static const char *memory_map_fault(void) {
    const volatile LmBootHandoff *h = (const volatile LmBootHandoff *)(uintptr_t)LM_BOOT_HANDOFF_ADDRESS;
    uint32_t count = h->wide_count;
    if (h->wide_magic != LM_BOOT_WIDE_MAP_MAGIC || count == 0 || count > 64 || h->legacy_count != (count < 16 ? count : 16))
        return "no wide memory map, or a legacy count that differs";
    void *block = malloc(64);
    uint64_t end = 0, total = 0;
    for (uint32_t i = 0; i < count; i++) {
        uint64_t base = h->wide_map[i].base, length = h->wide_map[i].length;
        if (base < (3u << 20) || length == 0 || base + length > (1ull << 32) || base < end)
            return "a range outside 3 MiB to 4 GiB, empty or out of order";
        if (i < 16 && (h->legacy_map[i].base != base || h->legacy_map[i].length != length))
            return "the legacy map differs from the wide map";
        if (inside((uintptr_t)&main, base, length) || inside((uintptr_t)&lm_lua_write, base, length) ||
            inside((uintptr_t)block, base, length) || inside(0x100000, base, length))
            return "a range covers the host, the library, the program or the heap";
        volatile uint64_t *first = (volatile uint64_t *)(uintptr_t)base, *last = first + length / 8 - 1;
        *first = 0x1122334455667788ull;
        *last = ~*first;
        if (*first != 0x1122334455667788ull || *last != ~0x1122334455667788ull)
            return "a range is not RAM";
        end = base + length;
        total += length;
    }
    free(block);
    return h->memory_top != end ? "memory top" : total < (64u << 20) ? "less than 64 MiB" : NULL;
}

int main(void) {
    char line[96];
    const char *fault = memory_map_fault();
    say(fault ? fault : "memory map ok");
    say("\nwaiting for 7 keys\nkeys:");
    for (int n = 0; n < 7;) {
        uint32_t word = ((uint32_t(*)(void))(uintptr_t)API->poll_key)();
        if (word) {
            snprintf(line, sizeof line, " 0x%x", (unsigned)word);
            say(line);
            n++;
        }
    }
    say("\nwaiting for the pointer\n");
    int dx = 0, dy = 0;
    LmBaremetalProgramPointerState record;
    do {
        memset(&record, 0, sizeof record);
        if (((int (*)(LmBaremetalProgramPointerState *))(uintptr_t)API->poll_pointer)(&record)) {
            dx += record.relative_x;
            dy += record.relative_y;
        }
    } while (!(record.buttons & 1));
    snprintf(line, sizeof line, "pointer moved %d %d flags %u\n", dx, dy, (unsigned)record.flags);
    say(line);
    __builtin_trap();
}
