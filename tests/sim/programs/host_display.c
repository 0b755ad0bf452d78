/* Uses the host's display and input services directly, frame by frame, the way the
 * window library does: poll keys until none is left, poll the pointer once, then ask
 * for the display and draw into it. Prints what each frame received; stops at 'q' or
 * after 100000 frames. */
#include <lorrinboot.h>
#include <stdio.h>
#include <string.h>

static const LmBaremetalProgramApi *api(void) {
    return (const LmBaremetalProgramApi *)(uintptr_t)LM_PROGRAM_API_ADDRESS;
}

static void say(const char *text) {
    lm_lua_write(text, strlen(text));
    lm_lua_writeline();
}

/* Frame n: the display in a colour of its own (red 40 n), green and blue the column and row. */
static void draw(int frame) {
    LmBaremetalProgramFramebufferInfo info;
    memset(&info, 0, sizeof info);
    if (!((int (*)(LmBaremetalProgramFramebufferInfo *))(uintptr_t)api()->query_framebuffer)(&info))
        return;
    for (uint32_t row = 0; row < info.height; row++) {
        uint32_t *pixels = (uint32_t *)(uintptr_t)(info.address + (uint64_t)row * info.pitch);
        for (uint32_t col = 0; col < info.width; col++) {
            uint32_t red = (uint32_t)(frame * 40) & 0xFF, green = col & 0xFF, blue = row & 0xFF;
            pixels[col] = red << info.red_shift | green << info.green_shift | blue << info.blue_shift;
        }
    }
}

int main(void) {
    char line[96];
    for (int frame = 1; frame <= 100000; frame++) {
        uint32_t word;
        while ((word = ((uint32_t (*)(void))(uintptr_t)api()->poll_key)()) != 0) {
            snprintf(line, sizeof line, "frame %d key %04x", frame, (unsigned)(word & 0xFFFF));
            say(line);
            if ((word & 0xFF) == 'q')
                return 3;
        }
        LmBaremetalProgramPointerState state;
        memset(&state, 0, sizeof state);
        if (((int (*)(LmBaremetalProgramPointerState *))(uintptr_t)api()->poll_pointer)(&state)) {
            snprintf(line, sizeof line, "frame %d pointer flags %u buttons %u at %d,%d range %u,%u", frame,
                     (unsigned)state.flags, (unsigned)state.buttons, (int)state.absolute_x, (int)state.absolute_y,
                     (unsigned)state.range_x, (unsigned)state.range_y);
            say(line);
        }
        draw(frame);
    }
    say("done");
    return 0;
}
