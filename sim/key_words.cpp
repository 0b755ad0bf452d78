#include "sim/key_words.h"

#include <array>

namespace lbw::sim {

namespace {

// Set-1 make codes of the keys of a US layout, by the character they type (shifted
// characters share their key's code).
constexpr std::array<uint8_t, 128> make_scan_codes() {
    std::array<uint8_t, 128> codes{};
    auto row = [&](const char *unshifted, const char *shifted, uint8_t first) {
        for (uint8_t i = 0; unshifted[i]; i++) {
            codes[static_cast<unsigned char>(unshifted[i])] = static_cast<uint8_t>(first + i);
            codes[static_cast<unsigned char>(shifted[i])] = static_cast<uint8_t>(first + i);
        }
    };
    row("1234567890-=", "!@#$%^&*()_+", 0x02);
    row("qwertyuiop[]", "QWERTYUIOP{}", 0x10);
    row("asdfghjkl;'`", "ASDFGHJKL:\"~", 0x1E);
    row("\\zxcvbnm,./", "|ZXCVBNM<>?", 0x2B);
    codes[' '] = 0x39;
    codes['\r'] = codes['\n'] = 0x1C;
    codes['\t'] = 0x0F;
    codes[0x08] = codes[0x7F] = 0x0E;
    // Ctrl+letter types the letter's control character on the letter's key.
    for (char letter = 'a'; letter <= 'z'; letter++)
        if (letter != 'h' && letter != 'i' && letter != 'j' && letter != 'm')
            codes[static_cast<unsigned char>(letter - 'a' + 1)] = codes[static_cast<unsigned char>(letter)];
    return codes;
}

constexpr std::array<uint8_t, 128> kScanCodes = make_scan_codes();

constexpr uint32_t word(uint8_t scan_code, uint8_t character) {
    return uint32_t{scan_code} << 8 | character;
}

struct NamedKey {
    const char *name;
    uint32_t word;
};

// Cursor keys and Delete come without a character, as their scan code alone. Escape
// comes as the firmware's character-less Escape report (scan code 0x17): the library
// reads that one as a request to close the window, while the keyboard's own Escape
// word (0x011B) only starts a terminal escape sequence to it.
constexpr NamedKey kNamedKeys[] = {
    {"up", word(0x48, 0)},         {"down", word(0x50, 0)},     {"left", word(0x4B, 0)},
    {"right", word(0x4D, 0)},      {"delete", word(0x53, 0)},   {"esc", word(0x17, 0)},
    {"enter", word(0x1C, '\r')},   {"backspace", word(0x0E, 0x08)}, {"tab", word(0x0F, '\t')},
    {"space", word(0x39, ' ')},
};

} // namespace

uint32_t key_word_for_character(unsigned char c) {
    if (c == '\n')
        c = '\r';
    return word(c < 128 ? kScanCodes[c] : 0, c);
}

std::optional<uint32_t> key_word_for_name(const std::string &name) {
    for (const NamedKey &key : kNamedKeys)
        if (name == key.name)
            return key.word;
    return std::nullopt;
}

} // namespace lbw::sim
