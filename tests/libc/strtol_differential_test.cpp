// strtol and strtoul against a straightforward scanner written from the documented steps,
// over random strings of white space, signs, prefixes, digits, letters and other bytes,
// in every base from -2 to 40: the same value and the same end position.
#include "tests/support/library_test.h"

#include <cstdint>
#include <random>
#include <string>

namespace lbw::test {
namespace {

uint64_t reference_scan(const char *s, const char **end, int base) {
    *end = s;
    const char *p = s;
    while (*p == ' ' || (*p >= 9 && *p <= 13))
        p++;
    bool negative = *p == '-';
    if (*p == '+' || *p == '-')
        p++;
    bool prefix = p[0] == '0' && (p[1] == 'x' || p[1] == 'X');
    if (base == 16) {
        if (prefix)
            p += 2;
    } else if (base == 0) {
        if (prefix) {
            p += 2;
            base = 16;
        } else {
            base = p[0] == '0' ? 8 : 10;
        }
    } else if (base < 2 || base > 36) {
        return 0;
    }
    auto digit = [](char ch) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'z')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'Z')
            return c - 'A' + 10;
        return -1;
    };
    uint64_t value = 0;
    const char *first = p;
    for (; digit(*p) >= 0 && digit(*p) < base; p++)
        value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit(*p));
    if (p == first)
        return 0;
    *end = p;
    return negative ? 0 - value : value;
}

class StrtolDifferentialTest : public LibraryTest {};

TEST_F(StrtolDifferentialTest, RandomInputsInEveryBaseMatchTheStraightforwardScanner) {
    auto strtol_ = fn<long(const char *, char **, int)>("strtol");
    auto strtoul_ = fn<unsigned long(const char *, char **, int)>("strtoul");
    std::mt19937_64 random(31337);
    const std::string pieces[] = {" ", "\t", "\n\v\f\r", "+", "-", "0", "0x", "0X", "x", "9", "7", "1", "f", "F",
                                  "z", "Z", "g", "G", "9999999999", "18446744073709551616", "zzzzzzzzzzzzzzz",
                                  "\xff", "\x80", "/", ":", "@", "[", "`", "{", ".", "e"};
    for (int i = 0; i < 200000; i++) {
        std::string text;
        for (size_t n = random() % 8; n > 0; n--)
            text += pieces[random() % std::size(pieces)];
        if (random() % 4 == 0) // a longer run of digits and letters
            for (size_t n = random() % 30; n > 0; n--)
                text += "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"[random() % 62];
        int base = static_cast<int>(random() % 43) - 2;
        const char *want_end;
        uint64_t want = reference_scan(text.c_str(), &want_end, base);
        char *end = nullptr;
        ASSERT_EQ(static_cast<uint64_t>(strtol_(text.c_str(), &end, base)), want) << '"' << text << "\" base " << base;
        ASSERT_EQ(end, want_end) << '"' << text << "\" base " << base;
        ASSERT_EQ(strtoul_(text.c_str(), &end, base), want) << '"' << text << "\" base " << base;
        ASSERT_EQ(end, want_end);
    }
}

} // namespace
} // namespace lbw::test
