// Reading, writing, positioning and flushing file streams. The model test checks the
// general rules over random sequences; these are the documented examples, the bounds and
// what the model cannot see (host calls, reading in place).
#include "tests/fs/file_test.h"

#include <cstring>

namespace lbw::test {
namespace {

using StreamIoTest = FileTest;

TEST_F(StreamIoTest, DocumentedExamples) {
    store().put("ab", "ab");
    Stream *s = must_open("ab", "r");
    EXPECT_EQ(read_rest(s), "ab");
    EXPECT_EQ(feof(s), 1);
    EXPECT_EQ(ungetc('x', s), 'x');
    EXPECT_EQ(feof(s), 0);
    EXPECT_EQ(read_rest(s), "x");
    EXPECT_EQ(feof(s), 1);
    ungetc('z', s);
    clearerr(s);
    EXPECT_EQ(getc(s), 'z') << "clearerr keeps the pushed-back byte";
    EXPECT_EQ(getc(s), -1);
    fclose(s);

    store().put("ten", "0123456789");
    s = must_open("ten", "r");
    EXPECT_EQ(fseek(s, 0, 2), 0);
    EXPECT_EQ(feof(s), 1) << "at the end, before any read";
    EXPECT_EQ(fseek(s, 3, 0), 0);
    EXPECT_EQ(feof(s), 0);
    char out[12];
    std::memset(out, '#', sizeof out);
    ASSERT_EQ(fseek(s, 0, 0), 0);
    EXPECT_EQ(fread(out, 4, 3, s), 2u);
    EXPECT_EQ(std::string(out, 12), "0123456789##") << "the partial item stays in the destination";
    fclose(s);

    s = must_open("gap", "w");
    EXPECT_EQ(fseek(s, 4, 0), 0);
    EXPECT_EQ(write(s, "z"), 1u);
    EXPECT_EQ(content(s), std::string("\0\0\0\0z", 5));
    // A second gap over memory that held bytes before: still zeros.
    EXPECT_EQ(write(s, std::string(250, 'y')), 250u);
    s->size = 2; // content shrunk by hand to put old bytes inside the next gap
    EXPECT_EQ(fseek(s, 10, 0), 0);
    EXPECT_EQ(write(s, "!"), 1u);
    EXPECT_EQ(fclose(s), 0);
    EXPECT_EQ(store().contents("gap"), std::string(10, '\0') + "!");

    store().put("xyz", "xyz");
    s = must_open("xyz", "a");
    ASSERT_EQ(fseek(s, 0, 0), 0);
    EXPECT_EQ(write(s, "hi"), 2u);
    EXPECT_EQ(fclose(s), 0);
    EXPECT_EQ(store().contents("xyz"), "xyzhi") << "appended even after a seek to 0";
}

TEST_F(StreamIoTest, NullPointersAndTheBoundsOfFseekAndFwrite) {
    store().put("f", "0123456789");
    Stream *s = must_open("f", "r+");
    char out[4];
    EXPECT_EQ(fread(nullptr, 1, 3, s) + fwrite(nullptr, 1, 1, s), 0u);
    EXPECT_EQ(fwrite("x", UINT64_MAX / 2 + 1, 2, s), 0u) << "an overflowing product";
    EXPECT_EQ(fread(out, 1, 1, nullptr) + fwrite("x", 1, 1, nullptr), 0u);
    EXPECT_EQ(getc(nullptr), -1);
    EXPECT_EQ(ungetc('q', nullptr), -1);
    clearerr(nullptr);
    EXPECT_EQ(feof(nullptr) + ferror(nullptr) + fflush(nullptr), 0);
    EXPECT_EQ(lm_errno(), 0);
    EXPECT_EQ(ftell(nullptr), -1);
    EXPECT_EQ(lm_errno(), 22);
    lm_errno() = 0;
    EXPECT_EQ(fseek(nullptr, 0, 0), -1);
    EXPECT_EQ(lm_errno(), 22);

    // Targets beyond the signed 64-bit range are rejected like negative ones.
    ASSERT_EQ(fseek(s, INT64_MAX, 0), 0);
    for (auto [offset, origin] : {std::pair<int64_t, int>{1, 1}, {INT64_MAX - 9, 2}, {INT64_MIN, 0}}) {
        lm_errno() = 0;
        EXPECT_EQ(fseek(s, offset, origin), -1) << offset;
        EXPECT_EQ(lm_errno(), 22);
        EXPECT_EQ(ftell(s), INT64_MAX);
    }
    EXPECT_EQ(fseek(s, INT64_MAX - 10, 2), 0);
    EXPECT_EQ(ferror(s), 1);
    clearerr(s);

    // position + total beyond 2^64 would wrap: growth would be asked for a small size and
    // the gap fill would run off the buffer. It fails as a failed growth instead.
    lm_errno() = 0;
    EXPECT_EQ(fwrite(out, (uint64_t{1} << 63) + 1, 1, s), 0u);
    EXPECT_EQ(lm_errno(), 12);
    EXPECT_EQ(ferror(s), 1);
    EXPECT_EQ(host().heap().realloc_sizes.size(), 1u) << "only the buffer made at opening";
    EXPECT_EQ(content(s), "0123456789");
    EXPECT_FALSE(s->dirty);
    EXPECT_EQ(fclose(s), 0);
    EXPECT_EQ(host_calls(Op::write), 0u);
}

TEST_F(StreamIoTest, FlushHandsTheWholeContentOverOncePerChange) {
    store().put("f", "start");
    Stream *s = must_open("f", "r+");
    EXPECT_EQ(fflush(s), 0);
    EXPECT_EQ(host_calls(Op::write), 0u) << "clean: no write";
    ASSERT_EQ(fseek(s, 0, 2), 0);
    write(s, "-one");
    write(s, "-two");
    ASSERT_EQ(fseek(s, 0, 0), 0);
    write(s, "S");
    EXPECT_EQ(host_calls(Op::write), 0u) << "writes stay in memory";
    EXPECT_EQ(fflush(s), 0);
    auto writes = files().calls_of(Op::write);
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0].path, "f");
    EXPECT_EQ(writes[0].data, "Start-one-two");
    EXPECT_EQ(fflush(s), 0);
    EXPECT_EQ(fclose(s), 0);
    EXPECT_EQ(host_calls(Op::write), 1u) << "nothing changed since the flush";
}

TEST_F(StreamIoTest, RefusedFlushKeepsTheChangeForARetry) {
    Stream *s = must_open("f", "w");
    write(s, "data");
    files().fail = [](const sim::FileService::Call &call) { return call.op == Op::write; };
    EXPECT_EQ(fflush(s), -1);
    EXPECT_EQ(lm_errno(), 5);
    EXPECT_EQ(ferror(s), 1);
    EXPECT_TRUE(s->dirty);
    files().fail = nullptr;
    EXPECT_EQ(fflush(s), 0);
    EXPECT_EQ(store().contents("f"), "data");

    // The host's size field is 32 bits: 4 GiB of content is refused without a call.
    write(s, "!");
    s->size = uint64_t{1} << 32; // the buffer is never read that far
    lm_errno() = 0;
    EXPECT_EQ(fflush(s), -1);
    EXPECT_EQ(lm_errno(), 5);
    EXPECT_TRUE(s->dirty);
    EXPECT_EQ(host_calls(Op::write), 2u);
    s->size = 5;

    host().set_entry(LM_ENTRY_WRITE_FILE, nullptr);
    lm_errno() = 0;
    EXPECT_EQ(fclose(s), -1) << "no write entry";
    EXPECT_EQ(lm_errno(), 5);
}

TEST_F(StreamIoTest, ReadOnlyStreamKeepsReadingTheBytesItOpened) {
    store().put("f", "old content");
    Stream *s = must_open("f", "r");
    EXPECT_EQ(getc(s), 'o');
    ASSERT_TRUE(write_entire_file("f", "new", 3));
    EXPECT_EQ(remove("f"), 0);
    EXPECT_EQ(read_rest(s), "ld content");
    EXPECT_EQ(fflush(s), 0);
    EXPECT_EQ(fclose(s), 0);
    EXPECT_EQ(host_calls(Op::write), 1u) << "only write_entire_file wrote";
}

} // namespace
} // namespace lbw::test
