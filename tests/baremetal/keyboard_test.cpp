// The PS/2 keyboard's set-1 bytes turned into key words, on Linux.
#include "boot/ps2.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

namespace lbw::boot::ps2 {
namespace {

std::vector<uint32_t> words(std::initializer_list<uint8_t> bytes) {
    std::vector<uint32_t> out;
    for (uint8_t b : bytes) {
        if (uint32_t word = decode_keyboard_byte(b))
            out.push_back(word);
    }
    return out;
}

using Words = std::vector<uint32_t>;

TEST(KeyboardTest, KeysGiveCharacterAndScanCodeLikeThePcBios) {
    EXPECT_EQ(words({0x1E, 0x9E}), (Words{0x1E61})); // a, released
    EXPECT_EQ(words({0x01, 0x1C, 0x0E, 0x39, 0x0B}), (Words{0x011B, 0x1C0D, 0x0E08, 0x3920, 0x0B30}));
    EXPECT_EQ(words({0x3B}), (Words{0x3B00})) << "F1 has no character";
}

TEST(KeyboardTest, ShiftControlAndCapsLockChangeTheCharacter) {
    EXPECT_EQ(words({0x2A, 0x1E, 0x02, 0xAA, 0x1E}), (Words{0x1E41, 0x0221, 0x1E61}));
    EXPECT_EQ(words({0x36, 0x0C, 0xB6}), (Words{0x0C5F}));
    EXPECT_EQ(words({0x1D, 0x2E, 0x9D, 0x2E}), (Words{0x2E03, 0x2E63}));
    EXPECT_EQ(words({0x3A, 0xBA, 0x1E, 0x02, 0x3A, 0xBA, 0x1E}), (Words{0x1E41, 0x0231, 0x1E61}));
}

TEST(KeyboardTest, ExtendedKeysCarryNoCharacterExceptKeypadEnterAndSlash) {
    EXPECT_EQ(words({0xE0, 0x48, 0xE0, 0xC8, 0xE0, 0x50, 0xE0, 0x4B, 0xE0, 0x4D, 0xE0, 0x53}),
              (Words{0x4800, 0x5000, 0x4B00, 0x4D00, 0x5300}));
    EXPECT_EQ(words({0xE0, 0x1C, 0xE0, 0x35}), (Words{0x1C0D, 0x352F}));
    // The fake shift some keyboards send around extended keys changes nothing.
    EXPECT_EQ(words({0xE0, 0x2A, 0xE0, 0x48, 0xE0, 0xAA, 0x1E}), (Words{0x4800, 0x1E61}));
}

} // namespace
} // namespace lbw::boot::ps2
