/* The window API: one window shown full-screen on the host's display, scaled to fit and
 * centred, with a drawn pointer; keyboard flags and pointer input; image files decoded
 * by the host.
 *
 * Pixels everywhere (pushed images, captures, loaded images) are 4 bytes each in the
 * order red, green, blue, alpha, rows top to bottom with no gap between rows. The alpha
 * byte of a pushed image is carried but never read.
 *
 * A frame: updateWindow (reads input, re-renders, presents), read the key flags,
 * keylastchar, the pointer and windowShouldClose, draw with pushImage, then
 * consumeKeyboardState. Every function accepts a null window. */
#ifndef LORRINBOOT_WINDOW_H
#define LORRINBOOT_WINDOW_H

#include <stdbool.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Opaque: the application holds windows only by pointer. */
typedef struct BaremetalWindow BaremetalWindow;

typedef struct BaremetalImage {
    int32_t width;
    int32_t height;
    unsigned char *pixels;  /* width * height * 4 bytes */
    uint64_t reserved[2];   /* 0 in a capture; never read by the library */
} BaremetalImage;

/* Lifecycle and attributes. createWindow makes the new window the active one (the one
 * that receives input), renders it black and presents it; sizes below 1 become 1 and a
 * null title becomes "LorrinMoon". It never returns null. */
BaremetalWindow *createWindow(const char *title, int width, int height);
void destroyWindow(BaremetalWindow *window);
void closeWindow(BaremetalWindow *window);
bool windowShouldClose(BaremetalWindow *window); /* true for a null window */
void getWindowSize(BaremetalWindow *window, int *width, int *height);
void setWindowSize(BaremetalWindow *window, int width, int height);
/* A new copy of the title; release it with free. */
char *getWindowTitle(BaremetalWindow *window);
void setWindowTitle(BaremetalWindow *window, const char *title);
void updateWindow(BaremetalWindow *window);

/* Images. pushImage copies the image into the window; clearWindow sets the background
 * colour. captureWindow returns a copy of the window's pixels at its own size, without
 * the pointer; release the pixels and then the record with free. */
void pushImage(BaremetalWindow *window, const BaremetalImage *image);
void clearWindow(BaremetalWindow *window, unsigned char red, unsigned char green, unsigned char blue);
BaremetalImage *captureWindow(BaremetalWindow *window);

/* Input. A key flag is 1 when its key was pressed at least once since the last
 * consumeKeyboardState; keylastchar is the last printable character received. */
void updateKeyboardState(void);
void consumeKeyboardState(void);
void getMousePosition(BaremetalWindow *window, int *x, int *y); /* -1, -1 for a null window */
bool getMouseButtonState(BaremetalWindow *window, int button); /* buttons 0, 1, 2 */

extern unsigned char keyup, keydown, keyleft, keyright;
extern unsigned char keyreturn, keyback, keydelete, keyspace;
extern unsigned char keya, keyb, keyc, keyd, keye, keyf, keyg, keyh, keyi, keyj, keyk, keyl, keym;
extern unsigned char keyn, keyo, keyp, keyq, keyr, keys, keyt, keyu, keyv, keyw, keyx, keyy, keyz;
extern unsigned char key0, key1, key2, key3, key4, key5, key6, key7, key8, key9;
extern unsigned char keyminus, keyperiod;
extern char keylastchar;

/* Touch bar: there is none. These do nothing; getTouchBarButtonState returns 0. */
void setTouchBarButtonText(BaremetalWindow *window, int button, const char *text);
void setTouchBarButtonImage(BaremetalWindow *window, int button, const BaremetalImage *image);
void clearTouchBar(BaremetalWindow *window);
int getTouchBarButtonState(BaremetalWindow *window, int button);

/* Image files, decoded by the host. Returns width * height * 4 bytes that the caller
 * releases with free, or null with *width and *height 0 (either may be null). */
unsigned char *baremetal_load_raw_image(const char *path, int *width, int *height);
/* Saving is not supported: always returns 0. */
int baremetal_save_raw_image(const char *path, const unsigned char *pixels, int width, int height);

#ifdef __cplusplus
}
#endif

#endif
