// The 64-bit shift, division and remainder routines against the processor's operations
// over boundary and random operands and every shift count. Where the processor has no
// answer: counts of 0 and below leave the value alone, 64 and above shift everything
// out; division by zero gives 0 (quotient and remainder); INT64_MIN / -1 wraps.
#include "tests/support/library_test.h"

#include <cstdint>
#include <random>
#include <vector>

namespace lbw::test {
namespace {

using IntMathTest = LibraryTest;

TEST_F(IntMathTest, AgainstTheProcessor) {
    auto ashl = fn<int64_t(int64_t, int32_t)>("__ashldi3"), lshr = fn<int64_t(int64_t, int32_t)>("__lshrdi3");
    auto ashr = fn<int64_t(int64_t, int32_t)>("__ashrdi3");
    auto udivmod = fn<uint64_t(uint64_t, uint64_t, uint64_t *)>("udivmod64");
    auto udiv = fn<uint64_t(uint64_t, uint64_t)>("__udivdi3"), umod = fn<uint64_t(uint64_t, uint64_t)>("__umoddi3");
    auto sdiv = fn<int64_t(int64_t, int64_t)>("__divdi3"), smod = fn<int64_t(int64_t, int64_t)>("__moddi3");
    std::vector<uint64_t> values = {0, 1, 2, 3, 7, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 0x100000000, 0x7FFFFFFFFFFFFFFF,
                                    0x8000000000000000, 0x8000000000000001, 0xFFFFFFFFFFFFFFFE, 0xFFFFFFFFFFFFFFFF};
    std::mt19937_64 random(2024);
    for (int i = 0; i < 300; i++)
        values.push_back(random() >> (random() % 64)); // every bit length
    for (uint64_t a : values) {
        const int64_t v = static_cast<int64_t>(a);
        for (int32_t count : {INT32_MIN, -3, -1, 0, 1, 7, 31, 32, 33, 62, 63, 64, 65, 70, INT32_MAX}) {
            const bool in_range = count > 0 && count < 64;
            ASSERT_EQ(ashl(v, count), count <= 0 ? v : in_range ? static_cast<int64_t>(a << count) : 0) << a << " << " << count;
            ASSERT_EQ(lshr(v, count), count <= 0 ? v : in_range ? static_cast<int64_t>(a >> count) : 0) << a << " >> " << count;
            ASSERT_EQ(ashr(v, count), count <= 0 ? v : in_range ? v >> count : v >> 63) << v << " >> " << count;
        }
        for (uint64_t b : values) {
            const uint64_t q = b ? a / b : 0, r = b ? a % b : 0;
            uint64_t remainder = ~r;
            ASSERT_EQ(udivmod(a, b, &remainder), q) << a << " / " << b;
            ASSERT_EQ(remainder, r) << a << " % " << b;
            ASSERT_EQ(udivmod(a, b, nullptr), q) << a << " / " << b;
            ASSERT_EQ(udiv(a, b), q) << a << " / " << b;
            ASSERT_EQ(umod(a, b), r) << a << " % " << b;
            for (int64_t sa : {v, static_cast<int64_t>(0 - a)})
                for (int64_t sb : {static_cast<int64_t>(b), static_cast<int64_t>(0 - b)}) {
                    const bool zero = sb == 0, wraps = sa == INT64_MIN && sb == -1;
                    ASSERT_EQ(sdiv(sa, sb), zero ? 0 : wraps ? INT64_MIN : sa / sb) << sa << " / " << sb;
                    ASSERT_EQ(smod(sa, sb), zero || wraps ? 0 : sa % sb) << sa << " % " << sb;
                }
        }
    }
}

} // namespace
} // namespace lbw::test
