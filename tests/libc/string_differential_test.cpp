// The word-at-a-time memory and string functions against straightforward byte-by-byte
// references, over every size up to 300, every alignment and every overlap distance.
#include "tests/support/library_test.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <random>
#include <vector>

namespace lbw::test {
namespace {

using u8 = unsigned char;

void reference_copy_up(u8 *d, const u8 *s, size_t n) {
    for (size_t i = 0; i < n; i++)
        d[i] = s[i];
}

void reference_move(u8 *d, const u8 *s, size_t n) {
    if (n == 0 || d == s)
        return;
    if (d < s)
        reference_copy_up(d, s, n);
    else
        for (size_t i = n; i-- > 0;)
            d[i] = s[i];
}

int reference_compare(const u8 *a, const u8 *b, size_t n) {
    for (size_t i = 0; i < n; i++)
        if (a[i] != b[i])
            return a[i] - b[i];
    return 0;
}

class StringDifferentialTest : public LibraryTest {
protected:
    std::mt19937 random{20261206};
    std::vector<u8> noise(size_t n) {
        std::vector<u8> v(n);
        for (auto &b : v)
            b = static_cast<u8>(random());
        return v;
    }
};

constexpr size_t kMaxSize = 300;
constexpr size_t kSlack = 48; // room for alignments and overlap distances

TEST_F(StringDifferentialTest, CopiesMatchTheByteLoopsAtEveryOverlap) {
    auto memcpy_ = fn<void *(void *, const void *, size_t)>("memcpy");
    auto memmove_ = fn<void *(void *, const void *, size_t)>("memmove");
    for (size_t n = 0; n <= kMaxSize; n++) {
        for (size_t src_at = 0; src_at < 9; src_at++) {
            // Destinations from well below to well above the source, in one buffer, so
            // every overlap distance in both directions is met.
            for (size_t dst_at = 0; dst_at < 2 * kSlack; dst_at += (dst_at < 40 ? 1 : 7)) {
                std::vector<u8> start = noise(kMaxSize + 3 * kSlack);
                std::vector<u8> expect = start, got = start;
                size_t s = kSlack / 2 + src_at;
                reference_copy_up(expect.data() + dst_at, expect.data() + s, n);
                ASSERT_EQ(memcpy_(got.data() + dst_at, got.data() + s, n), got.data() + dst_at);
                ASSERT_EQ(got, expect) << "memcpy n=" << n << " src=" << s << " dst=" << dst_at;

                expect = start, got = start;
                reference_move(expect.data() + dst_at, expect.data() + s, n);
                ASSERT_EQ(memmove_(got.data() + dst_at, got.data() + s, n), got.data() + dst_at);
                ASSERT_EQ(got, expect) << "memmove n=" << n << " src=" << s << " dst=" << dst_at;
            }
        }
    }
}

TEST_F(StringDifferentialTest, SetCompareAndSearchMatchTheByteLoops) {
    auto memset_ = fn<void *(void *, int, size_t)>("memset");
    auto memcmp_ = fn<int(const void *, const void *, size_t)>("memcmp");
    auto memchr_ = fn<void *(const void *, int, size_t)>("memchr");
    for (size_t n = 0; n <= kMaxSize; n++) {
        for (size_t at = 0; at < 9; at++) {
            std::vector<u8> got = noise(n + kSlack), expect = got;
            int value = static_cast<int>(random());
            for (size_t i = 0; i < n; i++)
                expect[at + i] = static_cast<u8>(value);
            memset_(got.data() + at, value, n);
            ASSERT_EQ(got, expect) << "memset n=" << n;

            // Equal blocks, then one differing byte at each position in turn.
            std::vector<u8> a = noise(n + kSlack), b = a;
            ASSERT_EQ(memcmp_(a.data() + at, b.data() + at, n), 0);
            for (size_t i = 0; i < n; i += 1 + i / 16) {
                b[at + i] = static_cast<u8>(random());
                ASSERT_EQ(memcmp_(a.data() + at, b.data() + at, n), reference_compare(a.data() + at, b.data() + at, n))
                    << "memcmp n=" << n << " diff at " << i;
                b[at + i] = a[at + i];
            }

            std::vector<u8> hay = noise(n + kSlack);
            int needle = static_cast<int>(random() % 4 == 0 ? 0 : random());
            const u8 *want = nullptr;
            for (size_t i = 0; i < n && !want; i++)
                if (hay[at + i] == static_cast<u8>(needle))
                    want = &hay[at + i];
            ASSERT_EQ(memchr_(hay.data() + at, needle, n), want) << "memchr n=" << n;
        }
    }
}

// A string that ends right before an inaccessible page: the word reads must not fault.
class GuardedPage {
public:
    GuardedPage() {
        page_ = static_cast<size_t>(sysconf(_SC_PAGESIZE));
        base_ = static_cast<u8 *>(mmap(nullptr, 2 * page_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
        mprotect(base_ + page_, page_, PROT_NONE);
    }
    ~GuardedPage() { munmap(base_, 2 * page_); }
    // Places `text` (with its terminator) so that the terminator is the page's last byte.
    char *place(const std::string &text) {
        char *p = reinterpret_cast<char *>(base_ + page_ - text.size() - 1);
        std::memcpy(p, text.c_str(), text.size() + 1);
        return p;
    }

private:
    size_t page_;
    u8 *base_;
};

TEST_F(StringDifferentialTest, LengthAndSearchMatchTheByteLoopsAndStayInsideTheString) {
    auto strlen_ = fn<size_t(const char *)>("strlen");
    auto strchr_ = fn<char *(const char *, int)>("strchr");
    GuardedPage page;
    for (size_t n = 0; n <= kMaxSize; n++) {
        std::string text;
        for (size_t i = 0; i < n; i++)
            text.push_back(static_cast<char>(1 + random() % 255));
        char *s = page.place(text);
        ASSERT_EQ(strlen_(s), n);
        for (int probe : {0, 256 + 'a', static_cast<int>(random()), n ? static_cast<u8>(text[n / 2]) : 7}) {
            char c = static_cast<char>(probe);
            const char *want = nullptr;
            for (const char *p = s;; p++) {
                if (*p == c) {
                    want = p;
                    break;
                }
                if (*p == 0)
                    break;
            }
            ASSERT_EQ(strchr_(s, probe), want) << "strchr n=" << n << " value " << probe;
        }
    }
}

} // namespace
} // namespace lbw::test
