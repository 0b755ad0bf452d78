// Calendar time against glibc's UTC functions, which follow the same calendar: gmtime of
// times from seconds to beyond the limits of tm_year, mktime of fields far out of range
// against timegm, and strftime of every conversion.
#include "tests/support/library_test.h"

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <random>
#include <string>
#include <vector>

namespace lbw::test {
namespace {

// The library's struct tm: the nine standard members, which also lead glibc's.
using Fields = std::array<int, 9>;

Fields fields(const std::tm &tm) {
    return {tm.tm_sec, tm.tm_min, tm.tm_hour, tm.tm_mday, tm.tm_mon, tm.tm_year, tm.tm_wday, tm.tm_yday, tm.tm_isdst};
}

int std::tm::*const kMembers[] = {&std::tm::tm_sec,  &std::tm::tm_min, &std::tm::tm_hour,
                                  &std::tm::tm_mday, &std::tm::tm_mon, &std::tm::tm_year,
                                  &std::tm::tm_wday, &std::tm::tm_yday, &std::tm::tm_isdst};

// The first and last second whose year fits tm_year.
constexpr int64_t kFirst = -67768040609740800, kLast = 67768036191676799;

class TimeTest : public LibraryTest {
protected:
    std::mt19937_64 random{20261207};
    // Magnitudes spread evenly over the bit lengths: every scale up to 2^63 is met.
    int64_t any_time() {
        uint64_t bits = random() >> (random() % 64);
        return static_cast<int64_t>(random() % 2 ? bits : 0 - bits);
    }
    // Mostly within +-spread, now and then any int at all.
    int any_field(int spread) {
        return random() % 8 == 0 ? static_cast<int>(random()) : static_cast<int>(random() % (2 * spread + 1)) - spread;
    }
};

// gmtime of any time, difftime of any two, and mktime of fields far out of range.
TEST_F(TimeTest, GmtimeDifftimeAndMktimeMatchGlibc) {
    auto gmtime_ = fn<Fields *(const int64_t *)>("gmtime");
    auto difftime_ = fn<double(int64_t, int64_t)>("difftime");
    auto mktime_ = fn<int64_t(Fields *)>("mktime");
    const int spreads[] = {200000, 5000, 500, 2000, 100, 12000, 10, 400, 1}; // tm_wday, tm_yday are ignored
    for (int i = 0; i < 200000; i++) {
        int64_t t = i < 6 ? std::array<int64_t, 6>{kFirst, kFirst - 1, kLast, kLast + 1, INT64_MIN, INT64_MAX}[i]
                          : any_time();
        std::tm expect{};
        bool fits = gmtime_r(&t, &expect) != nullptr;
        Fields *got = gmtime_(&t);
        ASSERT_EQ(got != nullptr, fits) << t;
        if (fits)
            ASSERT_EQ(*got, fields(expect)) << t;
        int64_t other = any_time();
        ASSERT_EQ(difftime_(t, other), difftime(t, other)) << t << " - " << other;
        for (int f = 0; f < 9; f++)
            expect.*kMembers[f] = any_field(spreads[f]);
        const Fields before = fields(expect);
        Fields normalised = before;
        t = mktime_(&normalised);
        errno = 0;
        ASSERT_EQ(t, timegm(&expect)) << ::testing::PrintToString(before);
        // After a failure the library leaves every field alone; glibc sets tm_isdst.
        ASSERT_EQ(normalised, errno == EOVERFLOW ? before : fields(expect)) << testing::PrintToString(before);
    }
    int64_t t = 1234567890;
    Fields local;
    EXPECT_EQ(fn<Fields *(const int64_t *)>("localtime")(&t), gmtime_(&t)) << "one shared result";
    EXPECT_EQ(*fn<Fields *(const int64_t *, Fields *)>("localtime_r")(&t, &local), *gmtime_(&t));
}

TEST_F(TimeTest, StrftimeMatchesGlibcForEveryConversion) {
    auto strftime_ = fn<size_t(char *, size_t, const char *, const std::tm *)>("strftime");
    std::vector<std::string> formats = {"%Q %Ea %EU %OY %Oa %", "%c|%D|%x"}; // unknown directives are copied
    for (auto [prefix, letters] : {std::pair{"%", "aAbBcCdDeFgGhHIjmMnprRStTuUVwWxXyYzZ%"}, {"%E", "cCxXyY"},
                                   {"%O", "deHImMSuUVwWy"}})
        for (const char *c = letters; *c; c++)
            formats.push_back(prefix + std::string(1, *c));
    for (int i = 0; i < 10000; i++) {
        // Mostly the years 0..9999 (from -62167219200 on), sometimes any year at all.
        int64_t t = i % 4 ? static_cast<int64_t>(random() % 315569520000) - 62167219200
                          : kFirst + static_cast<int64_t>(random() % uint64_t(kLast - kFirst));
        std::tm tm;
        gmtime_r(&t, &tm);
        tm.tm_zone = "UTC"; // glibc's gmtime says GMT; the machine's zone is called UTC
        for (const std::string &format : formats) {
            // glibc leaves the century of years 0..999 unpadded; C asks for two digits.
            std::string glibcs = format.back() == 'C' ? "%02" + format.substr(1) : format;
            char got[64], expect[64];
            std::memset(got, '#', sizeof got);
            size_t length = strftime(expect, sizeof expect, glibcs.c_str(), &tm);
            size_t size = random() % 2 ? sizeof got - 1 : random() % (length + 2);
            ASSERT_EQ(strftime_(got, size, format.c_str(), &tm), size > length ? length : 0) << format << " " << t;
            ASSERT_EQ(got[size], '#') << "wrote past the size";
            if (size > length)
                ASSERT_STREQ(got, expect) << format << " at " << t;
        }
        // Fields out of range, even by billions: names print as "?", numbers with their
        // sign. (Week numbers and %I, where C gives no answer, are left out: glibc's int
        // arithmetic wraps there.)
        for (int f = 0; f < 8; f++)
            tm.*kMembers[f] = any_field(1000);
        const char *out_of_range = "%a %A %b %B %d %e %H %j %m %M %S %p %w %y %Y %D %F %T %Z";
        char got[256], expect[256];
        ASSERT_EQ(strftime_(got, sizeof got, out_of_range, &tm), strftime(expect, sizeof expect, out_of_range, &tm));
        ASSERT_STREQ(got, expect) << ::testing::PrintToString(fields(tm));
    }
    char buffer[8];
    std::tm tm{};
    EXPECT_EQ(strftime_(nullptr, 8, "%Y", &tm) + strftime_(buffer, 8, nullptr, &tm) + strftime_(buffer, 8, "%Y", nullptr),
              0u);
}

} // namespace
} // namespace lbw::test
