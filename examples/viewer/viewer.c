/* viewer: shows a PNG file, scaled to fit the window with its proportions kept.
 *
 * Reads the file's name from the console (empty: sample.png), has the host decode it
 * with baremetal_load_raw_image and pushes it into the window, which centres it
 * between bars of the background colour. Escape closes. */
#include <lorrinboot.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static void say(const char *text) {
    lm_lua_write(text, strlen(text));
    lm_lua_writeline();
}

int main(void) {
    char name[200], line[280];
    say("viewer: which PNG file? (empty for sample.png)");
    if (!lm_lua_readline(name, sizeof name, "", 0) || !name[0])
        strcpy(name, "sample.png");

    int width, height;
    unsigned char *pixels = baremetal_load_raw_image(name, &width, &height);
    if (!pixels) {
        snprintf(line, sizeof line, "viewer: cannot load %s", name);
        say(line);
        return 1;
    }
    snprintf(line, sizeof line, "viewer: %s is %d x %d pixels; Escape closes", name, width, height);
    say(line);

    BaremetalWindow *window = createWindow(name, 640, 360);
    clearWindow(window, 36, 38, 46);
    BaremetalImage image = {width, height, pixels, {0, 0}};
    pushImage(window, &image);
    free(pixels); /* the window keeps its own copy */

    int frames = 0;
    while (!windowShouldClose(window)) {
        updateWindow(window);
        consumeKeyboardState();
        frames++;
    }
    destroyWindow(window);
    snprintf(line, sizeof line, "viewer: closed after %d frames", frames);
    say(line);
    return 0;
}
