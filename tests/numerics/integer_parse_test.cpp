// strtol, strtoul, strtoll, strtoull: white space, signs, bases, prefixes, end positions,
// wrapping, and the points where the two scanners differ.
#include "tests/support/library_test.h"

#include <cstdint>

namespace lbw::test {
namespace {

using Scanner = unsigned long long(const char *, char **, int); // all four, as bits

class IntegerParseTest : public LibraryTest {
protected:
    Scanner *scanner(const char *name) { return fn<Scanner>(name); }
};

// For bases 0 and 2..36 the four functions agree: value and end position.
const struct {
    const char *text;
    int base;
    uint64_t value;
    int end;
} kAgreed[] = {
    {"  -42xyz", 10, static_cast<uint64_t>(-42), 5}, {"\t\n\v\f\r 7", 10, 7, 7}, {"+15", 10, 15, 3}, {"-0", 10, 0, 2},
    {"+-1", 10, 0, 0}, {"--1", 10, 0, 0}, {" - 1", 10, 0, 0}, // one sign byte, no space after it
    {"\x1c" "5", 10, 0, 0}, {"\xa0" "5", 10, 0, 0},              // 28 and 160 are not white space
    {"", 10, 0, 0}, {"   ", 10, 0, 0}, {"-", 10, 0, 0},
    // Base 0 chooses from the prefix; a prefix without digits is no number.
    {"0x1F", 0, 31, 4}, {"0X1f", 0, 31, 4}, {"017", 0, 15, 3}, {"0", 0, 0, 1}, {"08", 0, 0, 1}, {"123", 0, 123, 3},
    {" -0x10", 0, static_cast<uint64_t>(-16), 6}, {"0x", 0, 0, 0}, {"0xg", 0, 0, 0},
    // Base 16 skips an optional prefix.
    {"0xg", 16, 0, 0}, {"  0xg", 16, 0, 0}, {"0x1A", 16, 26, 4}, {"1A", 16, 26, 2}, {"0X", 16, 0, 0},
    {"ffffffffffffffff", 16, UINT64_MAX, 16},
    // Other bases take no prefix.
    {"0x1F", 10, 0, 1}, {"0x1F", 8, 0, 1}, {"0x1F", 36, 33ull * 36 * 36 + 1 * 36 + 15, 4}, {"1011012", 2, 45, 6},
    {"777", 8, 511, 3}, {"zZ", 36, 35 * 36 + 35, 2}, {"Yy!", 35, 34 * 35 + 34, 2}, {"Yy!", 34, 0, 0}, {"9", 9, 0, 0},
    // Only the low eight bits count: bytes above 127 are no digit.
    {"1\xb1", 10, 1, 1}, {"\xe1", 36, 0, 0},
    // Wrapping modulo 2^64, no clamping.
    {"-1", 10, UINT64_MAX, 2}, {"18446744073709551615", 10, UINT64_MAX, 20}, {"18446744073709551616", 10, 0, 20},
    {"18446744073709551617", 10, 1, 20}, {"9223372036854775808", 10, uint64_t{1} << 63, 19},
    {"-9223372036854775809", 10, uint64_t{INT64_MAX}, 20}, {"1000000000000000000000000", 16, 0, 25},
};

TEST_F(IntegerParseTest, AllFourAgreeForBasesZeroAndTwoToThirtySix) {
    for (const char *name : {"strtol", "strtoul", "strtoll", "strtoull"}) {
        Scanner *scan = scanner(name);
        for (const auto &c : kAgreed) {
            char *end = nullptr;
            EXPECT_EQ(scan(c.text, &end, c.base), c.value) << name << "(\"" << c.text << "\", " << c.base << ")";
            EXPECT_EQ(end - c.text, c.end) << name << "(\"" << c.text << "\", " << c.base << ")";
            EXPECT_EQ(scan(c.text, nullptr, c.base), c.value) << name << " without an end pointer";
        }
        // A NULL string reads nothing: 0, end = NULL.
        char *end = reinterpret_cast<char *>(1);
        EXPECT_EQ(scan(nullptr, &end, 10), 0u) << name;
        EXPECT_EQ(end, nullptr) << name;
    }
    EXPECT_EQ(fn<long(const char *, char **, int)>("strtol")("9223372036854775808", nullptr, 10), INT64_MIN);
    EXPECT_EQ(fn<unsigned long(const char *, char **, int)>("strtoul")("-1", nullptr, 10), 18446744073709551615ul);
}

TEST_F(IntegerParseTest, StrtolAndStrtoulRejectOtherBases) {
    for (const char *name : {"strtol", "strtoul"})
        for (int base : {1, 37, -1, -16, 100, INT32_MIN, INT32_MAX})
            for (const char *s : {"0", "10", " z", "0x10"}) {
                char *end = nullptr;
                EXPECT_EQ(scanner(name)(s, &end, base), 0u) << name << "(\"" << s << "\", " << base << ")";
                EXPECT_EQ(end, s);
            }
}

TEST_F(IntegerParseTest, StrtoullTakesAnyBaseAsPassed) {
    // Base 1 accepts the digit 0 only; above 36 every digit and letter, multiplied by
    // the base; a negative base nothing.
    const struct { const char *text; int base; uint64_t value; int end; } cases[] = {
        {"z", 37, 35, 1}, {"0001", 1, 0, 3}, {"1", 1, 0, 0}, {"-zz!", 100, static_cast<uint64_t>(-3535), 3},
        {" 123", -5, 0, 0}};
    for (auto c : cases) {
        char *end = nullptr;
        EXPECT_EQ(scanner("strtoull")(c.text, &end, c.base), c.value) << c.text << ", " << c.base;
        EXPECT_EQ(end - c.text, c.end) << c.text << ", " << c.base;
    }
    // strtoll is strtoull read as signed, whatever the base.
    for (int base : {1, 37, 64, -3, 0, 16, 36})
        for (const char *t : {"-zz", "0001", "  -0x7fffffffffffffff", "ZZZZZZZZZZZZZZZZ"}) {
            char *end_ll = nullptr, *end_ull = nullptr;
            EXPECT_EQ(scanner("strtoll")(t, &end_ll, base), scanner("strtoull")(t, &end_ull, base)) << t << ", " << base;
            EXPECT_EQ(end_ll, end_ull);
        }
}

} // namespace
} // namespace lbw::test
