// Keyboard and pointer input: every row of the key decoding, the terminal escape
// decoder across polls, the close keys, latching and consuming, and the pointer reports.
#include "tests/window/window_test.h"

namespace lbw::test {
namespace {

using Keys = std::vector<std::string>;

class InputTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        window = createWindow("t", 640, 480);
    }

    BaremetalWindow *window = nullptr;
};

TEST_F(InputTest, PrintableCharactersSetTheirFlagAndTheLastCharacter) {
    for (uint32_t ch = 0x20; ch <= 0x7E; ++ch) {
        Keys expected;
        if (ch >= 'a' && ch <= 'z')
            expected = {std::string("key") + static_cast<char>(ch)};
        else if (ch >= 'A' && ch <= 'Z')
            expected = {std::string("key") + static_cast<char>(ch - 'A' + 'a')};
        else if (ch >= '0' && ch <= '9')
            expected = {std::string("key") + static_cast<char>(ch)};
        else if (ch == ' ')
            expected = {"keyspace"};
        else if (ch == '-')
            expected = {"keyminus"};
        else if (ch == '.')
            expected = {"keyperiod"};
        consumeKeyboardState();
        press({ch});
        EXPECT_EQ(set_keys(), expected) << "character " << ch;
        EXPECT_EQ(keylastchar(), static_cast<char>(ch));
    }
    EXPECT_FALSE(windowShouldClose(window));
}

TEST_F(InputTest, KeyWords) {
    struct Case {
        std::vector<uint32_t> words; // in one poll
        Keys keys;
        char last;
        bool closes;
    };
    const Case cases[] = {
        // Control characters.
        {{0x08}, {"keyback"}, 0, false},
        {{0x7F}, {"keyback"}, 0, false},
        {{0x0A}, {"keyreturn"}, 0, false},
        {{0x0D}, {"keyreturn"}, 0, false},
        {{0x01, 0x07, 0x09, 0x1F, 0x80, 0xE0, 0xFF}, {}, 0, false},
        {{0x03}, {}, 0, true},
        {{0x04}, {}, 0, true},
        // Character 0: the UEFI scan codes (1 is the up key here, not a close).
        {{0x0100}, {"keyup"}, 0, false},
        {{0x0200}, {"keydown"}, 0, false},
        {{0x0300}, {"keyright"}, 0, false},
        {{0x0400}, {"keyleft"}, 0, false},
        {{0x1700}, {}, 0, true},
        // The scan-code step.
        {{0x4800}, {"keyup"}, 0, false},
        {{0x4B00}, {"keyleft"}, 0, false},
        {{0x4D00}, {"keyright"}, 0, false},
        {{0x5000}, {"keydown"}, 0, false},
        {{0x5300}, {"keydelete"}, 0, false},
        {{0x0E00}, {"keyback"}, 0, false},
        {{0x1C00}, {"keyreturn"}, 0, false},
        {{0x3B00}, {}, 0, false},
        {{0x48E0}, {"keyup"}, 0, false}, // a character that sets nothing hands the scan code on
        {{0x1C0D}, {"keyreturn"}, 0, false},
        {{0x4861}, {"keyup", "keya"}, 'a', false},
        {{0x01E0}, {}, 0, true}, // scan code 1 with a character that is not Escape's
        // Bits 16-31 are ignored.
        {{0xABCD0041u}, {"keya"}, 'A', false},
        {{0xFFFF4800u}, {"keyup"}, 0, false},
        {{0x1234011Bu, '[', 'B'}, {"keydown"}, 0, false},
        // Terminal escape sequences; the Escape key's word never closes.
        {{0x1B, '[', 'A'}, {"keyup"}, 0, false},
        {{0x011B, '[', 'C'}, {"keyright"}, 0, false},
        {{0x011B, 'q'}, {}, 0, false}, // 'q' ends the sequence
        {{0x1B, '[', 'D', 0x1B, '[', 'Z', 'z'}, {"keyleft", "keyz"}, 'z', false},
        {{0x1B, 'x'}, {}, 0, false}, // the character after a lone ESC is swallowed
        {{0x1B, 'x', 'x'}, {"keyx"}, 'x', false},
        {{0x001B, 'q'}, {}, 0, false}, // ESC, scan code 0: nothing for the scan-code step
        {{0x1B, 0x4800, '[', 0x5000, 'A'}, {"keyup", "keydown"}, 0, false}, // character 0 keeps the state
        // Every queued key is read in one poll.
        {{'1', '2', '3'}, {"key1", "key2", "key3"}, '3', false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(::testing::Message() << "first word " << std::hex << c.words[0]); // each ends the decoder idle
        BaremetalWindow *w = createWindow("t", 2, 2);
        consumeKeyboardState();
        input().keys.assign(c.words.begin(), c.words.end());
        const unsigned polls = input().key_polls;
        updateKeyboardState();
        EXPECT_EQ(input().key_polls - polls, c.words.size() + 1); // up to the first zero word
        EXPECT_EQ(set_keys(), c.keys);
        EXPECT_EQ(keylastchar(), c.last);
        EXPECT_EQ(windowShouldClose(w), c.closes);
        destroyWindow(w);
    }
}

TEST_F(InputTest, SequencesSplitAcrossPollsAndFlagsLatchUntilConsumed) {
    press({0x1B});
    press({'['});
    EXPECT_EQ(set_keys(), Keys{});
    press({'B'});
    EXPECT_EQ(set_keys(), Keys{"keydown"});
    // A consume between the parts does not reset the decoder.
    press({0x1B, '['});
    consumeKeyboardState();
    press({'C'});
    press({'a'});
    updateKeyboardState();
    EXPECT_EQ(set_keys(), (Keys{"keyright", "keya"}));
    EXPECT_EQ(keylastchar(), 'a');
    consumeKeyboardState();
    EXPECT_EQ(set_keys(), Keys{});
    EXPECT_EQ(keylastchar(), 0);
}

TEST_F(InputTest, TheKeyServiceIsLookedUpBeforeEveryCall) {
    // A host that withdraws its key service after one key: the loop stops there.
    static unsigned calls;
    calls = 0;
    host().set_entry(LM_ENTRY_POLL_KEY, +[]() -> uint32_t {
        sim::Host::instance().set_entry(LM_ENTRY_POLL_KEY, nullptr);
        return ++calls == 1 ? 'a' : 0;
    });
    updateKeyboardState();
    EXPECT_EQ(calls, 1u);
    EXPECT_EQ(set_keys(), Keys{"keya"});
}

TEST_F(InputTest, MissingServicesAreNotErrors) {
    host().set_entry(LM_ENTRY_POLL_KEY, nullptr);
    host().set_entry(LM_ENTRY_POLL_POINTER, nullptr);
    input().queue_keys({'a'});
    updateKeyboardState();
    EXPECT_EQ(set_keys(), Keys{});
    EXPECT_EQ(mouse(window), std::pair(320, 240));
}

TEST_F(InputTest, UpdatingAnotherWindowFeedsTheActiveOne) {
    BaremetalWindow *active = createWindow("t", 100, 100);
    input().queue_keys({0x03});
    input().queue_pointer({LM_POINTER_ABSOLUTE, 0, 7, 9, 0, 0, 0, 0});
    updateWindow(window);
    EXPECT_TRUE(windowShouldClose(active));
    EXPECT_FALSE(windowShouldClose(window));
    EXPECT_EQ(mouse(active), std::pair(7, 9));
    EXPECT_EQ(mouse(window), std::pair(320, 240));
}

// ---- Pointer ----

TEST_F(InputTest, AbsolutePositionsAreMappedThroughTheirRange) {
    struct Case {
        int32_t value;
        uint32_t range;
        int x, y; // in a 640 x 480 pointer space
    };
    const Case cases[] = {
        {32767, 32767, 639, 479}, {16384, 32767, 319, 239}, {0, 32767, 0, 0},   {-5, 32767, 0, 0},
        {40000, 32767, 639, 479}, {700, 0, 639, 479},       {-3, 0, 0, 0},      {100, 0, 100, 100},
        {INT32_MAX, 0xFFFFFFFFu, 319, 239},                 {1, 1, 639, 479},
    };
    for (const Case &c : cases) {
        report({LM_POINTER_ABSOLUTE, 0, c.value, c.value, 0, 0, c.range, c.range});
        EXPECT_EQ(mouse(window), std::pair(c.x, c.y)) << c.value << " in " << c.range;
    }
    // A pointer space below 2 pixels maps everything to 0.
    setWindowSize(window, 1, 1);
    point_at(500, 500);
    EXPECT_EQ(mouse(window), std::pair(0, 0));
}

TEST_F(InputTest, RelativeMotion) {
    struct Case {
        int start_x, start_y;
        uint32_t flags;
        int32_t dx, dy;
        int x, y;
    };
    const uint32_t both = LM_POINTER_ABSOLUTE | LM_POINTER_RELATIVE;
    const Case cases[] = {
        {320, 240, both, 5, 0, 325, 240},           // wins over the absolute data (10, 10)
        {320, 240, both, 0, 0, 10, 10},             // unless it is (0, 0)
        {320, 240, 0, 50, 50, 320, 240},            // ignored without its flag
        {320, 240, LM_POINTER_RELATIVE, -400, 1000, 0, 479},
        // Added in 64 bits and clamped: 639 + INT32_MAX does not wrap to the other side.
        {639, 0, LM_POINTER_RELATIVE, INT32_MAX, INT32_MIN, 639, 0},
        {0, 479, LM_POINTER_RELATIVE, INT32_MIN, INT32_MAX, 0, 479},
    };
    for (const Case &c : cases) {
        point_at(c.start_x, c.start_y);
        report({c.flags, 0, 10, 10, c.dx, c.dy, 0, 0});
        EXPECT_EQ(mouse(window), std::pair(c.x, c.y)) << c.dx << "," << c.dy;
    }
}

TEST_F(InputTest, ButtonsComeFromTheLowByteOfEveryReport) {
    report({0, 0x5, 0, 0, 0, 0, 0, 0}); // no position flags: the buttons are still taken
    EXPECT_TRUE(getMouseButtonState(window, 0));
    EXPECT_FALSE(getMouseButtonState(window, 1));
    EXPECT_TRUE(getMouseButtonState(window, 2));
    EXPECT_FALSE(getMouseButtonState(window, 3));
    EXPECT_FALSE(getMouseButtonState(window, -1));
    report({0, 0xFF02, 0, 0, 0, 0, 0, 0});
    EXPECT_FALSE(getMouseButtonState(window, 0));
    EXPECT_TRUE(getMouseButtonState(window, 1));
    EXPECT_FALSE(getMouseButtonState(window, 2));
    report({0, 0x100, 0, 0, 0, 0, 0, 0});
    EXPECT_FALSE(getMouseButtonState(window, 1));
}

TEST_F(InputTest, OneReportPerPollInAClearedRecordAndFailedPollsChangeNothing) {
    point_at(100, 200, 0x7);
    input().queue_pointer({LM_POINTER_ABSOLUTE, 0, 5, 5, 0, 0, 0, 0}, 0);
    updateKeyboardState();
    EXPECT_EQ(mouse(window), std::pair(100, 200));
    EXPECT_TRUE(getMouseButtonState(window, 2));
    // An empty queue answers 0 too.
    updateKeyboardState();
    EXPECT_TRUE(getMouseButtonState(window, 0));

    input().queue_pointer({LM_POINTER_ABSOLUTE, 0, 1, 0, 0, 0, 0, 0});
    input().queue_pointer({LM_POINTER_ABSOLUTE, 0, 2, 0, 0, 0, 0, 0});
    unsigned polls = input().pointer_polls;
    updateKeyboardState();
    EXPECT_EQ(input().pointer_polls, polls + 1);
    EXPECT_EQ(mouse(window).first, 1);
    updateKeyboardState();
    EXPECT_EQ(mouse(window).first, 2);
    EXPECT_TRUE(input().pointer_records_cleared);
}

} // namespace
} // namespace lbw::test
