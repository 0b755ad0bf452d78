// The standard streams: input from console lines, output and errors to console lines.
#include "tests/fs/file_test.h"

#include <cstring>

namespace lbw::test {
namespace {

class StandardStreamsTest : public FileTest {
protected:
    Stream *in = nullptr;
    Stream *out = nullptr;
    Stream *err = nullptr;

    void SetUp() override {
        FileTest::SetUp();
        in = must_open("__lmfs_stdin", "r");
        out = must_open("__lmfs_stdout", "w");
        err = must_open("__lmfs_stderr", "w");
    }
    std::deque<std::string> &input() { return host().console().queued_input; }
    std::vector<std::string> &lines() { return host().console().lines; }
};

TEST_F(StandardStreamsTest, InputLineYieldsItsBytesThenALineFeedThenTheNextLine) {
    input() = {"x", "", "yz"};
    EXPECT_EQ(getc(in), 'x');
    EXPECT_EQ(host().console().reads.size(), 1u);
    EXPECT_EQ(getc(in), '\n');
    EXPECT_EQ(host().console().reads.size(), 1u) << "the next line is read only when needed";
    EXPECT_EQ(getc(in), '\n') << "an empty line is a single line feed";
    EXPECT_EQ(getc(in), 'y');
    EXPECT_EQ(getc(in), 'z');
    EXPECT_EQ(getc(in), '\n');
    EXPECT_EQ(feof(in), 0);
    EXPECT_EQ(getc(in), -1);
    EXPECT_EQ(feof(in), 1);
    auto &reads = host().console().reads;
    ASSERT_EQ(reads.size(), 4u);
    for (const auto &read : reads) {
        EXPECT_EQ(read.capacity, 510u);
        EXPECT_EQ(read.text, "");
        EXPECT_EQ(read.flag, 0u);
    }
    EXPECT_EQ(ftell(in), 0) << "standard input does not count a position";
}

TEST_F(StandardStreamsTest, InputAfterEndOfFileAsksTheConsoleAgain) {
    EXPECT_EQ(getc(in), -1);
    EXPECT_EQ(feof(in), 1);
    input() = {"a"};
    EXPECT_EQ(getc(in), 'a');
    EXPECT_EQ(feof(in), 1) << "only a seek, a push-back or clearerr clears it";
    clearerr(in);
    EXPECT_EQ(getc(in), '\n');
}

TEST_F(StandardStreamsTest, ReadSpansLinesAndPushBackComesFirst) {
    input() = {"ab", "cd"};
    char buffer[6] = {};
    EXPECT_EQ(fread(buffer, 2, 3, in), 3u);
    EXPECT_EQ(std::string(buffer, 6), "ab\ncd\n");
    EXPECT_EQ(ungetc('q', in), 'q');
    EXPECT_EQ(getc(in), 'q');
    EXPECT_EQ(fread(buffer, 1, 1, in), 0u);
    EXPECT_EQ(feof(in), 1);
}

TEST_F(StandardStreamsTest, LongInputLineIsCutByTheConsoleCapacity) {
    input() = {std::string(600, 'l'), "next"};
    std::string line;
    for (int c; (c = getc(in)) != '\n';)
        line.push_back(static_cast<char>(c));
    EXPECT_EQ(line, std::string(509, 'l'));
    EXPECT_EQ(getc(in), 'n');
}

int read_line_without_terminator(char *buffer, uint32_t capacity, const char *, uint32_t) {
    std::memset(buffer, 'u', capacity);
    return 1;
}

// A host that fills the whole capacity without a NUL: the line feed and the NUL still
// land inside the stream's line.
TEST_F(StandardStreamsTest, UnterminatedConsoleLineStaysInsideTheLine) {
    host().set_entry(LM_ENTRY_READ_LINE, &read_line_without_terminator);
    std::string line;
    for (int c; (c = getc(in)) != '\n';)
        line.push_back(static_cast<char>(c));
    EXPECT_EQ(line, std::string(510, 'u'));
    EXPECT_EQ(in->line[511], 0);
}

TEST_F(StandardStreamsTest, InputFlushesAPendingPromptFirst) {
    input() = {"answer"};
    EXPECT_EQ(write(out, "name? "), 6u);
    EXPECT_TRUE(lines().empty());
    EXPECT_EQ(getc(in), 'a');
    EXPECT_EQ(lines(), (std::vector<std::string>{"name? "}));
}

TEST_F(StandardStreamsTest, WithoutConsoleInputTheStreamIsAtItsEnd) {
    host().set_entry(LM_ENTRY_READ_LINE, nullptr);
    EXPECT_EQ(getc(in), -1);
    EXPECT_EQ(feof(in), 1);
}

TEST_F(StandardStreamsTest, OutputReachesTheConsoleLineByLine) {
    EXPECT_EQ(write(out, "hello\nwor"), 9u);
    EXPECT_EQ(lines(), (std::vector<std::string>{"hello"}));
    EXPECT_EQ(fflush(out), 0);
    EXPECT_EQ(lines().size(), 1u) << "flushing the stream does not send the pending line";
    EXPECT_EQ(write(out, "ld\r\n\n"), 5u);
    EXPECT_EQ(lines(), (std::vector<std::string>{"hello", "world", ""}));
    EXPECT_EQ(ftell(out), 14) << "bytes written";
    EXPECT_TRUE(files().calls.empty());
}

TEST_F(StandardStreamsTest, ErrorWritesItemsToTheConsole) {
    EXPECT_EQ(fwrite("abcdef", 2, 3, err), 3u);
    EXPECT_EQ(ftell(err), 6);
    fn<void()>("lm_lua_writeline")();
    EXPECT_EQ(lines(), (std::vector<std::string>{"abcdef"}));
    EXPECT_FALSE(err->dirty);
}

TEST_F(StandardStreamsTest, StandardStreamsCannotSeekAndOnlyOneDirectionWorks) {
    for (Stream *s : {in, out, err}) {
        lm_errno() = 0;
        EXPECT_EQ(fseek(s, 0, 0), -1);
        EXPECT_EQ(lm_errno(), 22);
        EXPECT_EQ(ferror(s), 1);
        clearerr(s);
    }
    EXPECT_EQ(getc(out), -1);
    EXPECT_EQ(getc(err), -1);
    EXPECT_EQ(write(in, "x"), 0u);
    EXPECT_TRUE(host().console().reads.empty());
    EXPECT_TRUE(lines().empty());
}

TEST_F(StandardStreamsTest, ClosingFreesTheRecordsWithoutTouchingStorage) {
    write(out, "pending");
    EXPECT_EQ(fclose(in), 0);
    EXPECT_EQ(fclose(out), 0);
    EXPECT_EQ(fclose(err), 0);
    EXPECT_EQ(host().heap().bytes_in_use(), 0u);
    EXPECT_TRUE(files().calls.empty());
    EXPECT_TRUE(lines().empty()) << "the console keeps its pending line";
}

} // namespace
} // namespace lbw::test
