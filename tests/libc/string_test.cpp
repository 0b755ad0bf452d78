// String functions against glibc and against the byte-by-byte definitions: strings that
// end at an inaccessible page with zeros and the sought value around them, short strings
// of a small alphabet. Comparisons return the difference of the first differing bytes, as
// unsigned values. The block functions (copies, memset, memcmp) are in string_glibc_test.cpp.
#include "tests/libc/page_edge.h"
#include "tests/support/library_test.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace lbw::test {
namespace {

using u8 = unsigned char;
using Bytes = std::vector<u8>;

using StringTest = LibraryTest;

// strlen, strchr and snprintf's %s read aligned blocks that may begin before the string
// and reach past it: zeros and the sought value there never count, and no read crosses
// into the page behind the string.
TEST_F(StringTest, ReadsSeeOnlyTheString) {
    auto strlen_ = fn<size_t(const char *)>("strlen");
    auto strchr_ = fn<char *(const char *, int)>("strchr");
    auto snprintf_ = fn<int(char *, size_t, const char *, ...)>("snprintf");
    std::mt19937 random{20261206};
    PageEdge page;
    for (size_t n = 0; n <= 300; n++)
        for (size_t gap : {size_t{0}, 1 + random() % 70}) {
            char *s = page.end() - gap - n - 1;
            for (char *p = s - 80; p < page.end(); p++)
                *p = random() % 2 ? 0 : 'v';
            for (size_t i = 0; i < n; i++)
                s[i] = static_cast<char>('w' + random() % 137); // never 0 or 'v'
            s[n] = 0;
            size_t at = n ? random() % (n + n / 2 + 1) : 0;
            if (at < n)
                s[at] = 'v';
            ASSERT_EQ(strlen_(s), n);
            ASSERT_EQ(strchr_(s, 'v'), at < n ? s + at : nullptr) << "n " << n << " gap " << gap;
            ASSERT_EQ(strchr_(s, 'v' + 256), strchr_(s, 'v')) << "only the low 8 bits count";
            ASSERT_EQ(strchr_(s, 0), s + n);
            int high = n ? static_cast<signed char>(s[random() % n]) : -23;
            ASSERT_EQ(strchr_(s, high), std::strchr(s, high)) << "n " << n;
            for (size_t cut : {random() % (n + 4), size_t{400}}) {
                char got[400], want[400];
                std::memset(got, 'Z', sizeof got);
                std::memset(want, 'Z', sizeof want);
                ASSERT_EQ(snprintf_(got, cut, "<%s>", s), std::snprintf(want, cut, "<%s>", s)) << n;
                ASSERT_EQ(std::string(got, sizeof got), std::string(want, sizeof want)) << n << " cut " << cut;
            }
        }
    EXPECT_EQ(strlen_(nullptr), 0u);
}

TEST_F(StringTest, ComparisonsAndSearchesOfShortStrings) {
    auto strcmp_ = fn<int(const char *, const char *)>("strcmp");
    auto strcoll_ = fn<int(const char *, const char *)>("strcoll");
    auto strncmp_ = fn<int(const char *, const char *, size_t)>("strncmp");
    auto strspn_ = fn<size_t(const char *, const char *)>("strspn");
    auto strpbrk_ = fn<char *(const char *, const char *)>("strpbrk");
    auto strstr_ = fn<char *(const char *, const char *)>("strstr");
    auto memchr_ = fn<void *(const void *, int, size_t)>("memchr");
    std::mt19937 random{20261206};
    auto text = [&] {
        std::string s;
        for (size_t n = random() % 7; n > 0; n--)
            s += "ab\x80\xff"[random() % 4];
        return s;
    };
    for (int round = 0; round < 20000; round++) {
        std::string a = text(), b = random() % 4 ? text() : a.substr(random() % (a.size() + 1), random() % 4);
        const char *x = a.c_str(), *y = b.c_str();
        size_t k = 0;
        while (x[k] && x[k] == y[k])
            k++;
        const int difference = static_cast<u8>(x[k]) - static_cast<u8>(y[k]);
        const size_t n = random() % 8;
        SCOPED_TRACE(testing::Message() << '"' << a << "\" \"" << b << "\" n " << n);
        ASSERT_EQ(strcmp_(x, y), difference);
        ASSERT_EQ(strcoll_(x, y), difference);
        ASSERT_EQ(strncmp_(x, y, n), k < n ? difference : 0);
        ASSERT_EQ(strspn_(x, y), std::strspn(x, y));
        ASSERT_EQ(strpbrk_(x, y), std::strpbrk(x, y));
        ASSERT_EQ(strstr_(x, y), std::strstr(x, y));
        const int sought = y[0] + 256 * static_cast<int>(n); // only the low 8 bits count
        const size_t m = std::min(n, a.size() + 1);
        ASSERT_EQ(memchr_(x, sought, m), std::memchr(x, sought, m));
    }
}

TEST_F(StringTest, CopyDuplicateCallocAndAbs) {
    char dst[8];
    std::memset(dst, 'Z', sizeof dst);
    EXPECT_EQ(fn<char *(char *, const char *)>("strcpy")(dst, "abc"), dst);
    EXPECT_EQ(std::string(dst, 5), std::string("abc\0Z", 5));
    auto strdup_ = fn<char *(const char *)>("strdup");
    char *copy = strdup_("hello");
    EXPECT_STREQ(copy, "hello");
    EXPECT_TRUE(host().heap().owns(copy));
    fn<void(void *, size_t)>("bzero")(copy + 1, 2);
    fn<void(void *, size_t)>("__bzero")(copy, 1);
    EXPECT_EQ(std::string(copy, 6), std::string("\0\0\0lo", 6));
    EXPECT_EQ(strdup_(nullptr), nullptr);
    EXPECT_EQ(host().heap().malloc_sizes, (std::vector<uint64_t>{6})) << "strdup(NULL) asks for nothing";
    // calloc zero-fills the dirty block that comes back; overflowing products never
    // reach the host.
    auto malloc_ = fn<void *(size_t)>("malloc");
    auto calloc_ = fn<void *(size_t, size_t)>("calloc");
    void *dirty = malloc_(64);
    std::memset(dirty, 0xAB, 64);
    fn<void(void *)>("free")(dirty);
    auto *block = static_cast<u8 *>(calloc_(8, 8));
    ASSERT_EQ(block, dirty);
    EXPECT_EQ(Bytes(block, block + 64), Bytes(64, 0));
    EXPECT_EQ(calloc_(SIZE_MAX / 2 + 1, 2), nullptr);
    EXPECT_EQ(calloc_(3, SIZE_MAX / 2), nullptr);
    EXPECT_EQ(host().heap().malloc_sizes, (std::vector<uint64_t>{6, 64, 64}));
    host().heap().fail = [](uint64_t) { return true; };
    EXPECT_EQ(strdup_("x"), nullptr);
    auto abs_ = fn<int(int)>("abs");
    for (int v : {-5, 0, 7, INT_MAX, -INT_MAX})
        EXPECT_EQ(abs_(v), std::abs(v));
    EXPECT_EQ(abs_(INT_MIN), INT_MIN);
}

} // namespace
} // namespace lbw::test
