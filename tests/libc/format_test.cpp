// snprintf and vsnprintf: the conversion table, truncation and the produced count,
// against the built library.
#include "tests/support/library_test.h"

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>

namespace lbw::test {
namespace {

using SnprintfFn = int(char *, size_t, const char *, ...);
using VsnprintfFn = int(char *, size_t, const char *, va_list);

class FormatTest : public LibraryTest {
protected:
    SnprintfFn *snprintf_ = nullptr;
    static inline VsnprintfFn *vsnprintf_ = nullptr;

    void SetUp() override {
        LibraryTest::SetUp();
        snprintf_ = fn<SnprintfFn>("snprintf");
        vsnprintf_ = fn<VsnprintfFn>("vsnprintf");
    }

    // The formatted text, checked to end in a NUL right where the count says.
    template <class... A>
    std::string format(const char *fmt, A... args) {
        char buf[1024];
        std::memset(buf, 0x5A, sizeof buf);
        int n = snprintf_(buf, sizeof buf, fmt, args...);
        EXPECT_GE(n, 0);
        EXPECT_LT(n, static_cast<int>(sizeof buf));
        if (n < 0 || n >= static_cast<int>(sizeof buf))
            return "<bad count>";
        EXPECT_EQ(buf[n], 0) << "terminator where the count ends";
        return std::string(buf, static_cast<size_t>(n));
    }

    static int call_vsnprintf(char *dst, size_t n, const char *fmt, ...) {
        va_list ap;
        va_start(ap, fmt);
        int count = vsnprintf_(dst, n, fmt, ap);
        va_end(ap);
        return count;
    }
};

TEST_F(FormatTest, PlainTextAndPercent) {
    EXPECT_EQ(format("hello"), "hello");
    EXPECT_EQ(format(""), "");
    EXPECT_EQ(format("100%%"), "100%");
    EXPECT_EQ(format("%%d", 5), "%d");
}

TEST_F(FormatTest, SignedAndUnsignedDecimal) {
    EXPECT_EQ(format("%d", 0), "0");
    EXPECT_EQ(format("%d", -42), "-42");
    EXPECT_EQ(format("%d", INT_MIN), "-2147483648");
    EXPECT_EQ(format("%d", INT_MAX), "2147483647");
    EXPECT_EQ(format("%i|%I", 7, -7), "7|-7");
    EXPECT_EQ(format("%u", 4294967295u), "4294967295");
    EXPECT_EQ(format("%u", -1), "4294967295");
    EXPECT_EQ(format("%u", 0u), "0");
}

TEST_F(FormatTest, Hexadecimal) {
    EXPECT_EQ(format("%x", 255), "ff");
    EXPECT_EQ(format("%X", 255), "FF");
    EXPECT_EQ(format("%x", 0), "0");
    EXPECT_EQ(format("%x|%X", 0xDEADBEEFu, 0xDEADBEEFu), "deadbeef|DEADBEEF");
    EXPECT_EQ(format("%x", -1), "ffffffff");
}

TEST_F(FormatTest, WidthPrecisionAndShortModifiersAreSkipped) {
    EXPECT_EQ(format("%5d", 42), "42");
    EXPECT_EQ(format("%05d", 42), "42");
    EXPECT_EQ(format("%12.8x", 255), "ff");
    EXPECT_EQ(format("%hd|%hhd|%hu", 42, 42, 42), "42|42|42");
    EXPECT_EQ(format("%hd", 70000), "70000") << "h does not narrow";
    EXPECT_EQ(format("%ld|%lld", 42L, 42LL), "42|42");
}

TEST_F(FormatTest, LongModifiersPrintAll64Bits) {
    const int64_t big = (int64_t{1} << 32) + 5;
    EXPECT_EQ(format("%ld", big), "4294967301");
    EXPECT_EQ(format("%lld", -(int64_t{1} << 40)), "-1099511627776");
    EXPECT_EQ(format("%lld", INT64_MIN), "-9223372036854775808");
    EXPECT_EQ(format("%lli", INT64_MAX), "9223372036854775807");
    EXPECT_EQ(format("%lu", UINT64_MAX), "18446744073709551615");
    EXPECT_EQ(format("%llx|%lX", 0x123456789ABCDEFull, 0xFEDCBA9876543210ull), "123456789abcdef|FEDCBA9876543210");
    EXPECT_EQ(format("%zu", SIZE_MAX), "18446744073709551615");
    EXPECT_EQ(format("%jd", INT64_MIN), "-9223372036854775808");
    EXPECT_EQ(format("%td", static_cast<ptrdiff_t>(-big)), "-4294967301");
    EXPECT_EQ(format("%zd", static_cast<ptrdiff_t>(-1)), "-1");
    EXPECT_EQ(format("%hld", big), "4294967301") << "any wide modifier wins";
}

TEST_F(FormatTest, UnmodifiedAndShortConversionsStillRead32Bits) {
    const int64_t big = (int64_t{1} << 32) + 5;
    EXPECT_EQ(format("%d", big), "5");
    EXPECT_EQ(format("%hd", big), "5");
    EXPECT_EQ(format("%hhu", big), "5");
    EXPECT_EQ(format("%x", 0x1FFFFFFFFull), "ffffffff");
    EXPECT_EQ(format("%d", int64_t{0xFFFFFFFF}), "-1");
    // Each argument keeps its own slot, so the list stays in step.
    EXPECT_EQ(format("%d %d", big, 9), "5 9");
}

TEST_F(FormatTest, PointerPrintsAll64BitsInLowerCaseHex) {
    EXPECT_EQ(format("%p", reinterpret_cast<void *>(4096)), "0x1000");
    EXPECT_EQ(format("%p", reinterpret_cast<void *>(0x123456789ABCull)), "0x123456789abc");
    EXPECT_EQ(format("%p", reinterpret_cast<void *>(UINTPTR_MAX)), "0xffffffffffffffff");
    EXPECT_EQ(format("%p", nullptr), "0x0");
}

TEST_F(FormatTest, CharactersAndStrings) {
    EXPECT_EQ(format("%c", 65), "A");
    EXPECT_EQ(format("%c", 0x141), "A");
    EXPECT_EQ(format("a%cb", 0), std::string("a\0b", 3)) << "a zero byte is stored and counted";
    EXPECT_EQ(format("[%s]", "abc"), "[abc]");
    EXPECT_EQ(format("%s", static_cast<const char *>(nullptr)), "(null)");
    EXPECT_EQ(format("%.2s", "abc"), "abc");
    EXPECT_EQ(format("%10s|", "abc"), "abc|");
    EXPECT_EQ(format("%s", ""), "");
}

TEST_F(FormatTest, FixedPointTruncatesToSixDecimals) {
    EXPECT_EQ(format("%f", 2.675), "2.674999");
    EXPECT_EQ(format("%f", 1.0 / 3), "0.333333");
    EXPECT_EQ(format("%f", 2.0 / 3), "0.666666");
    EXPECT_EQ(format("%f", 0.1), "0.100000");
    EXPECT_EQ(format("%f", 0.0), "0.000000");
    EXPECT_EQ(format("%f", -0.0), "0.000000");
    EXPECT_EQ(format("%f", -0.0000001), "-0.000000");
    EXPECT_EQ(format("%f", -1.5), "-1.500000");
    EXPECT_EQ(format("%.2f", 1.5), "1.500000");
    EXPECT_EQ(format("%f", 2147483647.5), "2147483647.500000");
    EXPECT_EQ(format("%f", 123.0f), "123.000000");
}

TEST_F(FormatTest, FixedPointOfLargeValuesPrintsTheirExactDigits) {
    EXPECT_EQ(format("%f", 2147483648.0), "2147483648.000000");
    EXPECT_EQ(format("%f", 2147483648.5), "2147483648.500000");
    EXPECT_EQ(format("%f", 1e10), "10000000000.000000");
    EXPECT_EQ(format("%f", -3e9), "-3000000000.000000");
    EXPECT_EQ(format("%f", 4294967296.25), "4294967296.250000");
    EXPECT_EQ(format("%f", 9007199254740991.0), "9007199254740991.000000");
    EXPECT_EQ(format("%f", 18446744073709549568.0), "18446744073709549568.000000"); // just below 2^64
    EXPECT_EQ(format("%f", 18446744073709551616.0), "18446744073709551616.000000"); // 2^64
    EXPECT_EQ(format("%f", 1e23), "99999999999999991611392.000000");
    EXPECT_EQ(format("%f", -0x1p100), "-1267650600228229401496703205376.000000");
}

TEST_F(FormatTest, FixedPointMatchesExactDigitsAcrossTheWholeRange) {
    // The host's C library prints integral doubles exactly; compare every power of two
    // up to the largest double, the largest double itself, and random large values.
    auto exact = [](double v) {
        char buf[400];
        std::snprintf(buf, sizeof buf, "%.0f.000000", v);
        return std::string(buf);
    };
    for (int e = 53; e <= 1023; e++) {
        double v = std::ldexp(1.0, e);
        ASSERT_EQ(format("%f", v), exact(v)) << "2^" << e;
        double w = std::nextafter(v, 0.0);
        ASSERT_EQ(format("%f", w), exact(w)) << "just below 2^" << e;
    }
    EXPECT_EQ(format("%f", DBL_MAX), exact(DBL_MAX));
    EXPECT_EQ(format("%f", -DBL_MAX), "-" + exact(DBL_MAX));
    std::mt19937_64 random(12345);
    for (int i = 0; i < 2000; i++) {
        double v = std::ldexp(static_cast<double>(random() >> 11), 11 + static_cast<int>(random() % 960));
        ASSERT_EQ(format("%f", v), exact(v)) << v;
    }
}

TEST_F(FormatTest, FixedPointOfInfinityAndNan) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(format("%f", inf), "inf");
    EXPECT_EQ(format("%f", -inf), "-inf");
    EXPECT_EQ(format("%f", nan), "nan");
    EXPECT_EQ(format("%f", -nan), "nan");
    EXPECT_EQ(format("%f|%d", inf, 3), "inf|3");
}

TEST_F(FormatTest, UnknownConversionsPrintAQuestionMarkAndTakeNoArgument) {
    EXPECT_EQ(format("%e %d", 7), "? 7");
    EXPECT_EQ(format("%g|%G|%E|%a|%o|%n|%q|%L|%d", 7), "?|?|?|?|?|?|?|?|7");
    EXPECT_EQ(format("%+d %d", 5), "?d 5");
    EXPECT_EQ(format("%-5d", 5), "?5d");
    EXPECT_EQ(format("% d|%#x|%*d", 5), "?d|?x|?d");
    EXPECT_EQ(format("%5%"), "?");
    EXPECT_EQ(format("%Lf", 1.0), "?f");
}

TEST_F(FormatTest, DanglingSpecifierPrintsAQuestionMarkAndStops) {
    // Bytes after the terminator must never be read.
    const char formats[][16] = {"ab%\0XYZ", "ab%5\0XYZ", "ab%5.\0XYZ", "ab%.3\0XYZ", "ab%ll\0XYZ", "ab%05.2hz\0XY"};
    for (const char *fmt : formats) {
        char buf[16];
        EXPECT_EQ(snprintf_(buf, sizeof buf, fmt), 3) << fmt;
        EXPECT_STREQ(buf, "ab?") << fmt;
    }
    EXPECT_EQ(format("%"), "?");
}

TEST_F(FormatTest, TruncationKeepsTheFullCount) {
    char buf[8];
    std::memset(buf, 'Z', sizeof buf);
    EXPECT_EQ(snprintf_(buf, 5, "hello"), 5);
    EXPECT_EQ(std::string(buf, 6), std::string("hell\0Z", 6));

    std::memset(buf, 'Z', sizeof buf);
    EXPECT_EQ(snprintf_(buf, 6, "hello"), 5);
    EXPECT_STREQ(buf, "hello");

    std::memset(buf, 'Z', sizeof buf);
    EXPECT_EQ(snprintf_(buf, 1, "hello"), 5);
    EXPECT_EQ(buf[0], 0);
    EXPECT_EQ(buf[1], 'Z');

    std::memset(buf, 'Z', sizeof buf);
    EXPECT_EQ(snprintf_(buf, 0, "hello"), 5);
    EXPECT_EQ(buf[0], 'Z') << "n = 0 stores nothing";
    EXPECT_EQ(snprintf_(nullptr, 0, "hello %s %d", "x", -12), 11);
    EXPECT_EQ(snprintf_(buf, 1, ""), 0);
    EXPECT_EQ(buf[0], 0);
}

TEST_F(FormatTest, CountIncludesEverythingThatDidNotFit) {
    char buf[4];
    EXPECT_EQ(snprintf_(buf, sizeof buf, "%s|%d|%f", static_cast<const char *>(nullptr), -5, 1.5), 6 + 1 + 2 + 1 + 8);
    EXPECT_STREQ(buf, "(nu");
    EXPECT_EQ(snprintf_(buf, 1, "%f", -1.0), 9);
    EXPECT_EQ(snprintf_(buf, 1, "%p%c", reinterpret_cast<void *>(0xABC), 'x'), 6);
    EXPECT_EQ(snprintf_(nullptr, 0, "%f", 1e23), 30);
    EXPECT_EQ(snprintf_(nullptr, 0, "%f", -std::numeric_limits<double>::infinity()), 4);
}

TEST_F(FormatTest, VsnprintfTakesAnArgumentList) {
    char buf[32];
    EXPECT_EQ(call_vsnprintf(buf, sizeof buf, "%s=%d %lx %f", "k", -3, 0x100000000ull, 0.5), 23);
    EXPECT_STREQ(buf, "k=-3 100000000 0.500000");
    EXPECT_EQ(call_vsnprintf(buf, 4, "%d", 123456), 6);
    EXPECT_STREQ(buf, "123");
}

TEST_F(FormatTest, NullFormatIsEmpty) {
    char buf[4] = "abc";
    EXPECT_EQ(snprintf_(buf, sizeof buf, nullptr), 0);
    EXPECT_STREQ(buf, "");
}

} // namespace
} // namespace lbw::test
