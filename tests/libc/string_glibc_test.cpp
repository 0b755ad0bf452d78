// strrchr, strcspn, strcat, strncat, strncpy and bcmp against glibc on random strings
// and lengths: the same results, and the same bytes in the whole destination buffer.
#include "tests/support/library_test.h"

#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace lbw::test {
namespace {

class StringGlibcTest : public LibraryTest {
protected:
    std::mt19937 random{20261208};
    // Bytes from a small alphabet, high bytes among them, so that searches find things.
    std::string text(size_t max_length) {
        static const char kAlphabet[] = "abcab \x80\xff";
        std::string s(random() % (max_length + 1), ' ');
        for (char &c : s)
            c = kAlphabet[random() % (sizeof kAlphabet - 1)];
        return s;
    }
    std::vector<char> noise(size_t n) {
        std::vector<char> v(n);
        for (char &c : v)
            c = static_cast<char>(random());
        return v;
    }
};

TEST_F(StringGlibcTest, SearchesMatchGlibc) {
    auto strrchr_ = fn<char *(const char *, int)>("strrchr");
    auto strcspn_ = fn<size_t(const char *, const char *)>("strcspn");
    for (int i = 0; i < 20000; i++) {
        std::string s = text(40), set = text(4);
        for (int ch : {0, int{'a'}, 'b' + 256, -128, -1, static_cast<int>(random())})
            ASSERT_EQ(strrchr_(s.c_str(), ch), strrchr(s.c_str(), ch)) << '"' << s << "\" " << ch;
        ASSERT_EQ(strcspn_(s.c_str(), set.c_str()), strcspn(s.c_str(), set.c_str())) << s << " / " << set;
    }
}

TEST_F(StringGlibcTest, CopiesWriteWhatGlibcWrites) {
    using Copy = std::function<char *(char *, const char *, size_t)>;
    auto strcat_ = fn<char *(char *, const char *)>("strcat");
    const struct {
        const char *name;
        Copy ours, glibc;
    } kCases[] = {
        {"strncpy", fn<char *(char *, const char *, size_t)>("strncpy"), strncpy},
        {"strncat", fn<char *(char *, const char *, size_t)>("strncat"), strncat},
        {"strcat", [&](char *d, const char *s, size_t) { return strcat_(d, s); },
         [](char *d, const char *s, size_t) { return strcat(d, s); }},
    };
    for (const auto &c : kCases) {
        for (int i = 0; i < 20000; i++) {
            std::string head = text(20), tail = text(30);
            size_t n = random() % 40;
            // A destination of noise holding `head` (which the appending ones extend) at
            // an odd position.
            std::vector<char> expect = noise(100);
            size_t at = random() % 8;
            std::memcpy(&expect[at], head.c_str(), head.size() + 1);
            std::vector<char> got = expect;
            ASSERT_EQ(c.ours(&got[at], tail.c_str(), n), &got[at]) << c.name;
            c.glibc(&expect[at], tail.c_str(), n);
            ASSERT_EQ(got, expect) << c.name << " \"" << head << "\" \"" << tail << "\" " << n;
        }
    }
}

// bcmp answers only equal or not; every length and alignment up to 100 bytes, with no
// difference and with one at each position.
TEST_F(StringGlibcTest, BcmpTellsEqualFromDifferent) {
    auto bcmp_ = fn<int(const void *, const void *, size_t)>("bcmp");
    for (size_t n = 0; n <= 100; n++)
        for (size_t at = 0; at < 8; at++) {
            std::vector<char> a = noise(n + 8), b = a;
            ASSERT_EQ(bcmp_(&a[at], &b[at], n), 0) << n;
            for (size_t i = 0; i < n; i++) {
                b[at + i] = static_cast<char>(a[at + i] ^ (1 << random() % 8));
                ASSERT_NE(bcmp_(&a[at], &b[at], n), 0) << n << " differing at " << i;
                b[at + i] = a[at + i];
            }
        }
}

} // namespace
} // namespace lbw::test
