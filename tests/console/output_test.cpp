// Console output: line cutting, backspace, CR, the 511-byte limit, host fallbacks and
// formatted error text, against the built library.
#include "tests/support/library_test.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace lbw::test {
namespace {

using Lines = std::vector<std::string>;

class ConsoleOutputTest : public LibraryTest {
protected:
    void (*write_)(const void *, uint64_t) = nullptr;
    void (*writeline_)() = nullptr;
    void (*flush_)() = nullptr;
    void (*errorf_)(const char *, const char *) = nullptr;

    void SetUp() override {
        LibraryTest::SetUp();
        write_ = fn<void(const void *, uint64_t)>("lm_lua_write");
        writeline_ = fn<void()>("lm_lua_writeline");
        flush_ = fn<void()>("lm_lua_flush_output");
        errorf_ = fn<void(const char *, const char *)>("lm_lua_write_errorf");
    }

    void write(const std::string &text) { write_(text.data(), text.size()); }
    const Lines &lines() { return host().console().lines; }
};

TEST_F(ConsoleOutputTest, BackspaceDropsThePendingByteAndCarriageReturnIsIgnored) {
    write("ab\bc\n");
    write("a\r\nb\n");
    write("x\r\r\by\n");
    EXPECT_EQ(lines(), (Lines{"ac", "a", "b", "y"}));
}

TEST_F(ConsoleOutputTest, BackspaceNeverTakesBackSentText) {
    write("ab\n\bc\n");
    write("\b\b\bz\n");
    EXPECT_EQ(lines(), (Lines{"ab", "c", "z"}));
}

TEST_F(ConsoleOutputTest, EmptyLinesAreSentOnlyForALineEnd) {
    write("\n");
    flush_();
    writeline_();
    write("\n\n");
    EXPECT_EQ(lines(), (Lines{"", "", "", ""}));
}

TEST_F(ConsoleOutputTest, FlushSendsPendingTextWithoutALineEnd) {
    write("> ");
    EXPECT_TRUE(lines().empty()) << "nothing is sent before a line end or a flush";
    flush_();
    flush_();
    write("more");
    writeline_();
    EXPECT_EQ(lines(), (Lines{"> ", "more"}));
}

TEST_F(ConsoleOutputTest, LongTextIsCutAt511Bytes) {
    std::string text;
    for (int i = 0; i < 600; i++)
        text.push_back(static_cast<char>('a' + i % 26));
    write(text + "\n");
    EXPECT_EQ(lines(), (Lines{text.substr(0, 511), text.substr(511)}));
    EXPECT_EQ(lines()[1].size(), 89u);
}

TEST_F(ConsoleOutputTest, CutHappensOnlyWhenAByteNeedsTheRoom) {
    write(std::string(511, 'x'));
    EXPECT_TRUE(lines().empty());
    write("\n");
    write(std::string(511, 'y') + "\b");
    write("z\n");
    write(std::string(511, 'w') + "v\b\b\n");
    EXPECT_EQ(lines(), (Lines{std::string(511, 'x'), std::string(510, 'y') + "z", std::string(511, 'w'), ""}));
}

TEST_F(ConsoleOutputTest, NullDataWritesNothing) {
    write("a");
    write_(nullptr, 5);
    write_(nullptr, UINT64_MAX);
    write_("b", 0);
    writeline_();
    EXPECT_EQ(lines(), (Lines{"a"}));
}

TEST_F(ConsoleOutputTest, ZeroByteIsKeptInTheLine) {
    std::string captured;
    static std::string *sink = nullptr;
    sink = &captured;
    host().set_entry(LM_ENTRY_CONSOLE_WRITE_LINE, +[](const char *text) { sink->assign(text, 4); });
    write(std::string("a\0bc\n", 5));
    EXPECT_EQ(captured, std::string("a\0bc", 4));
}

TEST_F(ConsoleOutputTest, LinesWithoutAHostAreDroppedAndTheBufferEmpties) {
    host().set_entry(LM_ENTRY_CONSOLE_WRITE_LINE, nullptr);
    write("lost\n");
    write(std::string(700, 'q'));
    flush_();
    host().reset(); // console entry back, recordings cleared
    write("kept\n");
    EXPECT_EQ(lines(), (Lines{"kept"}));

    host().api().size = LM_ENTRY_CONSOLE_WRITE_LINE + 3;
    write("short table\n");
    host().api().size = LM_ENTRY_CONSOLE_WRITE_LINE + 4;
    write("just enough\n");
    EXPECT_EQ(lines(), (Lines{"kept", "just enough"}));
}

TEST_F(ConsoleOutputTest, ErrorfFormatsOneTextArgument) {
    errorf_("error: %s!\n", "bad");
    errorf_(nullptr, "plain\n");
    errorf_("no argument\n", nullptr);
    errorf_("[%s]\n", nullptr);
    EXPECT_EQ(lines(), (Lines{"error: bad!", "plain", "no argument", "[]"}));
}

TEST_F(ConsoleOutputTest, ErrorfWritesAtMost319Bytes) {
    std::string text(400, 'e');
    errorf_("%s", text.c_str());
    writeline_();
    errorf_("%s", std::string(319, 'f').c_str());
    writeline_();
    errorf_(">%s", std::string(318, 'g').c_str());
    writeline_();
    EXPECT_EQ(lines(), (Lines{std::string(319, 'e'), std::string(319, 'f'), ">" + std::string(318, 'g')}));
}

TEST_F(ConsoleOutputTest, ErrorfWithNothingToWriteWritesNothing) {
    errorf_(nullptr, nullptr);
    errorf_("%s", "");
    errorf_("", "text");
    flush_();
    EXPECT_TRUE(lines().empty());
    writeline_();
    EXPECT_EQ(lines(), (Lines{""}));
}

} // namespace
} // namespace lbw::test
