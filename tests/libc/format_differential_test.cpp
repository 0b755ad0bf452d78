// snprintf and vsnprintf against a straightforward character-at-a-time formatter that
// follows the documented rules, over many random formats (literal text, every known and
// unknown conversion, widths, precisions, flags and length modifiers), arguments and
// destination sizes. Every byte of the destination and the count must agree.
#include "tests/support/library_test.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace lbw::test {
namespace {

// The reference: every character through one append rule, exactly as documented.
class ReferenceFormatter {
public:
    ReferenceFormatter(char *dst, size_t n) : cursor_(dst), remaining_(n) {}

    void put(char c) {
        if (remaining_ >= 2) {
            *cursor_++ = c;
            remaining_--;
        }
        count_++;
    }
    void put(const char *s) {
        for (; *s; s++)
            put(*s);
    }
    void put_unsigned(uint64_t value, unsigned base, bool upper) {
        const char *digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
        std::string reversed;
        do {
            reversed.push_back(digits[value % base]);
            value /= base;
        } while (value != 0);
        for (size_t i = reversed.size(); i-- > 0;)
            put(reversed[i]);
    }
    void put_fixed(double v) {
        if (std::isnan(v))
            return put("nan");
        if (v < 0) {
            put('-');
            v = -v;
        }
        if (std::isinf(v))
            return put("inf");
        double fraction = 0;
        if (v < 18446744073709551616.0) {
            uint64_t integral = static_cast<uint64_t>(v);
            put_unsigned(integral, 10, false);
            fraction = v - static_cast<double>(integral);
        } else {
            char exact[400]; // the host's C library prints integral doubles exactly
            std::snprintf(exact, sizeof exact, "%.0f", v);
            put(exact);
        }
        put('.');
        for (int i = 0; i < 6; i++) {
            fraction *= 10;
            int32_t digit = static_cast<int32_t>(fraction);
            put(static_cast<char>('0' + digit));
            fraction -= digit;
        }
    }
    char *cursor() const { return cursor_; }
    uint32_t count() const { return count_; }

private:
    char *cursor_;
    uint64_t remaining_;
    uint32_t count_ = 0;
};

int reference_vsnprintf(char *dst, size_t n, const char *fmt, va_list ap) {
    ReferenceFormatter out(dst, n);
    if (n != 0)
        dst[0] = 0;
    if (!fmt)
        fmt = "";
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    while (*fmt) {
        char c = *fmt++;
        if (c != '%') {
            out.put(c);
            continue;
        }
        if (*fmt == '%') {
            out.put('%');
            fmt++;
            continue;
        }
        while (digit(*fmt))
            fmt++;
        if (*fmt == '.')
            for (fmt++; digit(*fmt);)
                fmt++;
        bool wide = false;
        for (;; fmt++) {
            if (*fmt == 'l' || *fmt == 'j' || *fmt == 'z' || *fmt == 't')
                wide = true;
            else if (*fmt != 'h')
                break;
        }
        if (*fmt == 0) {
            out.put('?');
            break;
        }
        char conversion = *fmt++;
        switch (conversion) {
        case 'd':
        case 'i':
        case 'I': {
            int64_t value = wide ? va_arg(ap, int64_t) : va_arg(ap, int);
            uint64_t magnitude = static_cast<uint64_t>(value);
            if (value < 0) {
                out.put('-');
                magnitude = 0 - magnitude;
            }
            out.put_unsigned(magnitude, 10, false);
            break;
        }
        case 'u':
        case 'x':
        case 'X': {
            uint64_t value = wide ? va_arg(ap, uint64_t) : va_arg(ap, unsigned);
            out.put_unsigned(value, conversion == 'u' ? 10 : 16, conversion == 'X');
            break;
        }
        case 'p':
            out.put("0x");
            out.put_unsigned(reinterpret_cast<uintptr_t>(va_arg(ap, void *)), 16, false);
            break;
        case 'c':
            out.put(static_cast<char>(va_arg(ap, int)));
            break;
        case 's': {
            const char *s = va_arg(ap, const char *);
            out.put(s ? s : "(null)");
            break;
        }
        case 'f':
            out.put_fixed(va_arg(ap, double));
            break;
        default:
            out.put('?');
            break;
        }
    }
    if (n != 0)
        *out.cursor() = 0;
    return static_cast<int>(out.count());
}

using SnprintfFn = int(char *, size_t, const char *, ...);
using VsnprintfFn = int(char *, size_t, const char *, va_list);

constexpr int kIntegerArguments = 12; // three in registers, the rest on the stack
constexpr int kRealArguments = 8;     // all in vector registers

VsnprintfFn *gVsnprintf;
VsnprintfFn *gReference = &reference_vsnprintf;

// Both formatters receive exactly the same argument list, whatever the format takes.
template <VsnprintfFn **Target>
int call(char *dst, size_t n, const char *fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    int count = (*Target)(dst, n, fmt, ap);
    va_end(ap);
    return count;
}

constexpr int kNotAString = -1;
constexpr int kNullString = -2;

struct Case {
    std::string format;
    std::vector<uint64_t> integers; // the integer-class arguments in order
    std::vector<int> string_of;     // for each: kNotAString, kNullString or an index into strings
    std::vector<double> reals;
    std::vector<std::string> strings;

    void add_integer(uint64_t value) {
        integers.push_back(value);
        string_of.push_back(kNotAString);
    }
    void add_string(std::string text, bool null) {
        integers.push_back(0);
        string_of.push_back(null ? kNullString : static_cast<int>(strings.size()));
        strings.push_back(std::move(text));
    }
};

class FormatDifferentialTest : public LibraryTest {
protected:
    std::mt19937_64 random{20261206};

    uint64_t below(uint64_t n) { return random() % n; }

    uint64_t integer() {
        switch (below(6)) {
        case 0:
            return below(10);
        case 1:
            return static_cast<uint64_t>(-static_cast<int64_t>(below(1000)));
        case 2:
            return uint64_t{1} << below(64);
        case 3:
            return static_cast<uint32_t>(random());
        case 4:
            return below(2) ? uint64_t{0x80000000} : uint64_t{0x8000000000000000};
        default:
            return random();
        }
    }

    double real() {
        switch (below(8)) {
        case 0:
            return static_cast<double>(static_cast<int64_t>(random())) / static_cast<double>(1 + below(1000000));
        case 1:
            return std::ldexp(static_cast<double>(random() >> 11), static_cast<int>(below(200)) - 100);
        case 2:
            return std::ldexp(1.0, static_cast<int>(below(80))) * (below(2) ? 1 : -1);
        case 3: {
            const double special[] = {0.0, -0.0, std::numeric_limits<double>::infinity(),
                -std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN(),
                -std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::max(),
                std::numeric_limits<double>::denorm_min(), 2147483648.0, 18446744073709551616.0, 0.1, 2.675};
            return special[below(std::size(special))];
        }
        case 4:
            return static_cast<double>(below(100000)) / 1000.0;
        default: {
            double v;
            uint64_t bits = random();
            std::memcpy(&v, &bits, sizeof v);
            return v;
        }
        }
    }

    std::string text(size_t max_length, bool percent_free) {
        std::string s;
        size_t length = below(max_length + 1);
        for (size_t i = 0; i < length; i++) {
            char c = static_cast<char>(1 + below(255));
            if (percent_free && c == '%')
                c = 'P';
            s.push_back(c);
        }
        return s;
    }

    // A random format whose conversions take at most the arguments on offer, with the
    // arguments to match.
    Case make_case() {
        static const char conversions[] = "diIuxXpcsf%eEgGaonqL+- #*Ck";
        Case c;
        int integers = 0, reals = 0;
        size_t pieces = below(12);
        for (size_t i = 0; i < pieces; i++) {
            if (below(3) == 0) {
                c.format += text(below(4) == 0 ? 200 : 12, true);
                continue;
            }
            std::string directive = "%";
            if (below(3) == 0)
                directive += std::to_string(below(below(2) ? 10 : 100000));
            if (below(4) == 0) {
                directive += '.';
                if (below(2))
                    directive += std::to_string(below(20));
            }
            for (size_t m = below(4) == 0 ? below(4) : 0; m > 0; m--)
                directive += "hlljzt"[below(6)];
            char conversion = conversions[below(sizeof conversions - 1)];
            directive += conversion;
            bool takes_integer = std::strchr("diIuxXpcs", conversion) != nullptr;
            if (takes_integer && integers == kIntegerArguments)
                continue;
            if (conversion == 'f' && reals == kRealArguments)
                continue;
            c.format += directive;
            if (conversion == 's') {
                integers++;
                c.add_string(text(below(8) == 0 ? 300 : 20, false), below(10) == 0);
            } else if (takes_integer) {
                integers++;
                c.add_integer(integer());
            } else if (conversion == 'f') {
                reals++;
                c.reals.push_back(real());
            }
        }
        if (below(10) == 0) // a specifier cut off by the end of the format
            c.format += std::string("%") + (below(2) ? "12" : "") + (below(2) ? ".3" : "") + (below(2) ? "ll" : "");
        return c;
    }

    // Runs one case through `Target` into a fresh sentinel-filled buffer.
    template <VsnprintfFn **Target>
    std::pair<int, std::vector<char>> run(const Case &c, size_t n, bool null_destination) {
        std::vector<char> buffer(512 + 16, static_cast<char>(0xA5));
        uint64_t a[kIntegerArguments] = {};
        double r[kRealArguments] = {};
        for (size_t i = 0; i < c.integers.size(); i++) {
            int string = c.string_of[i];
            a[i] = string == kNotAString ? c.integers[i]
                   : string == kNullString ? 0
                                           : reinterpret_cast<uint64_t>(c.strings[static_cast<size_t>(string)].c_str());
        }
        for (size_t i = 0; i < c.reals.size(); i++)
            r[i] = c.reals[i];
        char *dst = null_destination ? nullptr : buffer.data() + 8;
        int count = call<Target>(dst, n, c.format.c_str(), a[0], a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8],
            a[9], a[10], a[11], r[0], r[1], r[2], r[3], r[4], r[5], r[6], r[7]);
        return {count, buffer};
    }
};

TEST_F(FormatDifferentialTest, RandomFormatsMatchTheCharacterAtATimeFormatter) {
    gVsnprintf = fn<VsnprintfFn>("vsnprintf");
    auto snprintf_ = fn<SnprintfFn>("snprintf");
    for (int iteration = 0; iteration < 20000; iteration++) {
        Case c = make_case();
        size_t n;
        switch (below(4)) {
        case 0:
            n = below(4);
            break;
        case 1:
            n = 512;
            break;
        default:
            n = below(301);
        }
        bool null_destination = n == 0 && below(2);
        auto want = run<&gReference>(c, n, null_destination);
        auto got = run<&gVsnprintf>(c, n, null_destination);
        ASSERT_EQ(got.first, want.first) << "format \"" << c.format << "\" n=" << n;
        ASSERT_EQ(got.second, want.second) << "format \"" << c.format << "\" n=" << n;
        if (iteration % 8 == 0 && c.reals.empty() && c.integers.empty()) {
            // The variadic entry point with the same (argument-free) format.
            std::vector<char> buffer(512 + 16, static_cast<char>(0xA5));
            char *dst = null_destination ? nullptr : buffer.data() + 8;
            ASSERT_EQ(snprintf_(dst, n, c.format.c_str()), want.first);
            ASSERT_EQ(buffer, want.second) << "snprintf, format \"" << c.format << "\" n=" << n;
        }
    }
}

// Long strings and long literal runs against every destination size around them.
TEST_F(FormatDifferentialTest, LongStringsAndLiteralRunsAtEveryCut) {
    gVsnprintf = fn<VsnprintfFn>("vsnprintf");
    std::string long_text = text(400, true) + std::string(100, 'x');
    std::string format = "<" + long_text.substr(0, 90) + "%s|%d|%s>" + long_text.substr(90, 40);
    Case c{format, {}, {}, {}, {}};
    c.add_string(long_text, false);
    c.add_integer(static_cast<uint64_t>(-77));
    c.add_string("", true);
    for (size_t n = 0; n <= 512; n++) {
        auto want = run<&gReference>(c, n, false);
        auto got = run<&gVsnprintf>(c, n, false);
        ASSERT_EQ(got.first, want.first) << "n=" << n;
        ASSERT_EQ(got.second, want.second) << "n=" << n;
    }
}

// %s copies whole 16-byte blocks from a block boundary of the string on: strings at
// every offset from such a boundary, of many lengths, into destinations that end before,
// inside and after them.
TEST_F(FormatDifferentialTest, StringsAtEveryAlignmentAndCut) {
    gVsnprintf = fn<VsnprintfFn>("vsnprintf");
    alignas(64) static char storage[64 + 400 + 64];
    for (size_t offset = 0; offset < 48; offset++) {
        for (size_t length = 0; length <= 300; length += (length < 70 ? 1 : 23)) {
            for (size_t i = 0; i < sizeof storage; i++)
                storage[i] = static_cast<char>(1 + random() % 255);
            char *text = storage + offset;
            text[length] = 0;
            for (size_t n : {size_t{0}, size_t{1}, size_t{2}, size_t{17}, size_t{64}, size_t{65}, length, length + 1,
                             length + 2, length > 0 ? length - 1 : 3, size_t{512}}) {
                if (n > 512)
                    continue;
                auto run = [&](bool reference) {
                    std::vector<char> buffer(512 + 16, static_cast<char>(0xA5));
                    int count = reference ? call<&gReference>(buffer.data() + 8, n, "%s", text)
                                          : call<&gVsnprintf>(buffer.data() + 8, n, "%s", text);
                    return std::make_pair(count, buffer);
                };
                ASSERT_EQ(run(false), run(true)) << "offset " << offset << " length " << length << " n " << n;
            }
        }
    }
}

// Strings that end on the last byte of a page followed by an inaccessible one: reading
// ahead in blocks must never touch the next page.
TEST_F(FormatDifferentialTest, StringsEndingAtAPageEdge) {
    gVsnprintf = fn<VsnprintfFn>("vsnprintf");
    const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    auto *base = static_cast<char *>(mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(base, MAP_FAILED);
    ASSERT_EQ(mprotect(base + page, page, PROT_NONE), 0);
    for (size_t length = 0; length <= 300; length++) {
        char *text = base + page - length - 1;
        for (size_t i = 0; i < length; i++)
            text[i] = static_cast<char>('a' + random() % 26);
        text[length] = 0;
        for (size_t n : {size_t{0}, size_t{1}, length / 2, length, length + 1, size_t{512}}) {
            std::vector<char> got(512 + 16, 'Z'), want(512 + 16, 'Z');
            int count = call<&gVsnprintf>(got.data() + 8, n, "<%s>", text);
            ASSERT_EQ(count, call<&gReference>(want.data() + 8, n, "<%s>", text)) << "length " << length;
            ASSERT_EQ(got, want) << "length " << length << " n " << n;
        }
    }
    munmap(base, 2 * page);
}

} // namespace
} // namespace lbw::test
