// The window record, the single active window, and the pieces of the window subsystem
// that its files share. Everything here is internal to the library; the application
// sees windows only as opaque pointers (lorrinboot/window.h).
#pragma once

#include "core/string.h"
#include "core/vector.h"

#include <lorrinboot/window.h>
#include <lorrinboot/window_host.h>
#include <stdint.h>

// One per successful createWindow, from operator new; destroyWindow releases it.
struct BaremetalWindow {
    lm::string title;           // stored and returned only; never drawn
    int32_t width;              // of `framebuffer`, at least 1
    int32_t height;
    int32_t pointerWidth;       // size of the pointer's coordinate space: always equal to
    int32_t pointerHeight;      // width and height
    uint8_t shouldClose;        // 0 -> 1 only
    uint8_t clearRed, clearGreen, clearBlue;
    int32_t mouseX, mouseY;     // in pointer space
    uint8_t mouseButtons[3];
    lm::vector<unsigned char> image; // last pushed image, 4 bytes a pixel; empty if none
    int32_t imageWidth, imageHeight;
    lm::vector<unsigned char> framebuffer; // width x height rendered pixels, alpha 255
    // `framebuffer` holds the rendering of the current size, background and image: set by
    // every render, cleared where one of them changes without a render.
    bool rendered;
};

namespace lm {

// The window that receives input; null until createWindow, and again once it is destroyed.
extern BaremetalWindow *gActiveWindow;

// What the host tells about its display.
struct DisplayFramebuffer {
    uint64_t base;
    uint32_t hostWord;
    uint32_t pitch;
    uint32_t width;
    uint32_t height;
    uint32_t redSize, greenSize, blueSize;
    uint32_t redShift, greenShift, blueShift;
};

// Recomposes the window's pixels from its background colour and pushed image.
void renderIntoFramebuffer(BaremetalWindow *window);
// The same, skipped when the pixels are already current: rendering them again would write
// the same bytes. Nothing outside the library reaches the pixels but through a copy.
void renderIfChanged(BaremetalWindow *window);

uint32_t packComponent(uint8_t value, uint32_t size, uint32_t shift);
uint32_t packFramebufferPixel(const DisplayFramebuffer &display, uint8_t red, uint8_t green, uint8_t blue);

bool queryDisplayFramebuffer(DisplayFramebuffer *display);
// Draws the window full-screen, scaled and centred, with the pointer on top.
void presentToDisplay(BaremetalWindow *window);

// Pulls the pointer position back into the window's pointer space.
void clampMouse(BaremetalWindow *window);

} // namespace lm
