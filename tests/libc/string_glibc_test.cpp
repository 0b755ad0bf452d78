// strrchr, strcspn, strcat, strncat, strncpy and bcmp against glibc on random strings,
// lengths and positions: the same results, and the same bytes in the whole destination.
#include "tests/support/library_test.h"

#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace lbw::test {
namespace {

using StringGlibcTest = LibraryTest;
using Copy = std::function<char *(char *, const char *, size_t)>;

TEST_F(StringGlibcTest, MatchesGlibcOnRandomStrings) {
    auto strrchr_ = fn<char *(const char *, int)>("strrchr");
    auto strcspn_ = fn<size_t(const char *, const char *)>("strcspn");
    auto strcat_ = fn<char *(char *, const char *)>("strcat");
    auto bcmp_ = fn<int(const void *, const void *, size_t)>("bcmp");
    const struct {
        const char *name;
        Copy ours, glibc;
    } kCopies[] = {
        {"strncpy", fn<char *(char *, const char *, size_t)>("strncpy"), strncpy},
        {"strncat", fn<char *(char *, const char *, size_t)>("strncat"), strncat},
        {"strcat", [&](char *d, const char *s, size_t) { return strcat_(d, s); },
         [](char *d, const char *s, size_t) { return strcat(d, s); }},
    };
    std::mt19937 random{20261208};
    // From a small alphabet with high bytes, so that searches find things.
    auto text = [&](size_t max_length) {
        std::string s(random() % (max_length + 1), ' ');
        for (char &c : s)
            c = "abcab \x80\xff"[random() % 8];
        return s;
    };
    for (int i = 0; i < 50000; i++) {
        std::string s = text(40), set = text(4);
        SCOPED_TRACE("\"" + s + "\" \"" + set + "\"");
        for (int ch : {0, int{'a'}, 'b' + 256, -128, static_cast<int>(random())})
            ASSERT_EQ(strrchr_(s.c_str(), ch), strrchr(s.c_str(), ch)) << ch;
        ASSERT_EQ(strcspn_(s.c_str(), set.c_str()), strcspn(s.c_str(), set.c_str()));

        // A destination of noise holding `set` at a random offset; s is copied or appended.
        std::vector<char> expect(100);
        for (char &c : expect)
            c = static_cast<char>(random());
        size_t at = random() % 8, n = random() % 48;
        std::memcpy(&expect[at], set.c_str(), set.size() + 1);
        std::vector<char> got = expect;
        const auto &copy = kCopies[i % 3];
        ASSERT_EQ(copy.ours(&got[at], s.c_str(), n), &got[at]) << copy.name;
        copy.glibc(&expect[at], s.c_str(), n);
        ASSERT_EQ(got, expect) << copy.name << " " << n;

        // bcmp answers only equal or not: a block against a copy, with one byte changed
        // every other time.
        std::vector<char> other = expect;
        other[at + n] ^= static_cast<char>(i % 2);
        ASSERT_EQ(bcmp_(&got[at], &other[at], n + 1 + random() % 40) != 0, i % 2 == 1) << n;
    }
}

} // namespace
} // namespace lbw::test
