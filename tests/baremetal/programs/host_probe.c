/* host_probe: exercises the boot host's services as a program sees them: the boot
 * hand-off area, the heap behind malloc, PNG decoding, the display,
 * the keyboard (PS/2 and serial) and the mouse. Services the library does not wrap yet
 * are called through the program API table directly. Each step prints a line that the
 * test compares; steps that need the test's help print "waiting ..." first. */
#include <lorrinboot.h>
#include <lorrinboot/window_host.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#define API ((const volatile LmBaremetalProgramApi *)(uintptr_t)LM_PROGRAM_API_ADDRESS)
#define HANDOFF ((const volatile LmBootHandoff *)(uintptr_t)LM_BOOT_HANDOFF_ADDRESS)
#define ENTRY(type, field) ((type)(uintptr_t)API->field)

static void say(const char *text) {
    lm_lua_write(text, strlen(text));
}

static void say_number(uint64_t value, unsigned base) {
    char digits[24];
    int n = 0;
    do {
        digits[n++] = "0123456789abcdef"[value % base];
        value /= base;
    } while (value);
    if (base == 16)
        say("0x");
    while (n)
        lm_lua_write(&digits[--n], 1);
}

static void fail(const char *what) {
    say("FAILED: ");
    say(what);
    say("\n");
}

int main(void);

static int inside(uint64_t address, uint64_t base, uint64_t length) {
    return address >= base && address - base < length;
}

static void probe_memory_map(void) {
    const volatile LmBootHandoff *h = HANDOFF;
    uint32_t count = h->wide_count;
    if (h->wide_magic != LM_BOOT_WIDE_MAP_MAGIC || count == 0 || count > 64)
        return fail("no wide memory map");
    if (h->legacy_count != (count < 16 ? count : 16))
        return fail("legacy map count");
    void *block = malloc(64);
    uint64_t previous_end = 0, total = 0;
    for (uint32_t i = 0; i < count; i++) {
        uint64_t base = h->wide_map[i].base, length = h->wide_map[i].length;
        if (base < (3u << 20) || length == 0 || base + length > (1ull << 32) || base < previous_end)
            return fail("a range outside 3 MiB to 4 GiB, empty or out of order");
        if (i < 16 && (h->legacy_map[i].base != base || h->legacy_map[i].length != length))
            return fail("legacy map differs from the wide map");
        if (inside((uintptr_t)&main, base, length) || inside((uintptr_t)&lm_lua_write, base, length) ||
            inside((uintptr_t)block, base, length) || inside(0x100000, base, length))
            return fail("a range covers the host, the library, the program or the heap");
        volatile uint64_t *first = (volatile uint64_t *)(uintptr_t)base;
        volatile uint64_t *last = (volatile uint64_t *)(uintptr_t)(base + length - 8);
        *first = 0x1122334455667788ull;
        *last = ~0x1122334455667788ull;
        if (*first != 0x1122334455667788ull || *last != ~0x1122334455667788ull)
            return fail("a range is not RAM");
        previous_end = base + length;
        total += length;
    }
    if (h->memory_top != previous_end)
        return fail("memory top");
    free(block);
    if (total < (64u << 20))
        return fail("less than 64 MiB for the program");
    say("memory map ok\n");
}

static void probe_heap(void) {
    char *a = malloc(100);
    if (!a || (uintptr_t)a >= (1ull << 32) || ((uintptr_t)a & 15))
        return fail("malloc");
    memcpy(a, "kept across realloc", 20);
    char *b = realloc(a, 100000);
    if (!b || memcmp(b, "kept across realloc", 20) != 0)
        return fail("realloc");
    free(b);
    free(NULL);
    void *volatile huge = malloc((uint64_t)1 << 40); /* volatile: the compiler may not assume success */
    if (huge != NULL)
        return fail("a terabyte was granted");
    void *fresh = realloc(NULL, 32);
    if (!fresh)
        return fail("realloc of null");
    free(fresh);
    say("heap ok\n");
}

/* Through the library: its path clean-up, then the host's decoder and free. */
static void load_image(const char *path) {
    int width = -1, height = -1;
    unsigned char *pixels = baremetal_load_raw_image(path, &width, &height);
    say("library loaded ");
    say(path);
    if (!pixels) {
        say(width == 0 && height == 0 ? ": nothing\n" : ": nothing, sizes not cleared\n");
        return;
    }
    say(": ");
    say_number((uint64_t)width, 10);
    say("x");
    say_number((uint64_t)height, 10);
    say(", pixels");
    for (int i = 0; i < width * height * 4; i++) {
        say(" ");
        say_number(pixels[i], 10);
    }
    say("\n");
    free(pixels);
}

typedef int (*QueryFramebuffer)(LmBaremetalProgramFramebufferInfo *);

static void probe_display(void) {
    LmBaremetalProgramFramebufferInfo fb;
    memset(&fb, 0, sizeof fb);
    if (!ENTRY(QueryFramebuffer, query_framebuffer)(&fb))
        return fail("no framebuffer");
    say("display ");
    say_number(fb.width, 10);
    say("x");
    say_number(fb.height, 10);
    say(" bpp ");
    say_number(fb.bits_per_pixel, 10);
    say(" red ");
    say_number(fb.red_size, 10);
    say("@");
    say_number(fb.red_shift, 10);
    say(" green ");
    say_number(fb.green_size, 10);
    say("@");
    say_number(fb.green_shift, 10);
    say(" blue ");
    say_number(fb.blue_size, 10);
    say("@");
    say_number(fb.blue_shift, 10);
    say(fb.pitch >= fb.width * 4 && fb.address && fb.host_word ? " usable\n" : " UNUSABLE\n");
    /* Background (32, 64, 96) with a red 10 x 10 square at (5, 5). */
    for (uint32_t y = 0; y < fb.height; y++) {
        volatile uint32_t *row = (volatile uint32_t *)(uintptr_t)(fb.address + (uint64_t)y * fb.pitch);
        for (uint32_t x = 0; x < fb.width; x++) {
            int square = x >= 5 && x < 15 && y >= 5 && y < 15;
            uint32_t r = square ? 255 : 32, g = square ? 0 : 64, b = square ? 0 : 96;
            row[x] = r << fb.red_shift | g << fb.green_shift | b << fb.blue_shift;
        }
    }
    say("display drawn\n");
}

typedef uint32_t (*PollKey)(void);

static void collect_keys(const char *source, unsigned count) {
    say("waiting for ");
    say_number(count, 10);
    say(" ");
    say(source);
    say(" keys\n");
    for (unsigned n = 0; n < count;) {
        uint32_t word = ENTRY(PollKey, poll_key)();
        if (word) {
            say(n ? " " : "keys:");
            if (!n)
                say(" ");
            say_number(word, 16);
            n++;
        }
    }
    say("\n");
}

typedef int (*PollPointer)(LmBaremetalProgramPointerState *);

static void probe_pointer(void) {
    PollPointer poll = ENTRY(PollPointer, poll_pointer);
    if (!poll)
        return fail("no pointer service");
    say("waiting for the pointer\n");
    int32_t dx = 0, dy = 0;
    uint32_t buttons = 0;
    while (!(buttons & 1)) {
        LmBaremetalProgramPointerState record;
        memset(&record, 0, sizeof record);
        if (poll(&record)) {
            dx += record.relative_x;
            dy += record.relative_y;
            buttons = record.buttons;
            if (record.flags != 2)
                return fail("pointer report without relative motion");
        }
    }
    say("pointer moved ");
    say(dx < 0 ? "-" : "");
    say_number((uint64_t)(dx < 0 ? -dx : dx), 10);
    say(" ");
    say(dy < 0 ? "-" : "");
    say_number((uint64_t)(dy < 0 ? -dy : dy), 10);
    say(" button 0 down\n");
}

/* As the library polls in each update: until poll_key answers 0. */
static void count_keys_per_update(unsigned total) {
    say("waiting for ");
    say_number(total, 10);
    say(" keys, counting them per update\n");
    unsigned seen = 0, most = 0;
    while (seen < total) {
        unsigned in_update = 0;
        while (ENTRY(PollKey, poll_key)())
            in_update++;
        seen += in_update;
        most = in_update > most ? in_update : most;
    }
    say("most keys in one update: ");
    say_number(most, 10);
    say("\n");
}

int main(void) {
    probe_memory_map();
    probe_heap();
    load_image("./images/../images/tiny.png");
    load_image("/images/broken.png");
    load_image("greeting.txt");
    probe_display();
    collect_keys("keyboard", 7);
    collect_keys("serial", 4);
    probe_pointer();
    count_keys_per_update(3);
    return 5;
}
