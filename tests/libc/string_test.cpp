// Memory and byte-string functions and abs, against the built library.
#include "tests/support/library_test.h"

#include <climits>
#include <cstdint>
#include <cstring>
#include <string>

namespace lbw::test {
namespace {

using StringTest = LibraryTest;

TEST_F(StringTest, BlockFunctionsTouchExactlyTheirBytes) {
    auto memcpy_ = fn<void *(void *, const void *, size_t)>("memcpy");
    auto memmove_ = fn<void *(void *, const void *, size_t)>("memmove");
    auto memset_ = fn<void *(void *, int, size_t)>("memset");
    unsigned char src[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    unsigned char dst[10];
    std::memset(dst, 0xEE, sizeof dst);
    EXPECT_EQ(memcpy_(dst + 1, src, 8), dst + 1);
    EXPECT_EQ(std::memcmp(dst + 1, src, 8), 0);
    EXPECT_EQ(dst[0] + dst[9], 2 * 0xEE);
    EXPECT_EQ(memcpy_(dst, src, 0), dst);
    EXPECT_EQ(dst[0], 0xEE);

    char up[] = "abcdefg", down[] = "abcdefg", far[] = "abcdefghij", same[] = "xyz";
    EXPECT_EQ(memmove_(up + 1, up, 5), up + 1);
    EXPECT_STREQ(up, "aabcdeg");
    EXPECT_EQ(memmove_(down, down + 1, 5), down);
    EXPECT_STREQ(down, "bcdeffg");
    memmove_(far + 5, far, 5); // above and not overlapping
    EXPECT_STREQ(far, "abcdeabcde");
    EXPECT_EQ(memmove_(same, same, 3), same);
    EXPECT_STREQ(same, "xyz");
    EXPECT_EQ(memmove_(nullptr, nullptr, 0), nullptr);

    unsigned char buf[6];
    std::memset(buf, 0xEE, sizeof buf);
    EXPECT_EQ(memset_(buf + 1, 0x141, 4), buf + 1); // only the low 8 bits count
    fn<void(void *, size_t)>("bzero")(buf + 1, 2);
    fn<void(void *, size_t)>("__bzero")(buf + 4, 1);
    const unsigned char expected[] = {0xEE, 0, 0, 0x41, 0, 0xEE};
    EXPECT_EQ(std::memcmp(buf, expected, 6), 0);
}

TEST_F(StringTest, ComparisonsReturnTheDifferenceOfUnsignedBytes) {
    auto memcmp_ = fn<int(const void *, const void *, size_t)>("memcmp");
    auto strcmp_ = fn<int(const char *, const char *)>("strcmp");
    auto strncmp_ = fn<int(const char *, const char *, size_t)>("strncmp");
    auto strcoll_ = fn<int(const char *, const char *)>("strcoll");
    const unsigned char a[] = {0x61, 0x80}, b[] = {0x61, 0x01}, hi[] = {0xFF}, lo[] = {0x00};
    EXPECT_EQ(memcmp_(a, b, 2), 127);
    EXPECT_EQ(memcmp_(b, a, 2), -127);
    EXPECT_EQ(memcmp_(hi, lo, 1), 255);
    EXPECT_EQ(memcmp_(lo, hi, 1), -255);
    EXPECT_EQ(memcmp_(a, b, 1), 0) << "bytes past n are not compared";
    EXPECT_EQ(memcmp_(a, b, 0), 0);

    struct Case {
        const char *x, *y;
        int expected;
    };
    for (const Case &c : {Case{"abc", "abd", -1}, Case{"ab", "abc", -99}, Case{"abc", "ab", 99}, Case{"abc", "abc", 0},
                          Case{"", "", 0}, Case{"\xFF", "a", 0xFF - 'a'}}) {
        EXPECT_EQ(strcmp_(c.x, c.y), c.expected) << c.x << " " << c.y;
        EXPECT_EQ(strcoll_(c.x, c.y), c.expected) << c.x << " " << c.y;
    }
    EXPECT_EQ(strncmp_("abcX", "abcY", 3), 0);
    EXPECT_EQ(strncmp_("abcX", "abcY", 4), 'X' - 'Y');
    EXPECT_EQ(strncmp_("ab", "ab", 10), 0);
    EXPECT_EQ(strncmp_("ab", "abc", 10), -'c');
    EXPECT_EQ(strncmp_("a\xFF", "a\x01", 5), 0xFF - 1);
    EXPECT_EQ(strncmp_("x", "y", 0), 0);
}

TEST_F(StringTest, SearchesLookAtTheLowByte) {
    auto memchr_ = fn<void *(const void *, int, size_t)>("memchr");
    auto strchr_ = fn<char *(const char *, int)>("strchr");
    auto strspn_ = fn<size_t(const char *, const char *)>("strspn");
    auto strpbrk_ = fn<char *(const char *, const char *)>("strpbrk");
    auto strstr_ = fn<char *(const char *, const char *)>("strstr");
    const unsigned char m[] = {'a', 0x80, 'b', 0, 'c'};
    EXPECT_EQ(memchr_(m, 'b', 5), m + 2);
    EXPECT_EQ(memchr_(m, 0x100 + 'a', 5), m);
    EXPECT_EQ(memchr_(m, -128, 5), m + 1);
    EXPECT_EQ(memchr_(m, 0, 5), m + 3);
    EXPECT_EQ(memchr_(m, 'c', 5), m + 4) << "a NUL does not stop memchr";
    EXPECT_EQ(memchr_(m, 'c', 4), nullptr);
    EXPECT_EQ(memchr_(m, 'a', 0), nullptr);

    const char *s = "ab\xE9" "cb";
    EXPECT_EQ(strchr_(s, 'b'), s + 1);
    EXPECT_EQ(strchr_(s, 'b' + 256), s + 1);
    EXPECT_EQ(strchr_(s, 0xE9), s + 2);
    EXPECT_EQ(strchr_(s, -0x17), s + 2);
    EXPECT_EQ(strchr_(s, 0), s + 5) << "the terminator is found";
    EXPECT_EQ(strchr_(s, 256), s + 5);
    EXPECT_EQ(strchr_(s, 'z'), nullptr);
    EXPECT_EQ(strchr_("", 'a'), nullptr);

    // The set's terminator is never a member.
    EXPECT_EQ(strspn_("  x", " "), 2u);
    EXPECT_EQ(strspn_("", " "), 0u);
    EXPECT_EQ(strspn_("abcabd", "abc"), 5u);
    EXPECT_EQ(strspn_("abc", ""), 0u);
    EXPECT_EQ(strspn_("\xE9\xE9x", "\xE9"), 2u);
    const char *h = "hello, world";
    EXPECT_EQ(strpbrk_(h, " ,"), h + 5);
    EXPECT_EQ(strpbrk_(h, "xyz"), nullptr);
    EXPECT_EQ(strpbrk_(h, ""), nullptr);
    EXPECT_EQ(strpbrk_("", "a"), nullptr);

    const char *hay = "aaab", *empty = "";
    EXPECT_EQ(strstr_(hay, "ab"), hay + 2);
    EXPECT_EQ(strstr_(hay, ""), hay);
    EXPECT_EQ(strstr_(hay, "aaabc"), nullptr);
    EXPECT_EQ(strstr_(hay, "b"), hay + 3);
    EXPECT_EQ(strstr_(hay, "ba"), nullptr);
    EXPECT_EQ(strstr_(hay, "aaab"), hay);
    EXPECT_EQ(strstr_(empty, ""), empty);
    EXPECT_EQ(strstr_(empty, "a"), nullptr);
}

TEST_F(StringTest, LengthCopyAndDuplicate) {
    auto strlen_ = fn<size_t(const char *)>("strlen");
    auto strcpy_ = fn<char *(char *, const char *)>("strcpy");
    auto strdup_ = fn<char *(const char *)>("strdup");
    EXPECT_EQ(strlen_("hello"), 5u);
    EXPECT_EQ(strlen_(""), 0u);
    EXPECT_EQ(strlen_(nullptr), 0u);

    char dst[8];
    std::memset(dst, 'Z', sizeof dst);
    EXPECT_EQ(strcpy_(dst, "abc"), dst);
    EXPECT_EQ(std::string(dst, 5), std::string("abc\0Z", 5));
    EXPECT_EQ(strcpy_(dst, ""), dst);
    EXPECT_EQ(std::string(dst, 2), std::string("\0b", 2));

    char *copy = strdup_("hello");
    ASSERT_NE(copy, nullptr);
    EXPECT_STREQ(copy, "hello");
    EXPECT_TRUE(host().heap().owns(copy));
    fn<void(void *)>("free")(copy);
    EXPECT_EQ(strdup_(nullptr), nullptr);
    EXPECT_EQ(host().heap().malloc_sizes, (std::vector<uint64_t>{6})) << "strdup(NULL) asks for nothing";
    host().heap().fail = [](uint64_t) { return true; };
    EXPECT_EQ(strdup_("x"), nullptr);
    host().set_entry(LM_ENTRY_MALLOC, nullptr);
    EXPECT_EQ(strdup_("x"), nullptr);
}

TEST_F(StringTest, AbsWrapsAtTheMostNegativeInt) {
    auto abs_ = fn<int(int)>("abs");
    const std::pair<int, int> cases[] = {{-5, 5},           {5, 5},        {0, 0},
                                         {INT_MAX, INT_MAX}, {-INT_MAX, INT_MAX}, {INT_MIN, INT_MIN}};
    for (auto [v, expected] : cases)
        EXPECT_EQ(abs_(v), expected) << v;
}

} // namespace
} // namespace lbw::test
