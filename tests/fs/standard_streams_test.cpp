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
    std::string read_line() {
        std::string line;
        for (int c; (c = getc(in)) != '\n';)
            line.push_back(static_cast<char>(c));
        return line;
    }
};

TEST_F(StandardStreamsTest, InputLineYieldsItsBytesThenALineFeedThenTheNextLine) {
    input() = {"x", "", "y", "z"};
    EXPECT_EQ(getc(in), 'x');
    EXPECT_EQ(host().console().reads.size(), 1u);
    EXPECT_EQ(getc(in), '\n');
    EXPECT_EQ(host().console().reads.size(), 1u) << "the next line is read only when needed";
    EXPECT_EQ(getc(in), '\n') << "an empty line is a single line feed";
    char buffer[4] = {};
    EXPECT_EQ(fread(buffer, 2, 2, in), 2u);
    EXPECT_EQ(std::string(buffer, 4), "y\nz\n") << "a read spans lines";
    EXPECT_EQ(feof(in), 0);
    EXPECT_EQ(getc(in), -1);
    EXPECT_EQ(feof(in), 1);
    auto &reads = host().console().reads;
    ASSERT_EQ(reads.size(), 5u);
    for (const auto &read : reads) {
        EXPECT_EQ(read.capacity, 510u);
        EXPECT_EQ(read.text, "");
        EXPECT_EQ(read.flag, 0u);
    }
    EXPECT_EQ(ftell(in), 0) << "standard input does not count a position";

    input() = {"a"};
    EXPECT_EQ(getc(in), 'a') << "after the end the console is asked again";
    EXPECT_EQ(feof(in), 1) << "only a seek, a push-back or clearerr clears it";
    EXPECT_EQ(ungetc('q', in), 'q');
    EXPECT_EQ(feof(in), 0);
    EXPECT_EQ(getc(in), 'q') << "a pushed-back byte comes first";
    EXPECT_EQ(getc(in), '\n');
    EXPECT_EQ(getc(in), -1);
    EXPECT_EQ(feof(in), 1);
}

TEST_F(StandardStreamsTest, LongOrUnterminatedLinesStayInsideTheLine) {
    input() = {std::string(600, 'l'), "next"};
    EXPECT_EQ(read_line(), std::string(509, 'l')) << "cut by the console capacity";
    EXPECT_EQ(getc(in), 'n');

    // A host that fills the whole capacity without a NUL: the line feed and the NUL still
    // land inside the stream's line.
    host().set_entry(LM_ENTRY_READ_LINE, +[](char *buffer, uint32_t capacity, const char *, uint32_t) -> int {
        std::memset(buffer, 'u', capacity);
        return 1;
    });
    read_line();
    EXPECT_EQ(read_line(), std::string(510, 'u'));
    EXPECT_EQ(in->line[511], 0);

    host().set_entry(LM_ENTRY_READ_LINE, nullptr);
    EXPECT_EQ(getc(in), -1) << "without console input the stream is at its end";
    EXPECT_EQ(feof(in), 1);
}

TEST_F(StandardStreamsTest, OutputAndErrorReachTheConsoleLineByLine) {
    input() = {"answer"};
    EXPECT_EQ(write(out, "hello\nname? "), 12u);
    EXPECT_EQ(lines(), (std::vector<std::string>{"hello"}));
    EXPECT_EQ(fflush(out), 0);
    EXPECT_EQ(lines().size(), 1u) << "flushing the stream does not send the pending line";
    EXPECT_EQ(getc(in), 'a');
    EXPECT_EQ(lines().size(), 2u) << "reading input sends the pending prompt first";
    EXPECT_EQ(write(out, "wor"), 3u);
    EXPECT_EQ(fwrite("ld\r\n\n!", 2, 3, err), 3u);
    EXPECT_EQ(ftell(out), 15) << "bytes written";
    EXPECT_EQ(ftell(err), 6);
    EXPECT_FALSE(err->dirty);
    EXPECT_EQ(fclose(out), 0);
    EXPECT_EQ(fclose(err), 0);
    EXPECT_EQ(lines(), (std::vector<std::string>{"hello", "name? ", "world", ""}));
    EXPECT_TRUE(files().calls.empty());
    fn<void()>("lm_lua_writeline")();
    EXPECT_EQ(lines().back(), "!") << "closing leaves the console's pending line";
}

TEST_F(StandardStreamsTest, StandardStreamsCannotSeekAndOnlyOneDirectionWorks) {
    for (Stream *s : {in, out, err}) {
        lm_errno() = 0;
        EXPECT_EQ(fseek(s, 0, 0), -1);
        EXPECT_EQ(lm_errno(), 22);
        EXPECT_EQ(ferror(s), 1);
    }
    EXPECT_EQ(getc(out), -1);
    EXPECT_EQ(getc(err), -1);
    EXPECT_EQ(write(in, "x"), 0u);
    write(out, "pending");
    for (Stream *s : {in, out, err})
        EXPECT_EQ(fclose(s), 0);
    EXPECT_EQ(host().heap().bytes_in_use(), 0u);
    EXPECT_TRUE(host().console().reads.empty());
    EXPECT_TRUE(files().calls.empty());
    EXPECT_TRUE(lines().empty()) << "closing leaves the console's pending line";
}

} // namespace
} // namespace lbw::test
