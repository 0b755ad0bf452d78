// Creating and destroying windows, their close request, size and title, the per-frame
// update, and the touch bar, which this machine does not have.
#include "host/program_api.h"
#include "window/window.h"

#include <string.h>

namespace lm {

BaremetalWindow *gActiveWindow;

namespace {

int32_t atLeastOne(int value) {
    return value < 2 ? 1 : value;
}

} // namespace

} // namespace lm

using lm::gActiveWindow;

LM_EXPORT BaremetalWindow *createWindow(const char *title, int width, int height) {
    lm::host::create_window();
    // Value-initialised: every number and flag 0, empty title and buffers, black.
    BaremetalWindow *window = new BaremetalWindow();
    window->title = title ? title : "LorrinMoon";
    window->width = window->pointerWidth = lm::atLeastOne(width);
    window->height = window->pointerHeight = lm::atLeastOne(height);
    window->mouseX = window->width / 2;
    window->mouseY = window->height / 2;
    window->framebuffer.assign(static_cast<uint64_t>(window->width) * static_cast<uint64_t>(window->height) * 4, 0);
    gActiveWindow = window;
    lm::renderIntoFramebuffer(window);
    lm::presentToDisplay(window);
    return window;
}

LM_EXPORT void destroyWindow(BaremetalWindow *window) {
    if (!window)
        return;
    if (window == gActiveWindow)
        gActiveWindow = nullptr;
    // Members go in reverse order: pixels, image, title; then the record.
    delete window;
    lm::host::destroy_window();
}

LM_EXPORT void closeWindow(BaremetalWindow *window) {
    if (window)
        window->shouldClose = 1;
}

LM_EXPORT bool windowShouldClose(BaremetalWindow *window) {
    return window ? window->shouldClose != 0 : true;
}

LM_EXPORT void getWindowSize(BaremetalWindow *window, int *width, int *height) {
    if (width)
        *width = window ? window->width : 0;
    if (height)
        *height = window ? window->height : 0;
}

LM_EXPORT void setWindowSize(BaremetalWindow *window, int width, int height) {
    if (!window)
        return;
    window->width = window->pointerWidth = lm::atLeastOne(width);
    window->height = window->pointerHeight = lm::atLeastOne(height);
    lm::clampMouse(window);
    lm::renderIntoFramebuffer(window);
}

LM_EXPORT char *getWindowTitle(BaremetalWindow *window) {
    const char *text = window ? window->title.data : nullptr;
    const uint64_t length = window ? window->title.size : 0;
    char *copy = new char[length + 1];
    if (length)
        memcpy(copy, text, length);
    copy[length] = 0;
    return copy;
}

LM_EXPORT void setWindowTitle(BaremetalWindow *window, const char *title) {
    if (window)
        window->title = title; // null stores the empty title
}

LM_EXPORT void updateWindow(BaremetalWindow *window) {
    if (!window)
        return;
    // Input goes to the active window, which need not be this one.
    updateKeyboardState();
    lm::renderIfChanged(window);
    lm::presentToDisplay(window);
}

LM_EXPORT void setTouchBarButtonText(BaremetalWindow *, int, const char *) {}

LM_EXPORT void setTouchBarButtonImage(BaremetalWindow *, int, const BaremetalImage *) {}

LM_EXPORT void clearTouchBar(BaremetalWindow *) {}

LM_EXPORT int getTouchBarButtonState(BaremetalWindow *, int) {
    return 0;
}
