// Memory and byte-string functions and abs, against the built library.
#include "tests/support/library_test.h"

#include <climits>
#include <cstdint>
#include <cstring>
#include <string>

namespace lbw::test {
namespace {

class StringTest : public LibraryTest {
protected:
    void *(*memcpy_)(void *, const void *, size_t) = nullptr;
    void *(*memmove_)(void *, const void *, size_t) = nullptr;
    void *(*memset_)(void *, int, size_t) = nullptr;
    void (*bzero_)(void *, size_t) = nullptr;
    void (*bzero2_)(void *, size_t) = nullptr;
    int (*memcmp_)(const void *, const void *, size_t) = nullptr;
    void *(*memchr_)(const void *, int, size_t) = nullptr;
    size_t (*strlen_)(const char *) = nullptr;
    int (*strcmp_)(const char *, const char *) = nullptr;
    int (*strncmp_)(const char *, const char *, size_t) = nullptr;
    int (*strcoll_)(const char *, const char *) = nullptr;
    char *(*strcpy_)(char *, const char *) = nullptr;
    char *(*strdup_)(const char *) = nullptr;
    char *(*strchr_)(const char *, int) = nullptr;
    size_t (*strspn_)(const char *, const char *) = nullptr;
    char *(*strpbrk_)(const char *, const char *) = nullptr;
    char *(*strstr_)(const char *, const char *) = nullptr;
    int (*abs_)(int) = nullptr;

    void SetUp() override {
        LibraryTest::SetUp();
        memcpy_ = fn<void *(void *, const void *, size_t)>("memcpy");
        memmove_ = fn<void *(void *, const void *, size_t)>("memmove");
        memset_ = fn<void *(void *, int, size_t)>("memset");
        bzero_ = fn<void(void *, size_t)>("bzero");
        bzero2_ = fn<void(void *, size_t)>("__bzero");
        memcmp_ = fn<int(const void *, const void *, size_t)>("memcmp");
        memchr_ = fn<void *(const void *, int, size_t)>("memchr");
        strlen_ = fn<size_t(const char *)>("strlen");
        strcmp_ = fn<int(const char *, const char *)>("strcmp");
        strncmp_ = fn<int(const char *, const char *, size_t)>("strncmp");
        strcoll_ = fn<int(const char *, const char *)>("strcoll");
        strcpy_ = fn<char *(char *, const char *)>("strcpy");
        strdup_ = fn<char *(const char *)>("strdup");
        strchr_ = fn<char *(const char *, int)>("strchr");
        strspn_ = fn<size_t(const char *, const char *)>("strspn");
        strpbrk_ = fn<char *(const char *, const char *)>("strpbrk");
        strstr_ = fn<char *(const char *, const char *)>("strstr");
        abs_ = fn<int(int)>("abs");
    }
};

TEST_F(StringTest, MemcpyCopiesExactlyNBytes) {
    unsigned char src[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    unsigned char dst[10];
    std::memset(dst, 0xEE, sizeof dst);
    EXPECT_EQ(memcpy_(dst + 1, src, 8), dst + 1);
    EXPECT_EQ(dst[0], 0xEE);
    EXPECT_EQ(std::memcmp(dst + 1, src, 8), 0);
    EXPECT_EQ(dst[9], 0xEE);
    EXPECT_EQ(memcpy_(dst, src, 0), dst);
    EXPECT_EQ(dst[0], 0xEE);
}

TEST_F(StringTest, MemmoveShiftsOverlappingBlocksIntactBothWays) {
    char up[] = "abcdefg";
    EXPECT_EQ(memmove_(up + 1, up, 5), up + 1);
    EXPECT_STREQ(up, "aabcdeg");
    char down[] = "abcdefg";
    EXPECT_EQ(memmove_(down, down + 1, 5), down);
    EXPECT_STREQ(down, "bcdeffg");
    char far[] = "abcdefghij";
    memmove_(far + 5, far, 5); // above and not overlapping
    EXPECT_STREQ(far, "abcdeabcde");
    char same[] = "xyz";
    EXPECT_EQ(memmove_(same, same, 3), same);
    EXPECT_STREQ(same, "xyz");
    EXPECT_EQ(memmove_(nullptr, nullptr, 0), nullptr);
}

TEST_F(StringTest, MemsetAndBzeroFillOnlyTheirBytes) {
    unsigned char buf[6];
    std::memset(buf, 0xEE, sizeof buf);
    EXPECT_EQ(memset_(buf + 1, 0x141, 4), buf + 1); // only the low 8 bits count
    EXPECT_EQ(buf[0], 0xEE);
    for (int i = 1; i <= 4; i++)
        EXPECT_EQ(buf[i], 0x41);
    EXPECT_EQ(buf[5], 0xEE);
    bzero_(buf + 1, 2);
    EXPECT_EQ(buf[1], 0);
    EXPECT_EQ(buf[2], 0);
    EXPECT_EQ(buf[3], 0x41);
    bzero2_(buf + 3, 2);
    EXPECT_EQ(buf[3], 0);
    EXPECT_EQ(buf[4], 0);
    EXPECT_EQ(buf[5], 0xEE);
}

TEST_F(StringTest, MemcmpReturnsTheByteDifferenceOfUnsignedBytes) {
    const unsigned char a[] = {0x61, 0x80};
    const unsigned char b[] = {0x61, 0x01};
    EXPECT_EQ(memcmp_(a, b, 2), 127);
    EXPECT_EQ(memcmp_(b, a, 2), -127);
    const unsigned char hi[] = {0xFF};
    const unsigned char lo[] = {0x00};
    EXPECT_EQ(memcmp_(hi, lo, 1), 255);
    EXPECT_EQ(memcmp_(lo, hi, 1), -255);
    EXPECT_EQ(memcmp_(a, b, 1), 0) << "bytes past n are not compared";
    EXPECT_EQ(memcmp_(a, b, 0), 0);
}

TEST_F(StringTest, MemchrLooksAtTheLowByteWithinN) {
    const unsigned char s[] = {'a', 0x80, 'b', 0, 'c'};
    EXPECT_EQ(memchr_(s, 'b', 5), s + 2);
    EXPECT_EQ(memchr_(s, 0x100 + 'a', 5), s);
    EXPECT_EQ(memchr_(s, -128, 5), s + 1);
    EXPECT_EQ(memchr_(s, 0, 5), s + 3);
    EXPECT_EQ(memchr_(s, 'c', 5), s + 4) << "a NUL does not stop memchr";
    EXPECT_EQ(memchr_(s, 'c', 4), nullptr);
    EXPECT_EQ(memchr_(s, 'a', 0), nullptr);
}

TEST_F(StringTest, StrlenCountsToTheTerminatorAndTakesNull) {
    EXPECT_EQ(strlen_("hello"), 5u);
    EXPECT_EQ(strlen_(""), 0u);
    EXPECT_EQ(strlen_(nullptr), 0u);
}

TEST_F(StringTest, StrcmpReturnsTheDifferenceWhereItStopped) {
    EXPECT_EQ(strcmp_("abc", "abd"), -1);
    EXPECT_EQ(strcmp_("ab", "abc"), -99);
    EXPECT_EQ(strcmp_("abc", "ab"), 99);
    EXPECT_EQ(strcmp_("abc", "abc"), 0);
    EXPECT_EQ(strcmp_("", ""), 0);
    EXPECT_EQ(strcmp_("\xFF", "a"), 0xFF - 'a') << "bytes compare as unsigned";
    EXPECT_EQ(strcoll_("\xFF", "a"), 0xFF - 'a');
    EXPECT_EQ(strcoll_("ab", "abc"), -99);
}

TEST_F(StringTest, StrncmpLooksAtNoMoreThanNPositions) {
    EXPECT_EQ(strncmp_("abcX", "abcY", 3), 0);
    EXPECT_EQ(strncmp_("abcX", "abcY", 4), 'X' - 'Y');
    EXPECT_EQ(strncmp_("ab", "ab", 10), 0);
    EXPECT_EQ(strncmp_("ab", "abc", 10), -'c');
    EXPECT_EQ(strncmp_("a\xFF", "a\x01", 5), 0xFF - 1);
    EXPECT_EQ(strncmp_("x", "y", 0), 0);
}

TEST_F(StringTest, StrcpyCopiesTheTerminatorAndNothingBeyond) {
    char dst[8];
    std::memset(dst, 'Z', sizeof dst);
    EXPECT_EQ(strcpy_(dst, "abc"), dst);
    EXPECT_EQ(std::string(dst, 5), std::string("abc\0Z", 5));
    EXPECT_EQ(strcpy_(dst, ""), dst);
    EXPECT_EQ(dst[0], 0);
    EXPECT_EQ(dst[1], 'b');
}

TEST_F(StringTest, StrdupCopiesThroughMallocAndReportsFailure) {
    char *copy = strdup_("hello");
    ASSERT_NE(copy, nullptr);
    EXPECT_STREQ(copy, "hello");
    EXPECT_TRUE(host().heap().owns(copy));
    EXPECT_EQ(host().heap().malloc_sizes, (std::vector<uint64_t>{6}));
    fn<void(void *)>("free")(copy);

    EXPECT_EQ(strdup_(nullptr), nullptr);
    EXPECT_EQ(host().heap().malloc_sizes.size(), 1u) << "strdup(NULL) asks for nothing";

    host().heap().fail = [](uint64_t) { return true; };
    EXPECT_EQ(strdup_("x"), nullptr);
    host().set_entry(LM_ENTRY_MALLOC, nullptr);
    EXPECT_EQ(strdup_("x"), nullptr);
}

TEST_F(StringTest, StrchrUsesTheLowByteAndFindsTheTerminator) {
    const char *s = "ab\xE9" "cb";
    EXPECT_EQ(strchr_(s, 'b'), s + 1);
    EXPECT_EQ(strchr_(s, 'b' + 256), s + 1);
    EXPECT_EQ(strchr_(s, 0xE9), s + 2);
    EXPECT_EQ(strchr_(s, -0x17), s + 2);
    EXPECT_EQ(strchr_(s, 0), s + 5);
    EXPECT_EQ(strchr_(s, 256), s + 5);
    EXPECT_EQ(strchr_(s, 'z'), nullptr);
    EXPECT_EQ(strchr_("", 'a'), nullptr);
}

TEST_F(StringTest, StrspnAndStrpbrkNeverCountTheSetsTerminator) {
    EXPECT_EQ(strspn_("  x", " "), 2u);
    EXPECT_EQ(strspn_("", " "), 0u);
    EXPECT_EQ(strspn_("abcabd", "abc"), 5u);
    EXPECT_EQ(strspn_("abc", ""), 0u);
    EXPECT_EQ(strspn_("\xE9\xE9x", "\xE9"), 2u);
    const char *s = "hello, world";
    EXPECT_EQ(strpbrk_(s, " ,"), s + 5);
    EXPECT_EQ(strpbrk_(s, "xyz"), nullptr);
    EXPECT_EQ(strpbrk_(s, ""), nullptr);
    EXPECT_EQ(strpbrk_("", "a"), nullptr);
}

TEST_F(StringTest, StrstrIsTheNaiveSearch) {
    const char *hay = "aaab";
    EXPECT_EQ(strstr_(hay, "ab"), hay + 2);
    EXPECT_EQ(strstr_(hay, ""), hay);
    EXPECT_EQ(strstr_(hay, "aaabc"), nullptr);
    EXPECT_EQ(strstr_(hay, "b"), hay + 3);
    EXPECT_EQ(strstr_(hay, "ba"), nullptr);
    EXPECT_EQ(strstr_(hay, "aaab"), hay);
    const char *empty = "";
    EXPECT_EQ(strstr_(empty, ""), empty);
    EXPECT_EQ(strstr_(empty, "a"), nullptr);
}

TEST_F(StringTest, AbsWrapsAtTheMostNegativeInt) {
    EXPECT_EQ(abs_(-5), 5);
    EXPECT_EQ(abs_(5), 5);
    EXPECT_EQ(abs_(0), 0);
    EXPECT_EQ(abs_(INT_MAX), INT_MAX);
    EXPECT_EQ(abs_(-INT_MAX), INT_MAX);
    EXPECT_EQ(abs_(INT_MIN), INT_MIN);
}

} // namespace
} // namespace lbw::test
