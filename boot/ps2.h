// The PS/2 keyboard and mouse, polled (interrupts stay off). The controller translates
// the keyboard to scan code set 1; a key press becomes a key word like the PC BIOS
// keystroke word: character in bits 0-7 (0 for keys without one), scan code in
// bits 8-15. Mouse packets add up to one relative motion report.
#pragma once

#include <stdint.h>

namespace lbw::boot::ps2 {

// Sets the controller up for polling and enables the mouse. Returns whether a mouse
// answered.
bool init();
// The next key word, or 0 when no key is waiting.
uint32_t poll_key();

struct PointerReport {
    int32_t dx, dy; // right and down are positive
    uint8_t buttons;
};
// Motion and buttons since the last call; false when no mouse packet arrived.
bool poll_pointer(PointerReport &report);

// Decoding, exposed for the tests: feeds one keyboard byte and returns the key word it
// completes, or 0.
uint32_t decode_keyboard_byte(uint8_t byte);

} // namespace lbw::boot::ps2
