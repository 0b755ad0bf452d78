// strtol, strtoul, strtoll, strtoull: white space, signs, bases, prefixes, end positions,
// wrapping, and the points where the two scanners differ.
#include "tests/support/library_test.h"

#include <cstdint>
#include <string>

namespace lbw::test {
namespace {

using StrtolFn = long(const char *, char **, int);
using StrtoulFn = unsigned long(const char *, char **, int);
using StrtollFn = long long(const char *, char **, int);
using StrtoullFn = unsigned long long(const char *, char **, int);

class IntegerParseTest : public LibraryTest {
protected:
    StrtolFn *strtol_ = nullptr;
    StrtoulFn *strtoul_ = nullptr;
    StrtollFn *strtoll_ = nullptr;
    StrtoullFn *strtoull_ = nullptr;

    void SetUp() override {
        LibraryTest::SetUp();
        strtol_ = fn<StrtolFn>("strtol");
        strtoul_ = fn<StrtoulFn>("strtoul");
        strtoll_ = fn<StrtollFn>("strtoll");
        strtoull_ = fn<StrtoullFn>("strtoull");
    }

    struct Parsed {
        uint64_t value;
        ptrdiff_t end;
    };

    // The four functions agree on every input below (bases 0 and 2..36); each parse
    // is checked against the others and returned once.
    Parsed parse_all(const char *s, int base) {
        char *end_l = nullptr, *end_ul = nullptr, *end_ll = nullptr, *end_ull = nullptr;
        uint64_t l = static_cast<uint64_t>(strtol_(s, &end_l, base));
        uint64_t ul = strtoul_(s, &end_ul, base);
        uint64_t ll = static_cast<uint64_t>(strtoll_(s, &end_ll, base));
        uint64_t ull = strtoull_(s, &end_ull, base);
        EXPECT_EQ(l, ul) << s;
        EXPECT_EQ(l, ll) << s;
        EXPECT_EQ(l, ull) << s;
        EXPECT_EQ(end_l, end_ul) << s;
        EXPECT_EQ(end_l, end_ll) << s;
        EXPECT_EQ(end_l, end_ull) << s;
        return {l, end_l - s};
    }

    void expect_parse(const char *s, int base, uint64_t value, ptrdiff_t end) {
        Parsed p = parse_all(s, base);
        EXPECT_EQ(p.value, value) << '"' << s << "\" base " << base;
        EXPECT_EQ(p.end, end) << '"' << s << "\" base " << base;
    }
};

TEST_F(IntegerParseTest, WhiteSpaceAndSign) {
    expect_parse("  -42xyz", 10, static_cast<uint64_t>(-42), 5);
    expect_parse("\t\n\v\f\r 7", 10, 7, 7);
    expect_parse("+15", 10, 15, 3);
    expect_parse("-0", 10, 0, 2);
    expect_parse("+-1", 10, 0, 0);   // one sign byte only
    expect_parse("--1", 10, 0, 0);
    expect_parse(" - 1", 10, 0, 0);  // no white space after the sign
    expect_parse("\x1c" "5", 10, 0, 0);  // 28 is not white space
    expect_parse("\xa0" "5", 10, 0, 0);  // nor is 160
    expect_parse("", 10, 0, 0);
    expect_parse("   ", 10, 0, 0);
    expect_parse("-", 10, 0, 0);
}

TEST_F(IntegerParseTest, BaseZeroChoosesFromThePrefix) {
    expect_parse("0x1F", 0, 31, 4);
    expect_parse("0X1f", 0, 31, 4);
    expect_parse("017", 0, 15, 3);
    expect_parse("0", 0, 0, 1);
    expect_parse("08", 0, 0, 1);     // 8 is not octal: the 0 alone
    expect_parse("123", 0, 123, 3);
    expect_parse(" -0x10", 0, static_cast<uint64_t>(-16), 6);
    expect_parse("0x", 0, 0, 0);     // a prefix without digits is no number
    expect_parse("0xg", 0, 0, 0);
}

TEST_F(IntegerParseTest, BaseSixteenSkipsAnOptionalPrefix) {
    expect_parse("0xg", 16, 0, 0);
    expect_parse("  0xg", 16, 0, 0);
    expect_parse("0x1A", 16, 26, 4);
    expect_parse("1A", 16, 26, 2);
    expect_parse("0X", 16, 0, 0);
    expect_parse("ffffffffffffffff", 16, UINT64_MAX, 16);
}

TEST_F(IntegerParseTest, OtherBasesTakeNoPrefix) {
    expect_parse("0x1F", 10, 0, 1);
    expect_parse("0x1F", 8, 0, 1);
    expect_parse("0x1F", 36, 0 * 36 * 36 * 36 + 33ull * 36 * 36 + 1 * 36 + 15, 4);
    expect_parse("1011012", 2, 45, 6);
    expect_parse("777", 8, 511, 3);
    expect_parse("zZ", 36, 35 * 36 + 35, 2);
    expect_parse("Yy!", 35, 34 * 35 + 34, 2);  // y is 34, which base 35 allows
    expect_parse("Yy!", 34, 0, 0);
    expect_parse("9", 9, 0, 0);
}

TEST_F(IntegerParseTest, DigitsAreReadFromTheLowEightBitsOnly) {
    // Bytes above 127 are no digit even when their low seven bits would be one.
    expect_parse("1\xb1", 10, 1, 1);
    expect_parse("\xe1", 36, 0, 0);
}

TEST_F(IntegerParseTest, OverflowWrapsModuloTwoToThe64) {
    expect_parse("-1", 10, UINT64_MAX, 2);
    expect_parse("18446744073709551615", 10, UINT64_MAX, 20);
    expect_parse("18446744073709551616", 10, 0, 20);
    expect_parse("18446744073709551617", 10, 1, 20);
    expect_parse("9223372036854775808", 10, uint64_t{1} << 63, 19);
    EXPECT_EQ(strtol_("9223372036854775808", nullptr, 10), INT64_MIN);
    EXPECT_EQ(strtoul_("-1", nullptr, 10), 18446744073709551615ul);
    EXPECT_EQ(strtoll_("-9223372036854775809", nullptr, 10), INT64_MAX);
    expect_parse("1000000000000000000000000", 16, 0, 25);
}

TEST_F(IntegerParseTest, NullEndPointerIsAllowed) {
    EXPECT_EQ(strtol_("12", nullptr, 10), 12);
    EXPECT_EQ(strtoul_("12", nullptr, 10), 12u);
    EXPECT_EQ(strtoll_("12", nullptr, 10), 12);
    EXPECT_EQ(strtoull_("12", nullptr, 10), 12u);
}

TEST_F(IntegerParseTest, NullStringReadsNothing) {
    char *end = reinterpret_cast<char *>(1);
    EXPECT_EQ(strtol_(nullptr, &end, 10), 0);
    EXPECT_EQ(end, nullptr);
    end = reinterpret_cast<char *>(1);
    EXPECT_EQ(strtoul_(nullptr, &end, 0), 0u);
    EXPECT_EQ(end, nullptr);
    end = reinterpret_cast<char *>(1);
    EXPECT_EQ(strtoll_(nullptr, &end, 16), 0);
    EXPECT_EQ(end, nullptr);
    end = reinterpret_cast<char *>(1);
    EXPECT_EQ(strtoull_(nullptr, &end, 37), 0u);
    EXPECT_EQ(end, nullptr);
}

TEST_F(IntegerParseTest, StrtolRejectsBasesOutsideTwoToThirtySix) {
    for (int base : {1, 37, -1, -16, 100, INT32_MIN, INT32_MAX}) {
        for (const char *s : {"0", "10", " z", "0x10"}) {
            char *end = nullptr;
            EXPECT_EQ(strtol_(s, &end, base), 0) << s << " base " << base;
            EXPECT_EQ(end, s);
            end = nullptr;
            EXPECT_EQ(strtoul_(s, &end, base), 0u) << s << " base " << base;
            EXPECT_EQ(end, s);
        }
    }
}

TEST_F(IntegerParseTest, StrtoullTakesAnyBaseAsPassed) {
    const char *s = "z";
    char *end = nullptr;
    EXPECT_EQ(strtoull_(s, &end, 37), 35u);
    EXPECT_EQ(end, s + 1);
    // Base 1 accepts the digit 0 only.
    s = "0001";
    EXPECT_EQ(strtoull_(s, &end, 1), 0u);
    EXPECT_EQ(end, s + 3);
    s = "1";
    EXPECT_EQ(strtoull_(s, &end, 1), 0u);
    EXPECT_EQ(end, s);
    // A base above 36 accepts every digit and letter, and multiplies by the base.
    s = "-zz!";
    EXPECT_EQ(strtoull_(s, &end, 100), static_cast<unsigned long long>(-(35 * 100 + 35)));
    EXPECT_EQ(end, s + 3);
    // A negative base accepts nothing.
    s = " 123";
    EXPECT_EQ(strtoull_(s, &end, -5), 0u);
    EXPECT_EQ(end, s);
    // strtoll is strtoull read as signed, whatever the base.
    for (int base : {1, 37, 64, -3, 0, 16, 36})
        for (const char *t : {"-zz", "0001", "  -0x7fffffffffffffff", "ZZZZZZZZZZZZZZZZ"}) {
            char *end_ll = nullptr;
            char *end_ull = nullptr;
            EXPECT_EQ(strtoll_(t, &end_ll, base), static_cast<long long>(strtoull_(t, &end_ull, base)));
            EXPECT_EQ(end_ll, end_ull);
        }
}

TEST_F(IntegerParseTest, MatchesAReferenceScanOverManyInputs) {
    // Every base from 2 to 36, signs, and digit strings long enough to wrap.
    const char alphabet[] = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ.-";
    uint64_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<unsigned>(seed >> 33);
    };
    for (int round = 0; round < 3000; round++) {
        int base = 2 + static_cast<int>(next() % 35);
        std::string s(next() % 3, ' ');
        if (next() % 3 == 0)
            s += next() % 2 ? '-' : '+';
        size_t digits = next() % 30;
        for (size_t i = 0; i < digits; i++)
            s += alphabet[next() % (sizeof alphabet - 1)];
        size_t p = s.find_first_not_of(' ');
        bool negative = false;
        if (p != std::string::npos && (s[p] == '-' || s[p] == '+'))
            negative = s[p++] == '-';
        if (base == 16 && p != std::string::npos && p + 1 < s.size() && s[p] == '0' &&
            (s[p + 1] == 'x' || s[p + 1] == 'X'))
            p += 2;
        uint64_t value = 0;
        size_t start = p;
        for (; p < s.size(); p++) {
            char c = s[p];
            int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'z' ? c - 'a' + 10 : c >= 'A' && c <= 'Z' ? c - 'A' + 10 : 99;
            if (d >= base)
                break;
            value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
        }
        bool any = p != start && start != std::string::npos;
        expect_parse(s.c_str(), base, any ? (negative ? 0 - value : value) : 0, any ? static_cast<ptrdiff_t>(p) : 0);
    }
}

} // namespace
} // namespace lbw::test
