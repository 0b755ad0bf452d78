// snprintf and vsnprintf over random formats: each piece's text comes from glibc (widths,
// precisions and flags are skipped, so a known conversion prints as glibc's plain one),
// an unknown conversion prints "?" and takes no argument; the destination, cut at any
// size, holds a prefix of the whole text and the count is its whole length. The table
// lists where the formatter deliberately differs from glibc.
#include "tests/support/library_test.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <deque>
#include <random>
#include <string>
#include <vector>

namespace lbw::test {
namespace {

using SnprintfFn = int(char *, size_t, const char *, ...);
using VsnprintfFn = int(char *, size_t, const char *, va_list);

std::string glibc(const char *fmt, ...) {
    char text[400];
    va_list ap;
    va_start(ap, fmt);
    int n = std::vsnprintf(text, sizeof text, fmt, ap);
    va_end(ap);
    return std::string(text, static_cast<size_t>(n));
}

VsnprintfFn *gVsnprintf;
int call_vsnprintf(char *dst, size_t n, const char *fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    int count = gVsnprintf(dst, n, fmt, ap);
    va_end(ap);
    return count;
}

class FormatTest : public LibraryTest {
protected:
    std::mt19937_64 random{20261206};
    uint64_t below(uint64_t n) { return random() % n; }
    std::string text(size_t most) {
        std::string s;
        for (size_t n = below(most + 1); n > 0; n--)
            s.push_back(static_cast<char>(1 + below(255)));
        return s;
    }
};

TEST_F(FormatTest, RandomFormatsGiveGlibcsTextCutToSize) {
    gVsnprintf = fn<VsnprintfFn>("vsnprintf");
    auto snprintf_ = fn<SnprintfFn>("snprintf");
    const double specials[] = {0.0, -0.0, INFINITY, -INFINITY, NAN, -NAN, DBL_MAX, DBL_TRUE_MIN, 0x1p64, 0x1p31};
    for (int round = 0; round < 20000; round++) {
        std::string format, expected;
        uint64_t a[12] = {}; // integer arguments: three in registers, the rest on the stack
        double r[8] = {};    // all in vector registers, so the two lists stay apart
        int integers = 0, reals = 0;
        std::deque<std::string> strings;
        for (size_t pieces = below(12); pieces > 0; pieces--) {
            std::string directive = "%" + (below(3) ? "" : std::to_string(below(100000))) +
                               (below(4) ? "" : below(2) ? "." : "." + std::to_string(below(20)));
            for (size_t m = below(4) == 0 ? below(4) : 0; m > 0; m--)
                directive += "hlljzt"[below(6)];
            const bool wide = directive.find_first_of("ljzt") != std::string::npos;
            const char conversion = "diIuxXpcsf???"[below(13)];
            if (conversion == '?') { // literal text, or a conversion the formatter does not know
                const char unknown = "eEgGaonqL+- #*Ck%"[below(17)];
                std::string literal = text(below(4) ? 12 : 200);
                std::replace(literal.begin(), literal.end(), '%', 'P');
                const bool is_literal = below(3) == 0;
                format += is_literal ? literal : directive + unknown;
                expected += is_literal ? literal : directive == "%" && unknown == '%' ? "%" : "?";
                continue;
            }
            if (conversion == 'f' ? reals == 8 : integers == 12)
                continue;
            format += directive + conversion;
            if (conversion == 'f') { // six binary fraction digits at most: exact decimals
                double v = below(4) == 0 ? specials[below(std::size(specials))]
                                         : std::ldexp(static_cast<double>(random() >> below(64)) * (below(2) ? 1 : -1),
                                                      below(4) ? -6 : static_cast<int>(below(960)));
                r[reals++] = v;
                expected += std::isnan(v) ? "nan" : glibc("%f", v == 0 ? 0.0 : v);
                continue;
            }
            uint64_t &arg = a[integers++];
            arg = below(3) == 0 ? below(10) - 5 : below(2) ? random() : random() >> below(64);
            if (conversion == 's' && below(10) == 0) {
                arg = 0, expected += "(null)";
            } else if (conversion == 's') {
                strings.push_back(text(below(8) ? 20 : 300));
                arg = reinterpret_cast<uintptr_t>(strings.back().c_str()), expected += strings.back();
            } else if (conversion == 'p') {
                expected += glibc("0x%llx", arg);
            } else if (conversion == 'c') {
                expected += static_cast<char>(arg);
            } else {
                const char letter = conversion == 'I' ? 'd' : conversion;
                const char wide_format[] = {'%', 'l', 'l', letter, 0}, plain_format[] = {'%', letter, 0};
                expected += wide ? glibc(wide_format, arg) : glibc(plain_format, static_cast<uint32_t>(arg));
            }
        }
        if (below(10) == 0) { // a specifier cut off by the end of the format
            format += std::string("%") + (below(2) ? "12" : "") + (below(2) ? ".3" : "") + (below(2) ? "ll" : "");
            expected += "?";
        }
        const size_t length = expected.size(), n = below(2) ? below(length + 3) : length + 1 + below(100);
        std::vector<char> buffer(length + 128, 'Z');
        char *dst = n == 0 && below(2) ? nullptr : buffer.data();
        int count = (below(2) ? snprintf_ : &call_vsnprintf)(dst, n, format.c_str(), a[0], a[1], a[2], a[3], a[4], a[5],
            a[6], a[7], a[8], a[9], a[10], a[11], r[0], r[1], r[2], r[3], r[4], r[5], r[6], r[7]);
        ASSERT_EQ(count, static_cast<int>(length)) << "format \"" << format << "\" n " << n;
        std::string want = n ? expected.substr(0, n - 1) + '\0' : "";
        want.resize(buffer.size(), 'Z');
        ASSERT_EQ(std::string(buffer.data(), buffer.size()), want) << "format \"" << format << "\" n " << n;
    }
}

TEST_F(FormatTest, WhereTheFormatterDiffersFromGlibc) {
    auto format = [snprintf_ = fn<SnprintfFn>("snprintf")](const char *fmt, auto... args) {
        char text[400];
        return std::string(text, static_cast<size_t>(snprintf_(text, sizeof text, fmt, args...)));
    };
    const std::pair<std::string, std::string> rows[] = {
        {format("%5d|%05d|%12.8x|%.2s|%10s", 42, 42, 255, "abc", "abc"), "42|42|ff|abc|abc"},
        {format("%-5d|%+d|% d|%#x|%*d|%e %d", 7), "?5d|?d|?d|?x|?d|? 7"},
        {format("%5%|%Lf|%hd|%hhu", 1.0, 70000, 70000), "?|?f|70000|70000"},
        {format("%p", nullptr), "0x0"},
        {format("%f|%f|%f|%f|%.2f", 2.675, 1.0 / 3, 2.0 / 3, 0.1, 1.5), "2.674999|0.333333|0.666666|0.100000|1.500000"},
        {format("%f|%f|%f", -0.0, -0.0000001, -NAN), "0.000000|-0.000000|nan"},
    };
    for (const auto &[got, expected] : rows)
        EXPECT_EQ(got, expected);
    // Every power of two up to the largest double, and its neighbour below: exact digits.
    for (int e = 53; e <= 1023; e++)
        for (double v : {std::ldexp(1.0, e), std::nextafter(std::ldexp(1.0, e), 0.0)})
            ASSERT_EQ(format("%f", v), glibc("%f", v)) << v;
    // The format's terminator ends it, whatever follows; a null format is empty.
    const char dangling[][16] = {"ab%\0XYZ", "ab%5.\0XYZ", "ab%05.2hz\0XY"};
    for (const char *fmt : dangling)
        EXPECT_EQ(format(fmt), "ab?");
    EXPECT_EQ(format(nullptr), "");
}

} // namespace
} // namespace lbw::test
