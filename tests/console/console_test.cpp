// The console against the built library: line cutting, backspace, CR, the 511-byte
// limit, formatted error text, line input, banner, help, clock, time, getenv, system.
#include "tests/support/library_test.h"

#include <cstdint>
#include <string>
#include <vector>

namespace lbw::test {
namespace {

using Lines = std::vector<std::string>;

class ConsoleTest : public LibraryTest {
protected:
    void (*write_)(const void *, uint64_t) = nullptr;
    void (*writeline_)() = nullptr;
    void (*flush_)() = nullptr;
    void (*errorf_)(const char *, const char *) = nullptr;
    bool (*readline_)(char *, uint64_t, const char *, uint8_t) = nullptr;
    char buf[64] = {};

    void SetUp() override {
        LibraryTest::SetUp();
        write_ = fn<void(const void *, uint64_t)>("lm_lua_write");
        writeline_ = fn<void()>("lm_lua_writeline");
        flush_ = fn<void()>("lm_lua_flush_output");
        errorf_ = fn<void(const char *, const char *)>("lm_lua_write_errorf");
        readline_ = fn<bool(char *, uint64_t, const char *, uint8_t)>("lm_lua_readline");
    }

    void write(const std::string &text) { write_(text.data(), text.size()); }
    bool read(uint64_t capacity = 64) { return readline_(buf, capacity, "", 0); }
    sim::ConsoleService &console() { return host().console(); }
    const Lines &lines() { return console().lines; }
};

TEST_F(ConsoleTest, LinesAreCutAtLineFeedsAndEditedByBackspace) {
    write("ab\bc\n");      // backspace drops the pending byte
    write("a\r\nb\n");     // CR is ignored
    write("x\r\r\by\n");
    write("ab\n\bc\n");    // text already sent is never taken back
    write("\b\b\bz\n");
    write("\n");           // a line feed sends even an empty line
    flush_();              // a flush sends only pending text
    writeline_();
    EXPECT_EQ(lines(), (Lines{"ac", "a", "b", "y", "ab", "c", "z", "", ""}));
}

TEST_F(ConsoleTest, FlushSendsPendingTextWithoutALineEnd) {
    write("> ");
    EXPECT_TRUE(lines().empty());
    flush_();
    flush_();
    write("more");
    writeline_();
    EXPECT_EQ(lines(), (Lines{"> ", "more"}));
}

TEST_F(ConsoleTest, LongTextIsCutAt511BytesWhenAByteNeedsTheRoom) {
    std::string text;
    for (int i = 0; i < 600; i++)
        text.push_back(static_cast<char>('a' + i % 26));
    write(text + "\n");
    EXPECT_EQ(lines(), (Lines{text.substr(0, 511), text.substr(511)}));
    console().lines.clear();

    write(std::string(511, 'x'));
    EXPECT_TRUE(lines().empty());
    write("\n");
    write(std::string(511, 'y') + "\b");
    write("z\n");
    write(std::string(511, 'w') + "v\b\b\n");
    EXPECT_EQ(lines(), (Lines{std::string(511, 'x'), std::string(510, 'y') + "z", std::string(511, 'w'), ""}));
}

TEST_F(ConsoleTest, NullDataWritesNothingAndAZeroByteIsKept) {
    write("a");
    write_(nullptr, 5);
    write_(nullptr, UINT64_MAX);
    write_("b", 0);
    writeline_();
    EXPECT_EQ(lines(), (Lines{"a"}));

    static std::string captured;
    host().set_entry(LM_ENTRY_CONSOLE_WRITE_LINE, +[](const char *text) { captured.assign(text, 4); });
    write(std::string("a\0bc\n", 5));
    EXPECT_EQ(captured, std::string("a\0bc", 4));
}

TEST_F(ConsoleTest, LinesWithoutAHostAreDroppedAndTheBufferEmpties) {
    host().set_entry(LM_ENTRY_CONSOLE_WRITE_LINE, nullptr);
    write("lost\n");
    write(std::string(700, 'q'));
    flush_();
    host().reset();
    write("kept\n");
    host().api().size = LM_ENTRY_CONSOLE_WRITE_LINE + 3;
    write("short table\n");
    host().api().size = LM_ENTRY_CONSOLE_WRITE_LINE + 4;
    write("just enough\n");
    EXPECT_EQ(lines(), (Lines{"kept", "just enough"}));
}

TEST_F(ConsoleTest, ErrorfFormatsOneTextArgumentIntoAtMost319Bytes) {
    errorf_("error: %s!\n", "bad");
    errorf_(nullptr, "plain\n");
    errorf_("no argument\n", nullptr);
    errorf_("[%s]\n", nullptr);
    errorf_(nullptr, nullptr); // nothing to write
    errorf_("%s", "");
    errorf_("", "text");
    flush_();
    for (const std::string &text : {std::string(400, 'e'), std::string(319, 'f'), ">" + std::string(318, 'g')}) {
        errorf_(text[0] == '>' ? ">%s" : "%s", text.c_str() + (text[0] == '>'));
        writeline_();
    }
    EXPECT_EQ(lines(), (Lines{"error: bad!", "plain", "no argument", "[]", std::string(319, 'e'),
                              std::string(319, 'f'), ">" + std::string(318, 'g')}));
}

TEST_F(ConsoleTest, ReadlineForwardsItsArgumentsAndClampsTheCapacity) {
    console().queued_input = {"print(1)", "", "a", "b", "c"};
    ASSERT_TRUE(readline_(buf, sizeof buf, "text", 7));
    EXPECT_STREQ(buf, "print(1)");
    ASSERT_TRUE(readline_(buf, 510, "", 0xFF));
    EXPECT_STREQ(buf, "");
    for (uint64_t capacity : {uint64_t{1} << 32, (uint64_t{1} << 32) + 5, uint64_t{0xFFFFFFFF}})
        EXPECT_TRUE(read(capacity));
    EXPECT_FALSE(read()) << "no input left";
    const auto &reads = console().reads;
    ASSERT_EQ(reads.size(), 6u);
    EXPECT_EQ(reads[0].capacity, 64u);
    EXPECT_EQ(reads[0].text, "text");
    EXPECT_EQ(reads[0].flag, 7u);
    EXPECT_EQ(reads[1].capacity, 510u);
    EXPECT_EQ(reads[1].flag, 0xFFu) << "the flag arrives zero-extended";
    for (int i = 2; i < 5; i++)
        EXPECT_EQ(reads[i].capacity, 0xFFFFFFFFu) << "a capacity of 2^32 and more is offered as 2^32 - 1";
}

TEST_F(ConsoleTest, ReadlineSendsThePendingPromptFirstEvenWithoutAReadLineEntry) {
    static size_t lines_at_read;
    host().set_entry(LM_ENTRY_READ_LINE, +[](char *buffer, uint32_t, const char *, uint32_t) -> int {
        lines_at_read = sim::Host::instance().console().lines.size();
        buffer[0] = 0;
        return 1;
    });
    write("> ");
    EXPECT_TRUE(read());
    EXPECT_EQ(lines_at_read, 1u);

    host().set_entry(LM_ENTRY_READ_LINE, nullptr);
    write("$ ");
    EXPECT_FALSE(read());
    host().set_entry(LM_ENTRY_READ_LINE, &sim::ConsoleService::host_read_line);
    host().api().size = LM_ENTRY_READ_LINE; // header fine, entry outside the table
    write("% ");
    EXPECT_FALSE(read());
    EXPECT_EQ(lines(), (Lines{"> ", "$ ", "% "}));
    EXPECT_TRUE(console().reads.empty());
}

TEST_F(ConsoleTest, ReadlineWithNullBufferOrZeroCapacityReadsAndFlushesNothing) {
    console().queued_input = {"unread"};
    write("> ");
    EXPECT_FALSE(readline_(nullptr, 8, "", 0));
    EXPECT_FALSE(read(0));
    EXPECT_TRUE(lines().empty());
    EXPECT_TRUE(console().reads.empty());
    flush_();
    EXPECT_EQ(lines(), (Lines{"> "}));
}

TEST_F(ConsoleTest, ReadlineTestsTheHostResultAsNonzero) {
    static int result;
    host().set_entry(LM_ENTRY_READ_LINE, +[](char *, uint32_t, const char *, uint32_t) -> int { return result; });
    for (int r : {0, 0x100, -1}) {
        result = r;
        EXPECT_EQ(read(), r != 0) << r;
    }
}

TEST_F(ConsoleTest, BannerAndHelpAreSentExactly) {
    fn<void()>("lm_lua_show_banner")();
    fn<void()>("lm_lua_show_help")();
    EXPECT_EQ(lines(), (Lines{
                           "LorrinLua Desktop For LorrinBoot",
                           "type Lua code at the LorrinBoot prompt and press Enter",
                           "type exit or press Esc on an empty prompt to leave",
                           "autoruns index.lua if it is present",
                           "use dofile(\"name.lua\") to run files from disk",
                           "",
                           "Embedded Version:: LorrinLua 0.2",
                           "",
                       }));
}

TEST_F(ConsoleTest, ClockTimeGetenvAndSystemGiveFixedAnswers) {
    auto clock_ = fn<int64_t()>("clock");
    EXPECT_EQ(clock_(), 0);
    EXPECT_EQ(clock_(), 1);
    EXPECT_EQ(clock_(), 2);
    auto time_ = fn<int64_t(int64_t *)>("time");
    EXPECT_EQ(time_(nullptr), 0x4C4D4236);
    int64_t t = 0;
    EXPECT_EQ(time_(&t), 0x4C4D4236);
    EXPECT_EQ(t, 0x4C4D4236);
    auto getenv_ = fn<char *(const char *)>("getenv");
    auto system_ = fn<int(const char *)>("system");
    for (const char *name : {"PATH", "", static_cast<const char *>(nullptr)}) {
        EXPECT_EQ(getenv_(name), nullptr);
        EXPECT_EQ(system_(name), -1);
    }
    EXPECT_TRUE(lines().empty());
}

} // namespace
} // namespace lbw::test
