/* frame_steps: a window program driven one input at a time. A square on a gradient
 * moves with the cursor keys and changes colour with r, g and b; the pointer is drawn
 * by the library. After each input it prints "step N"; after six it presents the last
 * frame, prints "final frame" and waits for a line of input before it ends. Run on the
 * bare machine and in the substitute host with the same inputs, it must leave the same
 * picture on the display. */
#include <lorrinboot.h>
#include <string.h>

enum { kWidth = 160, kHeight = 100, kSquare = 12, kSteps = 6 };

static unsigned char pixels[kWidth * kHeight * 4];

static void say(const char *text) {
    lm_lua_write(text, strlen(text));
}

static void draw(int square_x, int square_y, const unsigned char colour[3]) {
    for (int y = 0; y < kHeight; y++) {
        for (int x = 0; x < kWidth; x++) {
            unsigned char *p = &pixels[(y * kWidth + x) * 4];
            int inside = x >= square_x && x < square_x + kSquare && y >= square_y && y < square_y + kSquare;
            p[0] = inside ? colour[0] : (unsigned char)(x * 255 / (kWidth - 1));
            p[1] = inside ? colour[1] : (unsigned char)(y * 255 / (kHeight - 1));
            p[2] = inside ? colour[2] : 96;
            p[3] = 255;
        }
    }
}

int main(void) {
    BaremetalWindow *window = createWindow("frame steps", kWidth, kHeight);
    BaremetalImage image = {kWidth, kHeight, pixels, {0, 0}};
    int x = 40, y = 30, mouse_x = 0, mouse_y = 0;
    unsigned char colour[3] = {255, 255, 255};
    draw(x, y, colour);
    pushImage(window, &image);
    updateWindow(window);
    consumeKeyboardState();
    getMousePosition(window, &mouse_x, &mouse_y);
    say("ready\n");

    for (int step = 1; step <= kSteps && !windowShouldClose(window);) {
        updateWindow(window);
        int moved_x = mouse_x, moved_y = mouse_y;
        getMousePosition(window, &moved_x, &moved_y);
        int changed = moved_x != mouse_x || moved_y != mouse_y;
        mouse_x = moved_x;
        mouse_y = moved_y;
        if (keyleft || keyright || keyup || keydown) {
            x += keyright ? 10 : keyleft ? -10 : 0;
            y += keydown ? 10 : keyup ? -10 : 0;
            changed = 1;
        }
        if (keyr || keyg || keyb) {
            colour[0] = keyr ? 230 : 20;
            colour[1] = keyg ? 200 : 30;
            colour[2] = keyb ? 250 : 40;
            changed = 1;
        }
        consumeKeyboardState();
        if (changed) {
            draw(x, y, colour);
            pushImage(window, &image);
            updateWindow(window);
            say(step == 1 ? "step 1\n" : step == 2 ? "step 2\n" : step == 3 ? "step 3\n"
                : step == 4 ? "step 4\n" : step == 5 ? "step 5\n" : "step 6\n");
            step++;
        }
    }
    consumeKeyboardState();
    say("final frame\n");
    char line[8];
    lm_lua_readline(line, sizeof line, "", 0);
    destroyWindow(window);
    return 0;
}
