// The 64-bit shift, division and remainder routines against the processor's own
// operations over boundary and random operands.
#include "tests/support/library_test.h"

#include <cstdint>
#include <random>
#include <vector>

namespace lbw::test {
namespace {

using ShiftFn = int64_t(int64_t, int32_t);
using UDivModFn = uint64_t(uint64_t, uint64_t, uint64_t *);
using UDivFn = uint64_t(uint64_t, uint64_t);
using SDivFn = int64_t(int64_t, int64_t);

class IntMathTest : public LibraryTest {
protected:
    ShiftFn *ashl_, *lshr_, *ashr_;
    UDivModFn *udivmod_;
    UDivFn *udiv_, *umod_;
    SDivFn *sdiv_, *smod_;

    void SetUp() override {
        LibraryTest::SetUp();
        ashl_ = fn<ShiftFn>("__ashldi3"), lshr_ = fn<ShiftFn>("__lshrdi3"), ashr_ = fn<ShiftFn>("__ashrdi3");
        udivmod_ = fn<UDivModFn>("udivmod64"), udiv_ = fn<UDivFn>("__udivdi3"), umod_ = fn<UDivFn>("__umoddi3");
        sdiv_ = fn<SDivFn>("__divdi3"), smod_ = fn<SDivFn>("__moddi3");
    }

    // Boundary values followed by random ones of every bit length.
    static std::vector<uint64_t> operands() {
        std::vector<uint64_t> v = {0, 1, 2, 3, 7, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 0x100000000,
                                   0x7FFFFFFFFFFFFFFF, 0x8000000000000000, 0x8000000000000001,
                                   0xFFFFFFFFFFFFFFFE, 0xFFFFFFFFFFFFFFFF, 0x123456789ABCDEF0};
        std::mt19937_64 rng(2024);
        for (int i = 0; i < 300; i++) {
            int length = static_cast<int>(rng() % 64) + 1;
            v.push_back(rng() >> (64 - length));
        }
        return v;
    }
};

TEST_F(IntMathTest, ListedShiftResults) {
    const struct { ShiftFn *shift; int64_t value; int32_t count; int64_t expected; } cases[] = {
        {ashl_, 12345, 0, 12345}, {ashl_, 12345, -5, 12345}, {ashl_, 12345, 64, 0}, {ashl_, 12345, 100, 0},
        {ashl_, 1, 63, INT64_MIN}, {ashr_, -8, 1, -4}, {ashr_, -1, 70, -1}, {ashr_, 5, 70, 0}, {lshr_, -1, 64, 0},
        {lshr_, -1, -1, -1}, {ashr_, INT64_MIN, INT32_MAX, -1}, {ashl_, -1, INT32_MIN, -1}};
    for (auto c : cases)
        EXPECT_EQ(c.shift(c.value, c.count), c.expected) << c.value << " by " << c.count;
}

TEST_F(IntMathTest, ShiftsMatchTheProcessorForEveryCount) {
    for (uint64_t u : operands()) {
        int64_t v = static_cast<int64_t>(u);
        for (int count = -3; count <= 70; count++) {
            bool in_range = count >= 0 && count < 64;
            int64_t left = count <= 0 ? v : in_range ? static_cast<int64_t>(u << count) : 0;
            int64_t logical = count <= 0 ? v : in_range ? static_cast<int64_t>(u >> count) : 0;
            int64_t arithmetic = count <= 0 ? v : in_range ? v >> count : (v < 0 ? -1 : 0);
            ASSERT_EQ(ashl_(v, count), left) << u << " << " << count;
            ASSERT_EQ(lshr_(v, count), logical) << u << " >> " << count;
            ASSERT_EQ(ashr_(v, count), arithmetic) << v << " >> " << count;
        }
    }
}

TEST_F(IntMathTest, ListedDivisionResults) {
    const uint64_t top = uint64_t{1} << 63;
    const struct { uint64_t a, b, quotient, remainder; } unsigned_cases[] = {
        {12345, 0, 0, 0}, {UINT64_MAX, top + 1, 1, top - 2}, {100, 7, 14, 2}};
    for (auto c : unsigned_cases) {
        uint64_t remainder = 99;
        EXPECT_EQ(udivmod_(c.a, c.b, &remainder), c.quotient) << c.a << " / " << c.b;
        EXPECT_EQ(remainder, c.remainder) << c.a << " % " << c.b;
        EXPECT_EQ(udivmod_(c.a, c.b, nullptr), c.quotient);
        EXPECT_EQ(udiv_(c.a, c.b), c.quotient);
        EXPECT_EQ(umod_(c.a, c.b), c.remainder);
    }
    const struct { int64_t a, b, quotient, remainder; } signed_cases[] = {
        {-7, 2, -3, -1}, {7, -2, -3, 1}, {INT64_MIN, -1, INT64_MIN, 0}, {-5, 0, 0, 0}};
    for (auto c : signed_cases) {
        EXPECT_EQ(sdiv_(c.a, c.b), c.quotient) << c.a << " / " << c.b;
        EXPECT_EQ(smod_(c.a, c.b), c.remainder) << c.a << " % " << c.b;
    }
}

TEST_F(IntMathTest, DivisionMatchesTheProcessor) {
    std::vector<uint64_t> values = operands();
    for (uint64_t a : values)
        for (uint64_t b : values) {
            uint64_t q = b ? a / b : 0, r = b ? a % b : 0;
            uint64_t remainder = ~r;
            ASSERT_EQ(udivmod_(a, b, &remainder), q) << a << " / " << b;
            ASSERT_EQ(remainder, r) << a << " % " << b;
            ASSERT_EQ(udiv_(a, b), q) << a << " / " << b;
            ASSERT_EQ(umod_(a, b), r) << a << " % " << b;
            // The signed routines on the same bits, either sign of the divisor.
            for (int64_t sa : {static_cast<int64_t>(a), static_cast<int64_t>(0 - a)})
                for (int64_t sb : {static_cast<int64_t>(b), static_cast<int64_t>(0 - b)}) {
                    bool zero = sb == 0, wraps = sa == INT64_MIN && sb == -1; // the processor traps on both
                    ASSERT_EQ(sdiv_(sa, sb), zero ? 0 : wraps ? INT64_MIN : sa / sb) << sa << " / " << sb;
                    ASSERT_EQ(smod_(sa, sb), zero || wraps ? 0 : sa % sb) << sa << " % " << sb;
                }
        }
}

} // namespace
} // namespace lbw::test
