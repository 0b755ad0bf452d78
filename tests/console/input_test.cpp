// Console input, banner, help, clock, time, getenv and system, against the built library.
#include "tests/support/library_test.h"

#include <cstdint>
#include <string>
#include <vector>

namespace lbw::test {
namespace {

using Lines = std::vector<std::string>;
using ReadlineFn = bool(char *, uint64_t, const char *, uint8_t);

class ConsoleInputTest : public LibraryTest {
protected:
    ReadlineFn *readline_ = nullptr;
    void (*write_)(const void *, uint64_t) = nullptr;

    void SetUp() override {
        LibraryTest::SetUp();
        readline_ = fn<ReadlineFn>("lm_lua_readline");
        write_ = fn<void(const void *, uint64_t)>("lm_lua_write");
    }

    void write(const std::string &text) { write_(text.data(), text.size()); }
    sim::ConsoleService &console() { return host().console(); }
};

TEST_F(ConsoleInputTest, ReadsALineAndForwardsItsArguments) {
    console().queued_input = {"print(1)", ""};
    char buf[64];
    ASSERT_TRUE(readline_(buf, sizeof buf, "text", 7));
    EXPECT_STREQ(buf, "print(1)");
    ASSERT_TRUE(readline_(buf, 510, "", 0xFF));
    EXPECT_STREQ(buf, "");
    EXPECT_FALSE(readline_(buf, sizeof buf, "", 0)) << "no input left";
    ASSERT_EQ(console().reads.size(), 3u);
    EXPECT_EQ(console().reads[0].capacity, 64u);
    EXPECT_EQ(console().reads[0].text, "text");
    EXPECT_EQ(console().reads[0].flag, 7u);
    EXPECT_EQ(console().reads[1].capacity, 510u);
    EXPECT_EQ(console().reads[1].flag, 0xFFu) << "the flag arrives zero-extended";
}

TEST_F(ConsoleInputTest, PendingPromptIsSentBeforeTheRead) {
    static size_t lines_at_read;
    lines_at_read = 99;
    host().set_entry(LM_ENTRY_READ_LINE, +[](char *buffer, uint32_t, const char *, uint32_t) -> int {
        lines_at_read = sim::Host::instance().console().lines.size();
        buffer[0] = 0;
        return 1;
    });
    write("> ");
    char buf[8];
    EXPECT_TRUE(readline_(buf, sizeof buf, "", 0));
    EXPECT_EQ(lines_at_read, 1u);
    EXPECT_EQ(console().lines, (Lines{"> "}));
}

TEST_F(ConsoleInputTest, PromptIsSentEvenWithoutAReadLineEntry) {
    host().set_entry(LM_ENTRY_READ_LINE, nullptr);
    write("> ");
    char buf[8];
    EXPECT_FALSE(readline_(buf, sizeof buf, "", 0));
    EXPECT_EQ(console().lines, (Lines{"> "}));

    host().api().size = LM_ENTRY_READ_LINE; // header fine, entry outside the table
    write("$ ");
    EXPECT_FALSE(readline_(buf, sizeof buf, "", 0));
    EXPECT_EQ(console().lines, (Lines{"> ", "$ "}));
    EXPECT_TRUE(console().reads.empty());
}

TEST_F(ConsoleInputTest, NullBufferOrZeroCapacityReadsNothingAndKeepsThePrompt) {
    console().queued_input = {"unread"};
    write("> ");
    char buf[8];
    EXPECT_FALSE(readline_(nullptr, 8, "", 0));
    EXPECT_FALSE(readline_(buf, 0, "", 0));
    EXPECT_TRUE(console().lines.empty()) << "nothing is flushed";
    EXPECT_TRUE(console().reads.empty());
    fn<void()>("lm_lua_flush_output")();
    EXPECT_EQ(console().lines, (Lines{"> "}));
}

TEST_F(ConsoleInputTest, HostResultIsTestedAsNonzero) {
    static int result;
    host().set_entry(LM_ENTRY_READ_LINE, +[](char *, uint32_t, const char *, uint32_t) -> int { return result; });
    char buf[8];
    result = 0;
    EXPECT_FALSE(readline_(buf, sizeof buf, "", 0));
    result = 0x100;
    EXPECT_TRUE(readline_(buf, sizeof buf, "", 0));
    result = -1;
    EXPECT_TRUE(readline_(buf, sizeof buf, "", 0));
}

TEST_F(ConsoleInputTest, CapacityAbove32BitsIsOfferedAsTheLargest32BitValue) {
    console().queued_input = {"a", "b", "c"};
    char buf[8];
    EXPECT_TRUE(readline_(buf, uint64_t{1} << 32, "", 0));
    EXPECT_TRUE(readline_(buf, (uint64_t{1} << 32) + 5, "", 0));
    EXPECT_TRUE(readline_(buf, 0xFFFFFFFFu, "", 0));
    ASSERT_EQ(console().reads.size(), 3u);
    for (const auto &read : console().reads)
        EXPECT_EQ(read.capacity, 0xFFFFFFFFu);
}

TEST_F(ConsoleInputTest, BannerIsSentExactly) {
    fn<void()>("lm_lua_show_banner")();
    EXPECT_EQ(console().lines, (Lines{
                                   "LorrinLua Desktop For LorrinBoot",
                                   "type Lua code at the LorrinBoot prompt and press Enter",
                                   "type exit or press Esc on an empty prompt to leave",
                                   "autoruns index.lua if it is present",
                                   "use dofile(\"name.lua\") to run files from disk",
                                   "",
                               }));
}

TEST_F(ConsoleInputTest, HelpIsSentExactly) {
    fn<void()>("lm_lua_show_help")();
    EXPECT_EQ(console().lines, (Lines{"Embedded Version:: LorrinLua 0.2", ""}));
}

TEST_F(ConsoleInputTest, ClockCountsCalls) {
    auto clock_ = fn<int64_t()>("clock");
    EXPECT_EQ(clock_(), 0);
    EXPECT_EQ(clock_(), 1);
    EXPECT_EQ(clock_(), 2);
}

TEST_F(ConsoleInputTest, TimeIsFixed) {
    auto time_ = fn<int64_t(int64_t *)>("time");
    EXPECT_EQ(time_(nullptr), 0x4C4D4236);
    int64_t t = 0;
    EXPECT_EQ(time_(&t), 0x4C4D4236);
    EXPECT_EQ(t, 0x4C4D4236);
}

TEST_F(ConsoleInputTest, NoEnvironmentAndNoCommandProcessor) {
    auto getenv_ = fn<char *(const char *)>("getenv");
    auto system_ = fn<int(const char *)>("system");
    EXPECT_EQ(getenv_("PATH"), nullptr);
    EXPECT_EQ(getenv_(""), nullptr);
    EXPECT_EQ(getenv_(nullptr), nullptr);
    EXPECT_EQ(system_("ls"), -1);
    EXPECT_EQ(system_(nullptr), -1);
    EXPECT_TRUE(console().lines.empty());
}

} // namespace
} // namespace lbw::test
