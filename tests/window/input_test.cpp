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

struct KeyRow {
    std::vector<uint32_t> words; // in one poll
    Keys keys;
    char last;
    bool closes;
};

// Every printable character sets its flag, if it has one, and the last character.
std::vector<KeyRow> printable_rows() {
    std::vector<KeyRow> rows;
    for (uint32_t ch = 0x20; ch <= 0x7E; ++ch) {
        const char lower = static_cast<char>(std::tolower(static_cast<int>(ch)));
        const std::string named = ch == ' ' ? "space" : ch == '-' ? "minus" : ch == '.' ? "period" : "";
        Keys keys;
        if (std::isalnum(lower) || !named.empty())
            keys = {"key" + (named.empty() ? std::string(1, lower) : named)};
        rows.push_back({{ch}, keys, static_cast<char>(ch), false});
    }
    return rows;
}

TEST_F(InputTest, KeyWords) {
    std::vector<KeyRow> rows = printable_rows();
    rows.insert(rows.end(), {
        // Control characters.
        {{0x08}, {"keyback"}, 0, false}, {{0x7F}, {"keyback"}, 0, false}, {{0x0A}, {"keyreturn"}, 0, false},
        {{0x0D}, {"keyreturn"}, 0, false}, {{0x01, 0x07, 0x09, 0x1F, 0x80, 0xE0, 0xFF}, {}, 0, false},
        {{0x03}, {}, 0, true}, {{0x04}, {}, 0, true},
        // Character 0: the UEFI scan codes (1 is the up key here, not a close).
        {{0x0100}, {"keyup"}, 0, false}, {{0x0200}, {"keydown"}, 0, false}, {{0x0300}, {"keyright"}, 0, false},
        {{0x0400}, {"keyleft"}, 0, false}, {{0x1700}, {}, 0, true},
        // The scan-code step.
        {{0x4800}, {"keyup"}, 0, false}, {{0x4B00}, {"keyleft"}, 0, false}, {{0x4D00}, {"keyright"}, 0, false},
        {{0x5000}, {"keydown"}, 0, false}, {{0x5300}, {"keydelete"}, 0, false}, {{0x0E00}, {"keyback"}, 0, false},
        {{0x1C00}, {"keyreturn"}, 0, false}, {{0x3B00}, {}, 0, false},
        {{0x48E0}, {"keyup"}, 0, false}, // a character that sets nothing hands the scan code on
        {{0x1C0D}, {"keyreturn"}, 0, false}, {{0x4861}, {"keyup", "keya"}, 'a', false},
        {{0x01E0}, {}, 0, true}, // scan code 1 with a character that is not Escape's
        // Bits 16-31 are ignored.
        {{0xABCD0041u}, {"keya"}, 'A', false}, {{0xFFFF4800u}, {"keyup"}, 0, false},
        {{0x1234011Bu, '[', 'B'}, {"keydown"}, 0, false},
        // Terminal escape sequences; the Escape key's word never closes.
        {{0x1B, '[', 'A'}, {"keyup"}, 0, false}, {{0x011B, '[', 'C'}, {"keyright"}, 0, false},
        {{0x011B, 'q'}, {}, 0, false}, // 'q' ends the sequence
        {{0x1B, '[', 'D', 0x1B, '[', 'Z', 'z'}, {"keyleft", "keyz"}, 'z', false},
        {{0x1B, 'x'}, {}, 0, false}, // the character after a lone ESC is swallowed
        {{0x1B, 'x', 'x'}, {"keyx"}, 'x', false},
        {{0x001B, 'q'}, {}, 0, false}, // ESC, scan code 0: nothing for the scan-code step
        {{0x1B, 0x4800, '[', 0x5000, 'A'}, {"keyup", "keydown"}, 0, false}, // character 0 keeps the state
        {{'1', '2', '3'}, {"key1", "key2", "key3"}, '3', false},          // every queued key in one poll
    });
    for (const KeyRow &row : rows) {
        SCOPED_TRACE(::testing::Message() << "first word " << std::hex << row.words[0]); // each ends idle
        BaremetalWindow *w = createWindow("t", 2, 2);
        consumeKeyboardState();
        input().keys.assign(row.words.begin(), row.words.end());
        const unsigned polls = input().key_polls;
        updateKeyboardState();
        EXPECT_EQ(input().key_polls - polls, row.words.size() + 1); // up to the first zero word
        EXPECT_EQ(set_keys(), row.keys);
        EXPECT_EQ(keylastchar(), row.last);
        EXPECT_EQ(windowShouldClose(w), row.closes);
        destroyWindow(w);
    }
}

TEST_F(InputTest, SequencesSplitAcrossPollsAndFlagsLatchUntilConsumed) {
    press({0x1B});
    press({'['});
    EXPECT_EQ(set_keys(), Keys{});
    press({'B'});
    EXPECT_EQ(set_keys(), Keys{"keydown"});
    press({0x1B, '['});
    consumeKeyboardState(); // does not reset the decoder
    press({'C'});
    press({'a'});
    updateKeyboardState();
    EXPECT_EQ(set_keys(), (Keys{"keyright", "keya"}));
    EXPECT_EQ(keylastchar(), 'a');
    consumeKeyboardState();
    EXPECT_EQ(set_keys(), Keys{});
    EXPECT_EQ(keylastchar(), 0);
}

TEST_F(InputTest, HostServicesAreLookedUpBeforeEveryCallAndMayBeMissing) {
    // A host that withdraws its key service after one key: the loop stops there.
    static unsigned calls;
    calls = 0;
    host().set_entry(LM_ENTRY_POLL_KEY, +[]() -> uint32_t {
        simhost::Host::instance().set_entry(LM_ENTRY_POLL_KEY, nullptr);
        return ++calls == 1 ? 'a' : 0;
    });
    host().set_entry(LM_ENTRY_POLL_POINTER, nullptr);
    input().queue_keys({'b'});
    input().queue_pointer({LM_POINTER_ABSOLUTE, 1, 7, 9, 0, 0, 0, 0});
    updateKeyboardState();
    updateKeyboardState();
    EXPECT_EQ(calls, 1u);
    EXPECT_EQ(set_keys(), Keys{"keya"});
    EXPECT_EQ(mouse(window), std::pair(320, 240));
}

TEST_F(InputTest, PointerReportsMoveThePointerWithinItsSpace) {
    const uint32_t abs = LM_POINTER_ABSOLUTE, rel = LM_POINTER_RELATIVE;
    const struct {
        int start_x, start_y;
        LmBaremetalProgramPointerState report;
        int x, y; // in the 640 x 480 pointer space
    } rows[] = {
        // Absolute positions mapped through their range; range 0: already in pointer space.
        {0, 0, {abs, 0, 32767, 32767, 0, 0, 32767, 32767}, 639, 479},
        {0, 0, {abs, 0, 16384, 16384, 0, 0, 32767, 32767}, 319, 239},
        {9, 9, {abs, 0, 0, -5, 0, 0, 32767, 32767}, 0, 0},
        {0, 0, {abs, 0, 40000, 40000, 0, 0, 32767, 32767}, 639, 479},
        {0, 0, {abs, 0, 700, 700, 0, 0, 0, 0}, 639, 479},
        {9, 9, {abs, 0, -3, -3, 0, 0, 0, 0}, 0, 0},
        {0, 0, {abs, 0, 100, 200, 0, 0, 0, 0}, 100, 200},
        {0, 0, {abs, 0, INT32_MAX, INT32_MAX, 0, 0, 0xFFFFFFFFu, 0xFFFFFFFFu}, 319, 239},
        {0, 0, {abs, 0, 1, 1, 0, 0, 1, 1}, 639, 479},
        // Relative motion wins over the absolute data unless it is (0, 0); ignored without its flag.
        {320, 240, {abs | rel, 0, 10, 10, 5, 0, 0, 0}, 325, 240},
        {320, 240, {abs | rel, 0, 10, 10, 0, 0, 0, 0}, 10, 10},
        {320, 240, {0, 0, 10, 10, 50, 50, 0, 0}, 320, 240},
        {320, 240, {rel, 0, 0, 0, -400, 1000, 0, 0}, 0, 479},
        // Added in 64 bits and clamped: 639 + INT32_MAX does not wrap to the other side.
        {639, 0, {rel, 0, 0, 0, INT32_MAX, INT32_MIN, 0, 0}, 639, 0},
        {0, 479, {rel, 0, 0, 0, INT32_MIN, INT32_MAX, 0, 0}, 0, 479},
    };
    for (const auto &row : rows) {
        point_at(row.start_x, row.start_y);
        report(row.report);
        EXPECT_EQ(mouse(window), std::pair(row.x, row.y))
            << row.report.absolute_x << "," << row.report.absolute_y << " moved " << row.report.relative_x << ","
            << row.report.relative_y;
    }
    setWindowSize(window, 1, 1); // a pointer space below 2 pixels maps everything to 0
    point_at(500, 500);
    EXPECT_EQ(mouse(window), std::pair(0, 0));
}

TEST_F(InputTest, ButtonsComeFromTheLowByteOfEveryReportAndFailedPollsChangeNothing) {
    const std::pair<uint32_t, std::array<bool, 5>> rows[] = {
        {0x5, {false, true, false, true, false}}, // buttons -1, 0, 1, 2, 3: -1 and 3 do not exist
        {0xFF02, {false, false, true, false, false}},
        {0x100, {false, false, false, false, false}},
    };
    for (const auto &[buttons, down] : rows) {
        report({0, buttons, 0, 0, 0, 0, 0, 0}); // no position flags: the buttons are still taken
        for (int b = -1; b < 4; b++)
            EXPECT_EQ(getMouseButtonState(window, b), down[b + 1]) << std::hex << buttons << " button " << b;
    }
    point_at(100, 200, 0x7);
    input().queue_pointer({LM_POINTER_ABSOLUTE, 0, 5, 5, 0, 0, 0, 0}, 0);
    updateKeyboardState();
    updateKeyboardState(); // an empty queue answers 0 too
    EXPECT_EQ(mouse(window), std::pair(100, 200));
    EXPECT_TRUE(getMouseButtonState(window, 2));
    // One report per poll, in a cleared record.
    input().queue_pointer({LM_POINTER_ABSOLUTE, 0, 1, 0, 0, 0, 0, 0});
    input().queue_pointer({LM_POINTER_ABSOLUTE, 0, 2, 0, 0, 0, 0, 0});
    updateKeyboardState();
    EXPECT_EQ(mouse(window).first, 1);
    updateKeyboardState();
    EXPECT_EQ(mouse(window).first, 2);
    EXPECT_TRUE(input().pointer_records_cleared);
}

} // namespace
} // namespace lbw::test
