// The console against the built library: random text in random pieces against a model
// of the pending line, with and without the host, formatted error text, line input,
// clock, time, getenv and system.
#include "tests/support/library_test.h"

#include <cstdint>
#include <random>
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
    simhost::ConsoleService &console() { return host().console(); }
    const Lines &lines() { return console().lines; }
};

// The model: backspace drops a pending byte, CR is ignored, LF sends the line (even an
// empty one), a byte that finds 511 pending sends them first; a flush sends pending text
// only. The host sees each line as a C string, so a zero byte ends what it sees. Without
// the host's entry, now and then, lines are dropped all the same; null text is nothing.
TEST_F(ConsoleTest, RandomTextIsCutIntoLinesAsTheModelSays) {
    std::mt19937 random(5);
    Lines expected;
    std::string pending;
    bool host_there = true;
    auto send = [&](bool newline) {
        if ((newline || !pending.empty()) && host_there)
            expected.push_back(pending.c_str());
        pending.clear();
    };
    for (int i = 0; i < 3000; i++) {
        std::string piece(random() % 8 == 0 ? random() % 600 : 0, 'y');
        for (size_t n = random() % 12; n > 0; n--)
            piece += std::string("ab\b\r\n\0", 6)[random() % 6];
        switch (random() % 12) {
        case 0: flush_(), send(false); break;
        case 1: writeline_(), send(true); break;
        case 2: write_(nullptr, random() % 2 ? 5 : UINT64_MAX); break;
        case 3:
            host_there = !host_there;
            host().set_entry(LM_ENTRY_CONSOLE_WRITE_LINE,
                             host_there ? &simhost::ConsoleService::host_console_write_line : nullptr);
            break;
        default:
            write(piece);
            for (char c : piece) {
                if (c == '\b' && !pending.empty())
                    pending.pop_back();
                else if (c == '\n')
                    send(true);
                else if (c != '\b' && c != '\r') {
                    if (pending.size() == 511)
                        send(false);
                    pending += c;
                }
            }
        }
    }
    EXPECT_EQ(lines(), expected);
}

TEST_F(ConsoleTest, ErrorfFormatsOneTextArgumentIntoAtMost319Bytes) {
    errorf_("error: %s!\n", "bad");
    errorf_(nullptr, "plain\n");
    errorf_("[%s]\n", nullptr);
    errorf_(nullptr, nullptr); // nothing to write
    errorf_("", "text");
    for (const std::string &text : {std::string(400, 'e'), std::string(319, 'f')}) {
        errorf_("%s", text.c_str());
        write("|\n"); // on the same line: the terminator is not written
    }
    EXPECT_EQ(lines(), (Lines{"error: bad!", "plain", "[]", std::string(319, 'e') + "|", std::string(319, 'f') + "|"}));
}

// The capacity reaches the host as 32 bits (2^32 and more as 2^32 - 1), the text and
// the flag unchanged, any nonzero result is a line; the pending prompt is sent first,
// even without a read_line entry, but not when there is no buffer to read into.
TEST_F(ConsoleTest, ReadlineForwardsItsArgumentsAfterThePrompt) {
    console().queued_input = {"print(1)", "a"};
    write("> ");
    EXPECT_FALSE(readline_(nullptr, 8, "", 0));
    EXPECT_FALSE(read(0));
    EXPECT_TRUE(lines().empty());
    ASSERT_TRUE(readline_(buf, sizeof buf, "text", 0xFF));
    EXPECT_STREQ(buf, "print(1)");
    EXPECT_TRUE(read((uint64_t{1} << 32) + 5));
    EXPECT_FALSE(read()) << "no input left";
    const auto &reads = console().reads;
    ASSERT_EQ(reads.size(), 3u);
    EXPECT_EQ(std::tuple(reads[0].capacity, reads[0].text, reads[0].flag, reads[1].capacity),
              std::tuple(64u, "text", 0xFFu, 0xFFFFFFFFu));
    host().reset();
    static int result;
    static size_t lines_at_read;
    host().set_entry(LM_ENTRY_READ_LINE, +[](char *, uint32_t, const char *, uint32_t) -> int {
        lines_at_read = simhost::Host::instance().console().lines.size();
        return result;
    });
    write("> ");
    for (int r : {0, 0x100, -1}) {
        result = r;
        EXPECT_EQ(read(), r != 0) << r;
        EXPECT_EQ(lines_at_read, 1u) << "the prompt went out before the read";
    }
    host().set_entry(LM_ENTRY_READ_LINE, nullptr);
    write("% ");
    EXPECT_FALSE(read());
    EXPECT_EQ(lines(), (Lines{"> ", "% "}));
}

// (The banner and help text are what the shell shows: tests/lorrinlua.)
TEST_F(ConsoleTest, ClockTimeGetenvAndSystem) {
    auto clock_ = fn<int64_t()>("clock");
    for (int64_t tick = 0; tick < 3; tick++)
        EXPECT_EQ(clock_(), tick);
    auto time_ = fn<int64_t(int64_t *)>("time");
    int64_t t = 0;
    EXPECT_EQ(time_(nullptr), 0x4C4D4236);
    EXPECT_EQ(time_(&t), 0x4C4D4236);
    EXPECT_EQ(t, 0x4C4D4236);
    for (const char *name : {"PATH", "", static_cast<const char *>(nullptr)}) {
        EXPECT_EQ(fn<char *(const char *)>("getenv")(name), nullptr);
        EXPECT_EQ(fn<int(const char *)>("system")(name), -1);
    }
}

} // namespace
} // namespace lbw::test
