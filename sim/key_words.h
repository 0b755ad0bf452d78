// Key words as the host's poll_key hands them to the library: the character in bits 0-7
// and the PC keyboard's scan code (set 1) in bits 8-15.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace lbw::sim {

// The word for typing `c` on a US keyboard: the character with the scan code of its
// key. Characters with no key (above 0x7E, and control characters other than the
// ones of Enter, Tab, Backspace and Ctrl+letter) are sent with scan code 0.
uint32_t key_word_for_character(unsigned char c);

// Keys without a character of their own, by name: "up", "down", "left", "right", "esc",
// "enter", "backspace", "delete", "tab", "space"; nothing for an unknown name.
std::optional<uint32_t> key_word_for_name(const std::string &name);

} // namespace lbw::sim
