// strrchr, strcspn, strcat, strncat, strncpy and bcmp against glibc on random strings,
// lengths and positions: the same results, and the same bytes in the whole destination.
// The block functions against their byte-by-byte definitions on every path they take.
#include "tests/libc/page_edge.h"
#include "tests/support/library_test.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <numeric>
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

// memcpy (a forward byte copy, overlap or not), memmove, memset and memcmp at every
// length up to 300 and past the string instructions' thresholds: every overlap distance
// up to 300 either way (near ones only for the long lengths), where each run of 16
// distances shares a source alignment, so every pair of alignments meets; memcmp with
// a difference anywhere between blocks at every pair of alignments. Then every length
// against inaccessible pages on both sides: a read beyond the bytes given faults.
using CopyFn = void *(void *, const void *, size_t);
struct BlockFunctions {
    CopyFn *memcpy_, *memmove_;
    void *(*memset_)(void *, int, size_t);
    int (*memcmp_)(const void *, const void *, size_t);
    size_t (*strlen_)(const char *);
    char *(*strchr_)(const char *, int);
};

void expect_byte_loop_results(const BlockFunctions &f) {
    using Bytes = std::vector<unsigned char>;
    auto [memcpy_, memmove_, memset_, memcmp_, strlen_, strchr_] = f;
    std::mt19937 random{20261209};
    std::vector<size_t> lengths(301);
    std::iota(lengths.begin(), lengths.end(), 0);
    lengths.insert(lengths.end(), {1000, 2047, 2048, 2049, 4099, 70000});
    for (size_t n : lengths) {
        Bytes start(n + 700);
        for (auto &b : start)
            b = static_cast<unsigned char>(random());
        for (int distance = -300; distance <= 300; distance++) {
            if (n > 300 && std::abs(distance) > 70 && distance % 29)
                continue;
            size_t from = 320 + (distance + 300) / 16 % 16, to = from + distance;
            Bytes want = start, got = start;
            for (size_t i = 0; i < n; i++)
                want[to + i] = want[from + i];
            ASSERT_EQ(memcpy_(&got[to], &got[from], n), &got[to]);
            ASSERT_EQ(got, want) << "memcpy of " << n << " bytes by " << distance;
            want = got = start;
            std::memmove(&want[to], &want[from], n);
            ASSERT_EQ(memmove_(&got[to], &got[from], n), &got[to]);
            ASSERT_EQ(got, want) << "memmove of " << n << " bytes by " << distance;
        }
        for (size_t at = 0; at < 256; at++) {
            Bytes want = start, got = start;
            std::fill_n(&want[at % 16], n, static_cast<unsigned char>(at));
            ASSERT_EQ(memset_(&got[at % 16], static_cast<int>(at + 256 * (n % 3)), n), &got[at % 16]);
            ASSERT_EQ(got, want) << "memset of " << n;
            unsigned char *x = &want[at % 16], *y = &got[at / 16 + 32];
            std::memcpy(y, x, n);
            ASSERT_EQ(memcmp_(x, y, n), 0) << n;
            size_t i = n ? random() % n : 0;
            if (n)
                y[i] = static_cast<unsigned char>(x[i] + 1 + random() % 255);
            y[random() % (n + 1)] ^= 1; // perhaps a second difference, which never counts
            i = static_cast<size_t>(std::mismatch(x, x + n, y).first - x);
            ASSERT_EQ(memcmp_(x, y, n), i < n ? x[i] - y[i] : 0) << "memcmp of " << n;
        }
    }
    PageEdge pages(18);
    char *first = pages.begin();
    for (size_t n : lengths) {
        char *last = pages.end() - n;
        memset_(first, 'f', n);
        memset_(last, 'l', n);
        memmove_(last, first, n / 2);
        memmove_(first, last, n);
        memcpy_(last, first, n);
        memcpy_(first + 1, first, n ? n - 1 : 0);
        memmove_(last + 1, last, n ? n - 1 : 0);
        ASSERT_EQ(memcmp_(first, last, n) == 0, std::memcmp(first, last, n) == 0) << n;
        if (n) {
            first[n - 1] = last[n - 1] = 0;
            ASSERT_EQ(strlen_(first), n - 1);
            ASSERT_EQ(strchr_(last, 'x'), nullptr);
            ASSERT_EQ(strchr_(first, 0), first + n - 1);
        }
    }
}

TEST_F(StringGlibcTest, BlockFunctionsMatchTheByteLoopsEverywhere) {
    expect_byte_loop_results({fn<CopyFn>("memcpy"), fn<CopyFn>("memmove"),
                              fn<void *(void *, int, size_t)>("memset"),
                              fn<int(const void *, const void *, size_t)>("memcmp"),
                              fn<size_t(const char *)>("strlen"), fn<char *(const char *, int)>("strchr")});
}

// The same on the SSE2 paths, which the library takes on processors without AVX2.
TEST_F(StringGlibcTest, Sse2PathsMatchTheByteLoopsEverywhere) {
    load_program(LBW_PROGRAM_SSE2_STRING_MODULE);
    program_fn<void()>("lbwt_keep_to_sse2")();
    expect_byte_loop_results({program_fn<CopyFn>("lbwt_memcpy"), program_fn<CopyFn>("lbwt_memmove"),
                              program_fn<void *(void *, int, size_t)>("lbwt_memset"),
                              program_fn<int(const void *, const void *, size_t)>("lbwt_memcmp"),
                              program_fn<size_t(const char *)>("lbwt_strlen"),
                              program_fn<char *(const char *, int)>("lbwt_strchr")});
}

} // namespace
} // namespace lbw::test
