// Reading, writing, positioning and flushing file streams.
#include "tests/fs/file_test.h"

#include <cstring>

namespace lbw::test {
namespace {

using StreamIoTest = FileTest;

TEST_F(StreamIoTest, EndOfFileAndPushBack) {
    store().put("f", "ab");
    Stream *s = must_open("f", "r");
    EXPECT_EQ(getc(s), 'a');
    EXPECT_EQ(getc(s), 'b');
    EXPECT_EQ(feof(s), 0);
    EXPECT_EQ(getc(s), -1);
    EXPECT_EQ(feof(s), 1);
    EXPECT_EQ(ungetc('x', s), 'x');
    EXPECT_EQ(feof(s), 0);
    EXPECT_EQ(getc(s), 'x');
    EXPECT_EQ(getc(s), -1);
    EXPECT_EQ(feof(s), 1);
    EXPECT_EQ(ftell(s), 2);
    fclose(s);
}

TEST_F(StreamIoTest, PushBackHasOneSlotAndLeavesThePositionAlone) {
    store().put("f", "abc");
    Stream *s = must_open("f", "r");
    EXPECT_EQ(getc(s), 'a');
    EXPECT_EQ(ungetc('x', s), 'x');
    EXPECT_EQ(ungetc(0x179, s), 0x79) << "only the low byte is kept";
    EXPECT_EQ(ftell(s), 1);
    EXPECT_EQ(getc(s), 0x79);
    EXPECT_EQ(getc(s), 'b');
    EXPECT_EQ(ungetc(-1, s), -1);
    EXPECT_EQ(s->unget_char, -1);
    EXPECT_EQ(ungetc('q', nullptr), -1);
    fclose(s);

    Stream *w = must_open("g", "w");
    EXPECT_EQ(ungetc('q', w), 'q') << "reading access plays no part";
    EXPECT_EQ(getc(w), -1);
    fclose(w);
}

TEST_F(StreamIoTest, SeekSetsAndClearsEndOfFileAndDropsPushBack) {
    store().put("f", "0123456789");
    Stream *s = must_open("f", "r");
    EXPECT_EQ(fseek(s, 0, 2), 0);
    EXPECT_EQ(feof(s), 1) << "at the end, before any read";
    EXPECT_EQ(ftell(s), 10);
    EXPECT_EQ(fseek(s, 3, 0), 0);
    EXPECT_EQ(feof(s), 0);
    EXPECT_EQ(ungetc('x', s), 'x');
    EXPECT_EQ(fseek(s, 2, 1), 0);
    EXPECT_EQ(s->unget_char, -1);
    EXPECT_EQ(getc(s), '5');
    EXPECT_EQ(fseek(s, -1, 2), 0);
    EXPECT_EQ(getc(s), '9');
    EXPECT_EQ(fseek(s, 20, 0), 0);
    EXPECT_EQ(feof(s), 1);
    EXPECT_EQ(getc(s), -1);
    EXPECT_EQ(ftell(s), 20);
    fclose(s);
}

TEST_F(StreamIoTest, ClearErrorClearsBothIndicatorsAndDropsPushBack) {
    store().put("f", "a");
    Stream *s = must_open("f", "r");
    getc(s);
    getc(s);
    EXPECT_EQ(fseek(s, 0, 7), -1);
    EXPECT_EQ(feof(s), 1);
    EXPECT_EQ(ferror(s), 1);
    ungetc('z', s);
    clearerr(s);
    EXPECT_EQ(feof(s), 0);
    EXPECT_EQ(ferror(s), 0);
    EXPECT_EQ(getc(s), -1) << "the pushed-back byte is gone";
    clearerr(nullptr);
    EXPECT_EQ(feof(nullptr), 0);
    EXPECT_EQ(ferror(nullptr), 0);
    fclose(s);
}

TEST_F(StreamIoTest, RejectedSeeks) {
    store().put("f", "0123456789");
    Stream *s = must_open("f", "r");
    ASSERT_EQ(fseek(s, 4, 0), 0);
    ungetc('u', s);
    struct Case {
        int64_t offset;
        int origin;
    };
    for (Case c : {Case{0, 3}, Case{0, -1}, Case{-1, 0}, Case{-5, 1}, Case{-11, 2}, Case{INT64_MIN, 0}}) {
        lm_errno() = 0;
        clearerr(s);
        ungetc('u', s);
        EXPECT_EQ(fseek(s, c.offset, c.origin), -1) << c.offset << " from " << c.origin;
        EXPECT_EQ(lm_errno(), 22);
        EXPECT_EQ(ferror(s), 1);
        EXPECT_EQ(ftell(s), 4) << "the position stays";
        EXPECT_EQ(s->unget_char, 'u') << "a rejected seek changes nothing else";
    }
    EXPECT_EQ(fseek(s, 0, 0), 0);
    EXPECT_EQ(ferror(s), 1) << "only clearerr clears the error indicator";

    lm_errno() = 0;
    EXPECT_EQ(fseek(nullptr, 0, 0), -1);
    EXPECT_EQ(lm_errno(), 22);
    lm_errno() = 0;
    EXPECT_EQ(ftell(nullptr), -1);
    EXPECT_EQ(lm_errno(), 22);
    fclose(s);
}

TEST_F(StreamIoTest, SeekTargetBeyondTheSignedRangeIsRejected) {
    store().put("f", "0123456789");
    Stream *s = must_open("f", "r");
    ASSERT_EQ(fseek(s, INT64_MAX, 0), 0);
    EXPECT_EQ(ftell(s), INT64_MAX);
    EXPECT_EQ(fseek(s, 1, 1), -1);
    EXPECT_EQ(lm_errno(), 22);
    EXPECT_EQ(ferror(s), 1);
    EXPECT_EQ(ftell(s), INT64_MAX);
    clearerr(s);
    lm_errno() = 0;
    EXPECT_EQ(fseek(s, INT64_MAX - 10, 2), 0);
    EXPECT_EQ(fseek(s, INT64_MAX - 9, 2), -1);
    EXPECT_EQ(lm_errno(), 22);
    EXPECT_EQ(ftell(s), INT64_MAX);
    fclose(s);
}

TEST_F(StreamIoTest, WritingPastTheEndFillsTheGapWithZeros) {
    Stream *s = must_open("f", "w");
    EXPECT_EQ(fseek(s, 4, 0), 0);
    EXPECT_EQ(write(s, "z"), 1u);
    EXPECT_EQ(s->size, 5u);
    EXPECT_EQ(content(s), std::string("\0\0\0\0z", 5));
    // A second gap over memory that held bytes before: still zeros.
    EXPECT_EQ(write(s, std::string(250, 'y')), 250u);
    ASSERT_EQ(fseek(s, 2, 0), 0);
    s->size = 2; // content shrunk by hand to put old bytes inside the next gap
    EXPECT_EQ(fseek(s, 10, 0), 0);
    EXPECT_EQ(write(s, "!"), 1u);
    EXPECT_EQ(content(s), std::string(10, '\0') + "!");
    EXPECT_EQ(fclose(s), 0);
    EXPECT_EQ(store().contents("f"), std::string(10, '\0') + "!");
}

TEST_F(StreamIoTest, WritesOverwriteInPlaceAndGrowAtTheEnd) {
    store().put("f", "abcdef");
    Stream *s = must_open("f", "r+");
    ASSERT_EQ(fseek(s, 2, 0), 0);
    EXPECT_EQ(write(s, "XY"), 2u);
    EXPECT_EQ(s->size, 6u);
    EXPECT_EQ(getc(s), 'e') << "reading continues after the written bytes";
    EXPECT_EQ(write(s, "123"), 3u);
    EXPECT_EQ(content(s), "abXYe123");
    EXPECT_EQ(ftell(s), 8);
    EXPECT_EQ(fclose(s), 0);
    EXPECT_EQ(store().contents("f"), "abXYe123");
}

TEST_F(StreamIoTest, AppendWritesGoToTheEndAfterAnySeek) {
    for (const char *mode : {"a", "a+", "ab"}) {
        store().put("f", "xyz");
        Stream *s = must_open("f", mode);
        ASSERT_EQ(fseek(s, 0, 0), 0);
        EXPECT_EQ(write(s, "h"), 1u);
        ASSERT_EQ(fseek(s, 1, 0), 0);
        EXPECT_EQ(write(s, "i"), 1u);
        EXPECT_EQ(ftell(s), 5);
        EXPECT_EQ(fclose(s), 0);
        EXPECT_EQ(store().contents("f"), "xyzhi") << mode;
    }
}

TEST_F(StreamIoTest, WriteClearsEndOfFileAndMarksTheStreamDirty) {
    Stream *s = must_open("f", "w+");
    EXPECT_EQ(getc(s), -1);
    EXPECT_EQ(feof(s), 1);
    EXPECT_FALSE(s->dirty);
    write(s, "a");
    EXPECT_EQ(feof(s), 0);
    EXPECT_TRUE(s->dirty);
    EXPECT_EQ(fseek(s, 0, 0), 0);
    EXPECT_EQ(read_rest(s), "a");
    fclose(s);
}

TEST_F(StreamIoTest, ReadCountsCompleteItems) {
    store().put("f", "0123456789");
    Stream *s = must_open("f", "r");
    char out[12];
    std::memset(out, '#', sizeof out);
    EXPECT_EQ(fread(out, 4, 3, s), 2u);
    EXPECT_EQ(std::string(out, 12), "0123456789##") << "the partial item stays in the destination";
    EXPECT_EQ(feof(s), 1);
    ASSERT_EQ(fseek(s, 0, 0), 0);
    EXPECT_EQ(fread(out, 5, 2, s), 2u);
    EXPECT_EQ(feof(s), 0) << "exactly at the end, not beyond";
    EXPECT_EQ(fread(out, 1, 1, s), 0u);
    EXPECT_EQ(feof(s), 1);
    fclose(s);
}

TEST_F(StreamIoTest, ReadUsesAPushedBackByteFirst) {
    store().put("f", "bc");
    Stream *s = must_open("f", "r");
    ungetc('a', s);
    char out[3] = {};
    EXPECT_EQ(fread(out, 1, 3, s), 3u);
    EXPECT_EQ(std::string(out, 3), "abc");
    fclose(s);
}

TEST_F(StreamIoTest, ZeroSizesNullPointersAndMissingAccessReadAndWriteNothing) {
    store().put("f", "abc");
    Stream *r = must_open("f", "r");
    Stream *w = must_open("g", "w");
    char out[4] = {};
    EXPECT_EQ(fread(out, 0, 3, r), 0u);
    EXPECT_EQ(fread(out, 3, 0, r), 0u);
    EXPECT_EQ(fread(nullptr, 1, 3, r), 0u);
    EXPECT_EQ(fread(out, 1, 3, nullptr), 0u);
    EXPECT_EQ(ftell(r), 0);
    EXPECT_EQ(fwrite("x", 0, 1, w), 0u);
    EXPECT_EQ(fwrite("x", 1, 0, w), 0u);
    EXPECT_EQ(fwrite(nullptr, 1, 1, w), 0u);
    EXPECT_EQ(fwrite("x", 1, 1, nullptr), 0u);
    EXPECT_FALSE(w->dirty);

    // Without the access: 0 items / -1, no flag and no lm_errno change.
    lm_errno() = 0;
    EXPECT_EQ(fread(out, 1, 1, w), 0u);
    EXPECT_EQ(getc(w), -1);
    EXPECT_EQ(fwrite("x", 1, 1, r), 0u);
    EXPECT_EQ(getc(nullptr), -1);
    EXPECT_EQ(lm_errno(), 0);
    for (Stream *s : {r, w}) {
        EXPECT_EQ(feof(s), 0);
        EXPECT_EQ(ferror(s), 0);
        EXPECT_FALSE(s->dirty);
    }
    EXPECT_EQ(content(r), "abc");
    fclose(r);
    fclose(w);
    EXPECT_EQ(host_calls(Op::write), 0u);
}

TEST_F(StreamIoTest, WriteCountsItemsAndRefusesAnOverflowingProduct) {
    Stream *s = must_open("f", "w");
    const char data[] = "abcdef";
    EXPECT_EQ(fwrite(data, 2, 3, s), 3u);
    EXPECT_EQ(content(s), "abcdef");
    EXPECT_EQ(fwrite(data, UINT64_MAX / 2 + 1, 2, s), 0u);
    EXPECT_EQ(lm_errno(), 0);
    EXPECT_EQ(ferror(s), 0);
    EXPECT_EQ(s->size, 6u);
    fclose(s);
}

// position + total beyond 2^64 would wrap: growth would be asked for a small size and
// the gap fill would run off the buffer. It fails as a failed growth instead.
TEST_F(StreamIoTest, WriteWhoseEndOverflowsFailsAsFailedGrowthBeforeTouchingAnything) {
    store().put("f", "abc");
    Stream *s = must_open("f", "r+");
    ASSERT_EQ(fseek(s, INT64_MAX, 0), 0);
    size_t reallocs = host().heap().realloc_sizes.size();
    const char byte = 'x';
    EXPECT_EQ(fwrite(&byte, (uint64_t{1} << 63) + 1, 1, s), 0u);
    EXPECT_EQ(lm_errno(), 12);
    EXPECT_EQ(ferror(s), 1);
    EXPECT_EQ(host().heap().realloc_sizes.size(), reallocs);
    EXPECT_EQ(s->size, 3u);
    EXPECT_EQ(content(s), "abc");
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
    EXPECT_FALSE(s->dirty);
    EXPECT_EQ(fflush(s), 0);
    EXPECT_EQ(fclose(s), 0);
    EXPECT_EQ(host_calls(Op::write), 1u) << "nothing changed since the flush";
    EXPECT_EQ(store().contents("f"), "Start-one-two");
}

TEST_F(StreamIoTest, FlushOfAReadOnlyStreamDoesNotCallTheHost) {
    store().put("f", "abc");
    Stream *s = must_open("f", "r");
    read_rest(s);
    EXPECT_EQ(fflush(s), 0);
    EXPECT_EQ(fflush(nullptr), 0);
    EXPECT_EQ(fclose(s), 0);
    EXPECT_EQ(host_calls(Op::write), 0u);
}

TEST_F(StreamIoTest, RefusedFlushKeepsTheChangeForARetry) {
    Stream *s = must_open("f", "w");
    write(s, "data");
    files().fail = [](const sim::FileService::Call &call) { return call.op == Op::write; };
    EXPECT_EQ(fflush(s), -1);
    EXPECT_EQ(lm_errno(), 5);
    EXPECT_EQ(ferror(s), 1);
    EXPECT_TRUE(s->dirty);
    EXPECT_FALSE(store().exists("f"));
    files().fail = nullptr;
    EXPECT_EQ(fflush(s), 0);
    EXPECT_EQ(store().contents("f"), "data");
    EXPECT_EQ(ferror(s), 1) << "the error indicator stays until clearerr";
    EXPECT_EQ(host_calls(Op::write), 2u);
    fclose(s);
}

TEST_F(StreamIoTest, FlushWithoutHostWriteEntryFails) {
    host().set_entry(LM_ENTRY_WRITE_FILE, nullptr);
    Stream *s = must_open("f", "w");
    write(s, "data");
    EXPECT_EQ(fclose(s), -1);
    EXPECT_EQ(lm_errno(), 5);
}

// The host's size field is 32 bits: a content of 4 GiB or more would be handed over cut.
TEST_F(StreamIoTest, FlushOfContentBeyondTheHostSizeFieldFailsWithoutCallingTheHost) {
    Stream *s = must_open("f", "w");
    write(s, "data");
    s->size = uint64_t{1} << 32; // stands for 4 GiB of content; the buffer is never read that far
    EXPECT_EQ(fflush(s), -1);
    EXPECT_EQ(lm_errno(), 5);
    EXPECT_EQ(ferror(s), 1);
    EXPECT_TRUE(s->dirty);
    EXPECT_EQ(host_calls(Op::write), 0u);
    s->size = 4;
    EXPECT_EQ(fclose(s), 0);
    EXPECT_EQ(store().contents("f"), "data");
}

TEST_F(StreamIoTest, ReadOnlyStreamKeepsReadingTheBytesItOpened) {
    store().put("f", "old content");
    Stream *s = must_open("f", "r");
    EXPECT_EQ(getc(s), 'o');
    ASSERT_TRUE(write_entire_file("f", "new", 3));
    EXPECT_EQ(remove("f"), 0);
    EXPECT_EQ(read_rest(s), "ld content");
    fclose(s);
}

TEST_F(StreamIoTest, TwoWritableStreamsOnOneFileLastFlushWins) {
    Stream *a = must_open("f", "w");
    Stream *b = must_open("f", "w");
    write(a, "from a");
    write(b, "from b");
    EXPECT_EQ(fclose(b), 0);
    EXPECT_EQ(fclose(a), 0);
    EXPECT_EQ(store().contents("f"), "from a");
}

} // namespace
} // namespace lbw::test
