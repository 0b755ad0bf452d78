// The display: QEMU's standard VGA (PCI 1234:1111) in its Bochs VBE linear mode,
// 32 bits per pixel, found through PCI configuration space. The mode is set the first
// time the program asks for the framebuffer, so a console-only program keeps the text
// screen.
#pragma once

#include <stdint.h>

namespace lbw::boot::display {

struct Framebuffer {
    uint64_t address;
    uint32_t pitch, width, height;
};

// The display size to use (from the kernel command line).
void configure(uint32_t width, uint32_t height);
// Sets the mode on first use; false when there is no usable adapter.
bool framebuffer(Framebuffer &out);

} // namespace lbw::boot::display
