// Memory and string functions against glibc and against the byte-by-byte definitions:
// every size up to 300 and past the thresholds of the processor's string instructions,
// strings that end at an inaccessible page with zeros and the sought value around them.
// Comparisons return the difference of the first differing bytes, as unsigned values.
// The copies at every overlap distance are in string_glibc_test.cpp.
#include "tests/libc/page_edge.h"
#include "tests/support/library_test.h"

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

class StringTest : public LibraryTest {
protected:
    std::mt19937 random{20261206};
    Bytes noise(size_t n) {
        Bytes v(n);
        for (u8 &b : v)
            b = static_cast<u8>(random());
        return v;
    }
    // Sizes through every block loop, and past where the string instructions take over
    // (from 2048 bytes).
    static std::vector<size_t> sizes() {
        std::vector<size_t> v;
        for (size_t n = 0; n <= 300; n++)
            v.push_back(n);
        v.insert(v.end(), {511, 512, 600, 2047, 2048, 4099});
        return v;
    }
};

TEST_F(StringTest, SetCompareAndSearchAtEverySize) {
    auto memset_ = fn<void *(void *, int, size_t)>("memset");
    auto memcmp_ = fn<int(const void *, const void *, size_t)>("memcmp");
    auto memchr_ = fn<void *(const void *, int, size_t)>("memchr");
    for (size_t n : sizes()) {
        size_t at = random() % 8;
        Bytes got = noise(n + 16), want = got;
        int value = static_cast<int>(random());
        std::memset(&want[at], value, n);
        ASSERT_EQ(memset_(&got[at], value, n), &got[at]);
        ASSERT_EQ(got, want) << "memset n " << n;
        // On a zero background (before them too), blocks that differ in one byte of either
        // compare as that pair; the byte behind them does not count.
        Bytes a(n + 320), b(n + 320), hay = noise(n + 16);
        u8 *x = &a[300 + at], *y = &b[300 + at];
        y[n] = 1;
        ASSERT_EQ(memcmp_(x, y, n), 0) << "memcmp n " << n;
        for (size_t i = 0; i < n; i += 1 + i / 64) {
            const u8 value = static_cast<u8>(1 + random() % 255);
            x[i] = value;
            ASSERT_EQ(memcmp_(x, y, n), value) << "memcmp n " << n << " at " << i;
            x[i] = 0, y[i] = value;
            ASSERT_EQ(memcmp_(x, y, n), -value) << "memcmp n " << n << " at " << i;
            y[i] = 0;
        }
        int needle = (n && random() % 2 ? hay[at + random() % n] : static_cast<int>(random() % 256)) + 256;
        ASSERT_EQ(memchr_(&hay[at], needle, n), std::memchr(&hay[at], needle, n)) << "memchr n " << n;
    }
    unsigned char zeroed[4] = {1, 2, 3, 4};
    fn<void(void *, size_t)>("bzero")(zeroed + 1, 2);
    fn<void(void *, size_t)>("__bzero")(zeroed, 1);
    EXPECT_EQ(Bytes(zeroed, zeroed + 4), (Bytes{0, 0, 0, 4}));
}

// strlen and strchr read aligned blocks that may begin before the string and reach past
// it: zeros and the sought value there never count, and no read crosses into the page
// behind the string.
TEST_F(StringTest, LengthAndSearchSeeOnlyTheString) {
    auto strlen_ = fn<size_t(const char *)>("strlen");
    auto strchr_ = fn<char *(const char *, int)>("strchr");
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

// abort halts at once: pending console text stays unsent and nothing after it runs.
TEST_F(StringTest, AbortHaltsWithoutFlushing) {
    auto write = fn<void(const void *, uint64_t)>("lm_lua_write");
    auto abort_ = fn<void()>("abort");
    EXPECT_EXIT(
        {
            host().console().echo = stderr; // console lines would show on standard error
            write("pending text", 12);
            std::fputs("before abort\n", stderr);
            abort_();
            write("after\n", 6);
        },
        ::testing::KilledBySignal(SIGSEGV), "^before abort\n$");
}

} // namespace
} // namespace lbw::test
