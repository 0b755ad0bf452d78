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
    ShiftFn *ashl_ = nullptr, *lshr_ = nullptr, *ashr_ = nullptr;
    UDivModFn *udivmod_ = nullptr;
    UDivFn *udiv_ = nullptr, *umod_ = nullptr;
    SDivFn *sdiv_ = nullptr, *smod_ = nullptr;

    void SetUp() override {
        LibraryTest::SetUp();
        ashl_ = fn<ShiftFn>("__ashldi3");
        lshr_ = fn<ShiftFn>("__lshrdi3");
        ashr_ = fn<ShiftFn>("__ashrdi3");
        udivmod_ = fn<UDivModFn>("udivmod64");
        udiv_ = fn<UDivFn>("__udivdi3");
        umod_ = fn<UDivFn>("__umoddi3");
        sdiv_ = fn<SDivFn>("__divdi3");
        smod_ = fn<SDivFn>("__moddi3");
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
    EXPECT_EQ(ashl_(12345, 0), 12345);
    EXPECT_EQ(ashl_(12345, -5), 12345);
    EXPECT_EQ(ashl_(12345, 64), 0);
    EXPECT_EQ(ashl_(12345, 100), 0);
    EXPECT_EQ(static_cast<uint64_t>(ashl_(1, 63)), uint64_t{1} << 63);
    EXPECT_EQ(ashr_(-8, 1), -4);
    EXPECT_EQ(ashr_(-1, 70), -1);
    EXPECT_EQ(ashr_(5, 70), 0);
    EXPECT_EQ(lshr_(-1, 64), 0);
    EXPECT_EQ(lshr_(-1, -1), -1);
    EXPECT_EQ(ashr_(INT64_MIN, INT32_MAX), -1);
    EXPECT_EQ(ashl_(-1, INT32_MIN), -1);
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
    uint64_t remainder = 99;
    EXPECT_EQ(udiv_(12345, 0), 0u);
    EXPECT_EQ(umod_(12345, 0), 0u);
    EXPECT_EQ(udivmod_(12345, 0, &remainder), 0u);
    EXPECT_EQ(remainder, 0u);
    EXPECT_EQ(udivmod_(UINT64_MAX, (uint64_t{1} << 63) + 1, &remainder), 1u);
    EXPECT_EQ(remainder, (uint64_t{1} << 63) - 2);
    EXPECT_EQ(udivmod_(100, 7, nullptr), 14u);
    EXPECT_EQ(sdiv_(-7, 2), -3);
    EXPECT_EQ(smod_(-7, 2), -1);
    EXPECT_EQ(smod_(7, -2), 1);
    EXPECT_EQ(sdiv_(INT64_MIN, -1), INT64_MIN);
    EXPECT_EQ(smod_(INT64_MIN, -1), 0);
    EXPECT_EQ(sdiv_(-5, 0), 0);
    EXPECT_EQ(smod_(-5, 0), 0);
}

TEST_F(IntMathTest, UnsignedDivisionMatchesTheProcessor) {
    std::vector<uint64_t> values = operands();
    for (uint64_t a : values)
        for (uint64_t b : values) {
            uint64_t q = b ? a / b : 0;
            uint64_t r = b ? a % b : 0;
            uint64_t remainder = ~r;
            ASSERT_EQ(udivmod_(a, b, &remainder), q) << a << " / " << b;
            ASSERT_EQ(remainder, r) << a << " % " << b;
            ASSERT_EQ(udiv_(a, b), q) << a << " / " << b;
            ASSERT_EQ(umod_(a, b), r) << a << " % " << b;
        }
}

TEST_F(IntMathTest, SignedDivisionMatchesTheProcessor) {
    std::vector<uint64_t> values = operands();
    std::vector<int64_t> signed_values;
    for (uint64_t u : values) {
        signed_values.push_back(static_cast<int64_t>(u));
        signed_values.push_back(static_cast<int64_t>(0 - u));
    }
    for (int64_t a : signed_values)
        for (int64_t b : signed_values) {
            int64_t q, r;
            if (b == 0) {
                q = r = 0;
            } else if (a == INT64_MIN && b == -1) {
                q = INT64_MIN; // the processor traps here; the routine wraps
                r = 0;
            } else {
                q = a / b;
                r = a % b;
            }
            ASSERT_EQ(sdiv_(a, b), q) << a << " / " << b;
            ASSERT_EQ(smod_(a, b), r) << a << " % " << b;
        }
}

} // namespace
} // namespace lbw::test
