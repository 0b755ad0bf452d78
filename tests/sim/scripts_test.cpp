// The simulator's small parsers and names: key words, scripts, sizes, screenshot names.
#include "sim/key_words.h"
#include "sim/options.h"
#include "sim/screenshot.h"
#include "sim/scripted_input.h"

#include <gtest/gtest.h>

namespace lbw::test {
namespace {

using namespace lbw::sim;

TEST(SimulatorKeyWords, CharactersCarryTheScanCodeOfTheirKey) {
    EXPECT_EQ(key_word_for_character('a'), 0x1E61u);
    EXPECT_EQ(key_word_for_character('A'), 0x1E41u);
    EXPECT_EQ(key_word_for_character('1'), 0x0231u);
    EXPECT_EQ(key_word_for_character('!'), 0x0221u);
    EXPECT_EQ(key_word_for_character('0'), 0x0B30u);
    EXPECT_EQ(key_word_for_character('m'), 0x326Du);
    EXPECT_EQ(key_word_for_character('/'), 0x352Fu);
    EXPECT_EQ(key_word_for_character('`'), 0x2960u);
    EXPECT_EQ(key_word_for_character(' '), 0x3920u);
    EXPECT_EQ(key_word_for_character('\n'), 0x1C0Du) << "a line end is Enter";
    EXPECT_EQ(key_word_for_character(0x03), 0x2E03u) << "Ctrl+C on the C key";
    EXPECT_EQ(key_word_for_character(0xE9), 0x00E9u) << "no key for it";
}

TEST(SimulatorKeyWords, NamedKeysAndTheirWords) {
    EXPECT_EQ(key_word_for_name("up"), 0x4800u);
    EXPECT_EQ(key_word_for_name("down"), 0x5000u);
    EXPECT_EQ(key_word_for_name("left"), 0x4B00u);
    EXPECT_EQ(key_word_for_name("right"), 0x4D00u);
    EXPECT_EQ(key_word_for_name("delete"), 0x5300u);
    EXPECT_EQ(key_word_for_name("esc"), 0x1700u);
    EXPECT_EQ(key_word_for_name("enter"), 0x1C0Du);
    EXPECT_EQ(key_word_for_name("backspace"), 0x0E08u);
    EXPECT_EQ(key_word_for_name("tab"), 0x0F09u);
    EXPECT_EQ(key_word_for_name("space"), 0x3920u);
    EXPECT_FALSE(key_word_for_name("Up"));
    EXPECT_FALSE(key_word_for_name(""));
}

TEST(SimulatorScripts, KeysExpandRepeatsAndWaits) {
    std::string error;
    auto keys = parse_keys("x<lt><wait*2><up*3>", error);
    ASSERT_TRUE(keys) << error;
    EXPECT_EQ(*keys, (std::deque<uint32_t>{0x2D78, 0x333C, 0, 0, 0x4800, 0x4800, 0x4800}));
    EXPECT_TRUE(parse_keys("", error)->empty());
    EXPECT_FALSE(parse_keys("<up*>", error));
    EXPECT_FALSE(parse_keys("<*2>", error));
    EXPECT_FALSE(parse_keys("<wait*1000001>", error));
    EXPECT_FALSE(parse_keys("<wait*600000><wait*600000>", error)) << "a million keys at most";
    EXPECT_NE(error.find("million"), std::string::npos);
}

TEST(SimulatorScripts, PointerEventsWithButtonsGapsAndRepeats) {
    std::string error;
    auto events = parse_pointer("  5,6   -7,-8:021*2 -  ", error);
    ASSERT_TRUE(events) << error;
    ASSERT_EQ(events->size(), 4u);
    EXPECT_TRUE((*events)[0].report);
    EXPECT_EQ((*events)[0].x, 5);
    EXPECT_EQ((*events)[0].y, 6);
    EXPECT_EQ((*events)[0].buttons, 0u);
    EXPECT_EQ((*events)[1].x, -7);
    EXPECT_EQ((*events)[1].y, -8);
    EXPECT_EQ((*events)[1].buttons, 7u);
    EXPECT_EQ((*events)[2].buttons, 7u);
    EXPECT_FALSE((*events)[3].report);
    for (const char *bad : {"5", "5,", ",5", "5,6,7", "a,1", "1,2:", "1,2:3", "1,2*0", "1,2*x", "12345678,1", "-,1", "--"})
        EXPECT_FALSE(parse_pointer(bad, error)) << bad;
}

TEST(SimulatorOptions, SizesAndDimensions) {
    EXPECT_EQ(parse_dimensions("1280x720"), (std::pair<uint32_t, uint32_t>{1280, 720}));
    EXPECT_EQ(parse_dimensions("1x16384"), (std::pair<uint32_t, uint32_t>{1, 16384}));
    for (const char *bad : {"", "x", "640", "640x", "x480", "0x480", "640x0", "16385x1", "-1x5", "6 x4", "640x480x"})
        EXPECT_FALSE(parse_dimensions(bad)) << bad;
    EXPECT_EQ(parse_size("64M"), 64u << 20);
    EXPECT_FALSE(parse_size("64MB"));
}

TEST(SimulatorScreenshots, NumbersGoBeforeTheExtension) {
    EXPECT_EQ(numbered_path("shot.png", 3), "shot-0003.png");
    EXPECT_EQ(numbered_path("out/shot.png", 123456), "out/shot-123456.png");
    EXPECT_EQ(numbered_path("shot", 7), "shot-0007");
    EXPECT_EQ(numbered_path("dir.v2/shot", 7), "dir.v2/shot-0007");
    EXPECT_EQ(numbered_path("dir/.png", 7), "dir/.png-0007");
}

} // namespace
} // namespace lbw::test
