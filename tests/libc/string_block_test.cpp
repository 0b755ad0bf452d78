// memcpy and memmove copy 64-byte vector blocks where that gives the byte loop's result:
// every distance around the block size, in both directions, against the byte loops.
// strlen and strchr read aligned 16-byte blocks that may begin before the string: bytes
// in front of the string, zeros and the value sought among them, must never count.
#include "tests/support/library_test.h"

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

namespace lbw::test {
namespace {

class StringBlockTest : public LibraryTest {};

TEST_F(StringBlockTest, BytesBeforeTheStringNeverCount) {
    auto strlen_ = fn<size_t(const char *)>("strlen");
    auto strchr_ = fn<char *(const char *, int)>("strchr");
    std::mt19937 random(7);
    alignas(64) static char buffer[64 + 300 + 128];
    for (size_t offset = 0; offset < 64; offset++) {
        for (size_t n = 0; n <= 300; n += (n < 80 ? 1 : 13)) {
            // In front: zeros and the value 'v'; the string: bytes other than 0 and 'v',
            // then at most one 'v' somewhere (or none); behind: more zeros and 'v's.
            for (size_t i = 0; i < sizeof buffer; i++)
                buffer[i] = (random() % 2) ? 0 : 'v';
            char *s = buffer + offset;
            for (size_t i = 0; i < n; i++)
                s[i] = static_cast<char>('a' + random() % 20);
            s[n] = 0;
            size_t at = n ? random() % (n + n / 2 + 1) : 0;
            if (at < n)
                s[at] = 'v';
            ASSERT_EQ(strlen_(s), n) << "offset " << offset;
            ASSERT_EQ(strchr_(s, 'v'), at < n ? s + at : nullptr) << "offset " << offset << " n " << n;
            ASSERT_EQ(strchr_(s, 0), s + n);
            ASSERT_EQ(strchr_(s, 'v' + 256), at < n ? s + at : nullptr) << "the value is taken as a char";
        }
    }
}

TEST_F(StringBlockTest, VectorBlockCopiesMatchTheByteLoopsAtEveryDistance) {
    auto memcpy_ = fn<void *(void *, const void *, size_t)>("memcpy");
    auto memmove_ = fn<void *(void *, const void *, size_t)>("memmove");
    std::mt19937 random(11);
    for (size_t n : {63, 64, 65, 127, 128, 129, 200, 300}) {
        for (int distance = -140; distance <= 140; distance++) {
            std::vector<unsigned char> start(300 + 2 * 150);
            for (auto &b : start)
                b = static_cast<unsigned char>(random());
            size_t from = 150, to = static_cast<size_t>(150 + distance);
            std::vector<unsigned char> want = start, got = start;
            for (size_t i = 0; i < n; i++) // forward byte copy, overlap not considered
                want[to + i] = want[from + i];
            memcpy_(got.data() + to, got.data() + from, n);
            ASSERT_EQ(got, want) << "memcpy n " << n << " distance " << distance;

            want = start, got = start;
            std::vector<unsigned char> source(start.begin() + static_cast<long>(from),
                                              start.begin() + static_cast<long>(from + n));
            std::copy(source.begin(), source.end(), want.begin() + static_cast<long>(to));
            memmove_(got.data() + to, got.data() + from, n);
            ASSERT_EQ(got, want) << "memmove n " << n << " distance " << distance;
        }
    }
}

// Long moves toward lower addresses go through the processor's string copy: every
// overlap distance, sizes around where that starts.
TEST_F(StringBlockTest, LongDownwardMovesMatchTheByteLoop) {
    auto memmove_ = fn<void *(void *, const void *, size_t)>("memmove");
    std::mt19937 random(13);
    for (size_t n : {2047, 2048, 2049, 3000, 4096, 5001}) {
        for (size_t distance = 1; distance <= 140; distance += (distance < 70 ? 1 : 9)) {
            std::vector<unsigned char> start(n + 300);
            for (auto &b : start)
                b = static_cast<unsigned char>(random());
            size_t to = 50, from = 50 + distance;
            std::vector<unsigned char> want = start, got = start;
            for (size_t i = 0; i < n; i++)
                want[to + i] = want[from + i];
            ASSERT_EQ(memmove_(got.data() + to, got.data() + from, n), got.data() + to);
            ASSERT_EQ(got, want) << "n " << n << " distance " << distance;
        }
    }
}

} // namespace
} // namespace lbw::test
