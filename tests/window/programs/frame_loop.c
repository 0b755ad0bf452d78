/* A graphical program in C against the public header: the frame loop of the window API.
 * Returns 100 x frames + letters: the frames it ran until 'q' or a close request, and
 * how many frames saw the 'a' key. */
#include <lorrinboot.h>

int main(void) {
    BaremetalWindow *window = createWindow("frame loop", 8, 6);
    static unsigned char pixels[2 * 2 * 4] = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 255};
    BaremetalImage image = {2, 2, pixels, {0, 0}};
    int frames = 0, letters = 0;
    while (!windowShouldClose(window) && frames < 100) {
        updateWindow(window);
        ++frames;
        if (keya)
            ++letters;
        if (keyq || keylastchar == 'Q')
            closeWindow(window);
        pushImage(window, &image);
        consumeKeyboardState();
    }
    destroyWindow(window);
    return frames * 100 + letters;
}
