// What the model of the file layer and the comparison with glibc cannot show, as
// examples: the standard streams on the console, the C names on null streams, files at
// address 0, sizes beyond their limits, the error texts and the inert entries.
#include "tests/fs/file_test.h"

#include <cstdio>
#include <cstring>
#include <functional>

namespace lbw::test {
namespace {

class ConsoleStreamsTest : public FileTest {
protected:
    Stream *in = nullptr, *out = nullptr, *err = nullptr;

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

TEST_F(ConsoleStreamsTest, TheThreeNamesOpenConsoleStreamsWhateverTheMode) {
    const struct {
        const char *name;
        uint32_t kind;
        bool can_read, can_write;
    } rows[] = {{"__lmfs_stdin", 1, true, false}, {"__lmfs_stdout", 2, false, true}, {"__lmfs_stderr", 3, false, true}};
    for (const auto &row : rows)
        for (const char *mode : {"r", "w", "a+", ""}) {
            Stream *s = must_open(row.name, mode);
            ASSERT_NE(s, nullptr);
            EXPECT_EQ(std::tuple(s->kind, s->can_read, s->can_write, s->append, s->unget_char, std::string(s->path)),
                      std::tuple(row.kind, row.can_read, row.can_write, false, -1, std::string(row.name)))
                << mode;
            lm_errno() = 0;
            EXPECT_EQ(fseek(s, 0, 0), -1) << "standard streams cannot seek";
            EXPECT_EQ(std::pair(lm_errno(), ferror(s)), std::pair(22, 1));
            EXPECT_EQ(fclose(s), 0);
        }
    for (const char *other : {"__LMFS_STDOUT", "__lmfs_stdout ", "__lmfs_stdoutx"})
        EXPECT_EQ(fopen(other, "r"), nullptr) << other << " is an ordinary, absent file";
    host().heap().fail = [](uint64_t) { return true; };
    EXPECT_EQ(fopen("__lmfs_stdout", "w"), nullptr);
    EXPECT_EQ(lm_errno(), 12);
    EXPECT_EQ(host_calls(Op::stat), 3u) << "standard streams never reach host storage";
    EXPECT_EQ(getc(out) + getc(err) + static_cast<int>(write(in, "x")), -2) << "only one direction works";
    EXPECT_EQ(var<Stream *>("stdin"), nullptr) << "opening does not assign the globals";
    EXPECT_EQ(var<Stream *>("stdout"), nullptr);
    EXPECT_EQ(var<Stream *>("stderr"), nullptr);
}

// Each line read from the console yields its bytes, then a line feed.
TEST_F(ConsoleStreamsTest, InputComesLineByLineAndStaysInsideTheLine) {
    input() = {"x", "", "y", "z", std::string(600, 'l'), "next"};
    EXPECT_EQ(getc(in), 'x');
    EXPECT_EQ(getc(in), '\n');
    EXPECT_EQ(host().console().reads.size(), 1u) << "the next line is read only when needed";
    EXPECT_EQ(getc(in), '\n') << "an empty line is a single line feed";
    char buffer[4] = {};
    EXPECT_EQ(fread(buffer, 2, 2, in), 2u);
    EXPECT_EQ(std::string(buffer, 4), "y\nz\n") << "a read spans lines";
    EXPECT_EQ(read_line(), std::string(509, 'l')) << "cut by the console capacity";
    EXPECT_EQ(read_line(), "next");
    EXPECT_EQ(feof(in), 0);
    EXPECT_EQ(getc(in), -1);
    EXPECT_EQ(feof(in), 1);
    ASSERT_EQ(host().console().reads.size(), 7u);
    for (const auto &read : host().console().reads)
        EXPECT_EQ(std::tuple(read.capacity, read.text, read.flag), std::tuple(510u, "", 0u));
    EXPECT_EQ(ftell(in), 0) << "standard input does not count a position";

    input() = {"a"};
    EXPECT_EQ(getc(in), 'a') << "after the end the console is asked again";
    EXPECT_EQ(feof(in), 1) << "only a seek, a push-back or clearerr clears it";
    EXPECT_EQ(ungetc('q', in), 'q');
    EXPECT_EQ(feof(in), 0);
    EXPECT_EQ(read_line(), "q") << "a pushed-back byte comes first";
    ungetc('q', in);
    clearerr(in);
    EXPECT_EQ(getc(in), 'q') << "clearerr keeps the pushed-back byte";
    // The C names: fgets, and getchar through the global.
    var<Stream *>("stdin") = in;
    input() = {"typed", "next"};
    char line[8];
    EXPECT_EQ(c.fgets(line, sizeof line, in), line);
    EXPECT_STREQ(line, "typed\n");
    EXPECT_EQ(fn<int()>("getchar")(), 'n');
    // A host that fills the whole capacity without a NUL: the line feed and the NUL still
    // land inside the stream's line.
    host().set_entry(LM_ENTRY_READ_LINE, +[](char *buffer, uint32_t capacity, const char *, uint32_t) -> int {
        std::memset(buffer, 'u', capacity);
        return 1;
    });
    EXPECT_EQ(read_line(), "ext");
    EXPECT_EQ(read_line(), std::string(510, 'u'));
    EXPECT_EQ(in->line[511], 0);
    host().set_entry(LM_ENTRY_READ_LINE, nullptr);
    EXPECT_EQ(getc(in), -1) << "without console input the stream is at its end";
    EXPECT_EQ(feof(in), 1);
}

TEST_F(ConsoleStreamsTest, OutputAndErrorReachTheConsoleLineByLine) {
    input() = {"answer"};
    EXPECT_EQ(write(out, "hello\nname? "), 12u);
    EXPECT_EQ(lines(), (std::vector<std::string>{"hello"}));
    EXPECT_EQ(fflush(out), 0);
    EXPECT_EQ(lines().size(), 1u) << "flushing the stream does not send the pending line";
    EXPECT_EQ(getc(in), 'a');
    EXPECT_EQ(lines().size(), 2u) << "reading input sends the pending prompt first";
    EXPECT_EQ(write(out, "wor"), 3u);
    EXPECT_EQ(fwrite("ld\r\n\n!", 2, 3, err), 3u);
    EXPECT_EQ(ftell(out) * 10 + ftell(err), 156) << "bytes written: 15 and 6";
    EXPECT_FALSE(err->dirty);
    EXPECT_EQ(fclose(err) + fclose(in), 0);
    EXPECT_EQ(lines(), (std::vector<std::string>{"hello", "name? ", "world", ""}));
    fn<void()>("lm_lua_writeline")();
    EXPECT_EQ(lines().back(), "!") << "closing leaves the console's pending line";

    // The C names: their fflush also sends the pending line, for a console stream or
    // for all, not for a file; setvbuf takes the three modes and changes nothing.
    var<Stream *>("stdout") = out;
    Stream *file = c.fopen("f", "w"), *error = must_open("__lmfs_stderr", "w");
    auto setvbuf = fn<int(Stream *, char *, int, size_t)>("setvbuf");
    EXPECT_EQ(setvbuf(out, nullptr, _IOFBF, 0) + setvbuf(error, nullptr, _IOLBF, 9), 0);
    EXPECT_EQ(setvbuf(file, nullptr, _IONBF, 0), 0);
    EXPECT_EQ(setvbuf(out, nullptr, 3, 0), -1);
    EXPECT_EQ(fn<int(const char *, ...)>("printf")("%s> ", "lua"), 5);
    EXPECT_EQ(c.fflush(file), 0);
    EXPECT_EQ(lines().back(), "!") << "a prompt without a line feed waits";
    EXPECT_EQ(c.fflush(error), 0);
    EXPECT_EQ(lines().back(), "lua> ");
    EXPECT_EQ(fn<int(int)>("putchar")('a'), 'a');
    EXPECT_EQ(c.fflush(nullptr), 0) << "every stream and the pending line";
    EXPECT_EQ(fn<int(const char *)>("puts")("line"), 0);
    EXPECT_EQ(lines(), (std::vector<std::string>{"hello", "name? ", "world", "", "!", "lua> ", "a", "line"}));
    EXPECT_EQ(fclose(out) + fclose(file) + fclose(error), 0);
    EXPECT_EQ(host_calls(Op::write), 1u) << "the file, created at its first flush";
    EXPECT_EQ(host().heap().bytes_in_use(), 0u);
}

using FileLayerTest = FileTest;

// The file layer's own names take null arguments in the model test.
TEST_F(FileLayerTest, NullStreamsFailWithoutReachingTheHost) {
    char buffer[4] = "abc";
    const struct {
        const char *what;
        std::function<int64_t()> call;
        int64_t result;
        int error; // 0: lm_errno left alone
    } rows[] = {
        {"feof, ferror", [&] { return feof(nullptr) + ferror(nullptr); }, 0, 0},
        // The C names, on a null stream or without stdin and stdout.
        {"C fclose", [&] { return c.fclose(nullptr); }, EOF, 0},
        {"C freopen", [&] { return c.freopen("f", "w", nullptr) != nullptr; }, 0, 22},
        {"C fread", [&] { return c.fread(buffer, 1, 1, nullptr); }, 0, 0},
        {"C fwrite", [&] { return c.fwrite(buffer, 1, 1, nullptr); }, 0, 0},
        {"C fgetc, getc", [&] { return c.fgetc(nullptr) + fn<int(Stream *)>("getc")(nullptr); }, 2 * EOF, 0},
        {"C getchar", [&] { return fn<int()>("getchar")(); }, EOF, 0},
        {"C fputc, putc", [&] { return c.fputc('x', nullptr) + fn<int(int, Stream *)>("putc")('x', nullptr); },
         2 * EOF, 0},
        {"C ungetc", [&] { return c.ungetc('x', nullptr); }, EOF, 0},
        {"C putchar", [&] { return fn<int(int)>("putchar")('x'); }, EOF, 0},
        {"C fgets", [&] { return c.fgets(buffer, 4, nullptr) != nullptr; }, 0, 0},
        {"C fputs", [&] { return c.fputs("x", nullptr); }, EOF, 0},
        {"C puts", [&] { return fn<int(const char *)>("puts")("x"); }, EOF, 0},
        {"C printf", [&] { return fn<int(const char *, ...)>("printf")("x"); }, -1, 0},
        {"C fprintf", [&] { return c.fprintf(nullptr, "x"); }, -1, 0},
        {"C fseek", [&] { return c.fseek(nullptr, 0, SEEK_SET); }, -1, 22},
        {"C ftell", [&] { return c.ftell(nullptr); }, -1, 22},
        {"C feof, ferror", [&] { return c.feof(nullptr) + c.ferror(nullptr); }, 0, 0},
        {"C setvbuf", [&] { return fn<int(Stream *, char *, int, size_t)>("setvbuf")(nullptr, nullptr, _IOFBF, 0); },
         -1, 0},
        {"C tmpfile", [&] { return fn<Stream *()>("tmpfile")() != nullptr; }, 0, 0},
        {"C tmpnam", [&] { return fn<char *(char *)>("tmpnam")(buffer) != nullptr; }, 0, 0},
    };
    for (const auto &row : rows) {
        lm_errno() = 0;
        EXPECT_EQ(row.call(), row.result) << row.what;
        EXPECT_EQ(lm_errno(), row.error) << row.what;
    }
    c.clearerr(nullptr);
    EXPECT_TRUE(files().calls.empty());
    EXPECT_STREQ(buffer, "abc");
}

// A nonempty file said to lie at address 0 has no readable content: nothing is read or
// copied from there. An empty one opens as an empty file.
TEST_F(FileLayerTest, ANonemptyFileAtAddressZeroIsUnusable) {
    host().set_entry(LM_ENTRY_STAT_FILE, +[](const char *path, LmBaremetalProgramFileInfo *info) -> int {
        *info = {0, path[0] == 'e' ? 0u : 5u, 0};
        return 1;
    });
    uint8_t *data = nullptr;
    uint64_t size = 99;
    EXPECT_FALSE(read_entire_file("f", &data, &size));
    EXPECT_EQ(std::pair(data, size), std::pair(static_cast<uint8_t *>(nullptr), uint64_t{99}));
    EXPECT_TRUE(host().heap().malloc_sizes.empty());
    EXPECT_EQ(rename("f", "g"), -1);
    EXPECT_EQ(lm_errno(), 5);
    EXPECT_TRUE(files().calls.empty());
    for (const char *mode : {"r", "r+", "a", "w"}) {
        lm_errno() = 0;
        EXPECT_EQ(fopen("f", mode), nullptr) << mode;
        EXPECT_EQ(lm_errno(), 5) << mode;
    }
    EXPECT_EQ(host().heap().bytes_in_use(), 0u);
    EXPECT_EQ(getc(must_open("empty", "r")), -1);
}

TEST_F(FileLayerTest, SizesAndPositionsBeyondTheirLimitsFailWithoutHarm) {
    store().put("f", "0123456789");
    Stream *s = must_open("f", "r+");
    char bytes[4] = {};
    EXPECT_EQ(fwrite("x", UINT64_MAX / 2 + 1, 2, s), 0u) << "an item count times size that overflows";
    // Targets beyond the signed 64-bit range are rejected like negative ones.
    ASSERT_EQ(fseek(s, INT64_MAX, 0), 0);
    for (auto [offset, origin] : {std::pair<int64_t, int>{1, 1}, {INT64_MAX - 9, 2}, {INT64_MIN, 0}}) {
        lm_errno() = 0;
        EXPECT_EQ(fseek(s, offset, origin), -1) << offset;
        EXPECT_EQ(std::pair(lm_errno(), ftell(s)), std::pair(22, INT64_MAX)) << offset;
    }
    // An end beyond 2^64 (growth would be asked for a small size and the gap fill would
    // run off the buffer), and one that doubling from 256 cannot reach: both fail as a
    // failed growth, without asking the heap.
    for (uint64_t item_size : {(uint64_t{1} << 63) + 1, uint64_t{2}}) {
        clearerr(s);
        lm_errno() = 0;
        EXPECT_EQ(fwrite(bytes, item_size, 1, s), 0u) << item_size;
        EXPECT_EQ(std::pair(lm_errno(), ferror(s)), std::pair(12, 1)) << item_size;
    }
    EXPECT_EQ(host().heap().realloc_sizes.size(), 1u) << "only the buffer made at opening";
    EXPECT_EQ(content(s), "0123456789");
    EXPECT_FALSE(s->dirty);
    // The host's size field is 32 bits: 4 GiB of content is refused without a call.
    ASSERT_EQ(fseek(s, 0, 0), 0);
    write(s, "!");
    s->size = uint64_t{1} << 32; // the buffer is never read that far
    EXPECT_EQ(fflush(s), -1);
    EXPECT_EQ(lm_errno(), 5);
    EXPECT_TRUE(s->dirty);
    s->size = 10;
    EXPECT_EQ(fclose(s), 0);
    EXPECT_FALSE(write_entire_file("f", bytes, uint64_t{1} << 32));
    EXPECT_EQ(host_calls(Op::write), 1u);
    EXPECT_EQ(store().contents("f"), "!123456789");
}

TEST_F(FileLayerTest, ErrorTextsAndTheInertEntries) {
    const std::pair<int, const char *> texts[] = {
        {0, "ok"}, {2, "no such file"}, {5, "i/o error"}, {9, "bad file descriptor"}, {12, "out of memory"},
        {13, "permission denied"}, {17, "file exists"}, {22, "invalid argument"}, {1, "error"}, {4, "error"},
        {-5, "error"}, {23, "error"}, {INT32_MIN, "error"},
    };
    for (const auto &[code, text] : texts)
        EXPECT_STREQ(strerror(code), text) << code;

    int dummy = 0;
    EXPECT_EQ(fn<int(const void *, uint64_t)>("lmfs_mount_image")(&dummy, 4), 0);
    fn<void()>("lmfs_unmount")();
    EXPECT_TRUE(fn<bool()>("lmfs_is_mounted")());
    EXPECT_EQ(fn<int(const char *, const void *, uint64_t)>("lmfs_register_virtual_file")("v", &dummy, 4), 0);
    fn<void()>("lmfs_clear_virtual_files")();
    EXPECT_EQ(fn<const void *()>("lmfs_image_data")(), nullptr);
    EXPECT_EQ(fn<uint64_t()>("lmfs_image_size")() + fn<int(const char *)>("lmfs_export_image")("out.img"), 0u);
    EXPECT_EQ(fopen("v", "r"), nullptr) << "a registered virtual file does not exist";
}

} // namespace
} // namespace lbw::test
