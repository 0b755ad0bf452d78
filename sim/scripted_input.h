// Scripted input for tests and demos, handed to the program one frame at a time.
//
// Keys (--keys): every character is typed as itself; a name in angle brackets is a key
// without a character of its own: <up> <down> <left> <right> <esc> <enter> <backspace>
// <delete> <tab> <space>, <lt> types '<', and <wait> is a frame without a key. A count
// repeats a key: <right*5>, <wait*10>.
//
// Pointer (--pointer): events separated by spaces. "X,Y" puts the pointer on display
// pixel X, Y with no button down; "X,Y:B" holds the buttons listed in B (digits 0 to 2,
// e.g. "320,200:0" or "10,10:02"); "-" sends no report, so the pointer stays as it was.
// Any event may end in "*N" to repeat it over N frames.
#pragma once

#include "libc/include/lorrinboot/window_host.h"

#include <cstdint>
#include <deque>
#include <optional>
#include <string>

namespace lbw::sim {

// One frame's key: a key word, or 0 for a frame without a key.
std::optional<std::deque<uint32_t>> parse_keys(const std::string &script, std::string &error);

struct PointerEvent {
    bool report = true; // false: this frame gets no pointer report
    int32_t x = 0, y = 0;
    uint32_t buttons = 0; // bit n: button n down
};

std::optional<std::deque<PointerEvent>> parse_pointer(const std::string &script, std::string &error);

} // namespace lbw::sim
