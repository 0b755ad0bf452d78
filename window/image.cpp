// Images in the window: pushing one, the background colour, and capturing what the
// window holds.
#include "libc/library.h"
#include "window/window.h"

#include <string.h>

LM_EXPORT void pushImage(BaremetalWindow *window, const BaremetalImage *image) {
    // Anything unusable keeps the previously pushed image.
    if (!window || !image || !image->pixels || image->width <= 0 || image->height <= 0)
        return;
    const uint64_t bytes = static_cast<uint64_t>(image->width) * static_cast<uint64_t>(image->height) * 4;
    window->image.assign(image->pixels, image->pixels + bytes);
    window->imageWidth = image->width;
    window->imageHeight = image->height;
    lm::renderIntoFramebuffer(window);
}

LM_EXPORT void clearWindow(BaremetalWindow *window, unsigned char red, unsigned char green, unsigned char blue) {
    if (!window)
        return;
    window->clearRed = red;
    window->clearGreen = green;
    window->clearBlue = blue;
    // With an image the new colour shows in the bars from the next render on.
    if (window->image.size == 0)
        lm::renderIntoFramebuffer(window);
    else
        window->rendered = false;
}

LM_EXPORT BaremetalImage *captureWindow(BaremetalWindow *window) {
    if (!window)
        return nullptr;
    lm::renderIfChanged(window);
    if (window->framebuffer.size == 0)
        return nullptr;
    const uint64_t bytes = static_cast<uint64_t>(window->width) * static_cast<uint64_t>(window->height) * 4;
    BaremetalImage *capture = new BaremetalImage;
    capture->width = window->width;
    capture->height = window->height;
    // The rendered buffer's alpha bytes are all 255 already.
    capture->pixels = new unsigned char[bytes];
    memcpy(capture->pixels, window->framebuffer.data, bytes);
    capture->reserved[0] = 0;
    capture->reserved[1] = 0;
    return capture;
}
