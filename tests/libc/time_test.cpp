// Calendar time against glibc, whose UTC functions follow the same calendar: gmtime over
// times from seconds to the limits of tm_year and beyond, mktime of struct tm values with
// fields far out of range against timegm, and strftime of every conversion.
#include "tests/support/library_test.h"

#include <array>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <ctime>
#include <random>
#include <string>

namespace lbw::test {
namespace {

// The library's struct tm: the nine standard members, which also lead glibc's.
using Fields = std::array<int, 9>;

Fields fields(const std::tm &tm) {
    return {tm.tm_sec, tm.tm_min, tm.tm_hour, tm.tm_mday, tm.tm_mon, tm.tm_year, tm.tm_wday, tm.tm_yday, tm.tm_isdst};
}

// The first and last second whose year fits tm_year.
constexpr int64_t kFirst = -67768040609740800, kLast = 67768036191676799;

class TimeTest : public LibraryTest {
protected:
    std::mt19937_64 random{20261207};
    // Magnitudes spread evenly over the bit lengths, so that every scale from seconds to
    // the whole 64-bit range is met.
    int64_t any_time() {
        uint64_t bits = random() >> (random() % 64);
        return static_cast<int64_t>(random() % 2 ? bits : 0 - bits);
    }
    int any_field(int spread) {
        return random() % 8 == 0 ? static_cast<int>(random()) : static_cast<int>(random() % (2 * spread + 1)) - spread;
    }
    std::tm glibc_gmtime(int64_t t) {
        std::tm tm{};
        time_t tt = t;
        gmtime_r(&tt, &tm);
        tm.tm_zone = "UTC"; // glibc's gmtime says GMT; the machine's zone is called UTC
        return tm;
    }
};

TEST_F(TimeTest, GmtimeMatchesGlibcOverTheWholeRange) {
    auto gmtime_ = fn<Fields *(const int64_t *)>("gmtime");
    auto localtime_r_ = fn<Fields *(const int64_t *, Fields *)>("localtime_r");
    for (int i = 0; i < 200000; i++) {
        int64_t t = i < 8 ? std::array<int64_t, 8>{kFirst, kFirst - 1, kLast, kLast + 1, 0, -1, INT64_MIN, INT64_MAX}[i]
                          : any_time();
        time_t tt = t;
        std::tm expect;
        Fields *got = gmtime_(&t);
        if (!gmtime_r(&tt, &expect)) {
            ASSERT_EQ(got, nullptr) << t;
            continue;
        }
        ASSERT_NE(got, nullptr) << t;
        ASSERT_EQ(*got, fields(expect)) << t;
        Fields local{};
        ASSERT_EQ(localtime_r_(&t, &local), &local);
        ASSERT_EQ(local, fields(expect)) << "localtime is gmtime: " << t;
    }
    EXPECT_EQ(gmtime_(nullptr), nullptr);
    int64_t t = 0;
    EXPECT_EQ(fn<Fields *(const int64_t *)>("localtime")(&t), gmtime_(&t)) << "one shared result";
}

TEST_F(TimeTest, MktimeNormalisesAsTimegmDoes) {
    auto mktime_ = fn<int64_t(Fields *)>("mktime");
    for (int i = 0; i < 200000; i++) {
        std::tm expect{};
        expect.tm_sec = any_field(200000);
        expect.tm_min = any_field(5000);
        expect.tm_hour = any_field(500);
        expect.tm_mday = any_field(2000);
        expect.tm_mon = any_field(100);
        expect.tm_year = any_field(12000);
        expect.tm_wday = any_field(10); // ignored by both
        expect.tm_yday = any_field(400);
        expect.tm_isdst = any_field(1);
        Fields got = fields(expect);
        const Fields before = got;
        int64_t t = mktime_(&got);
        errno = 0;
        ASSERT_EQ(t, timegm(&expect)) << ::testing::PrintToString(before);
        // After a failure the library leaves every field alone; glibc sets tm_isdst.
        ASSERT_EQ(got, errno == EOVERFLOW ? before : fields(expect)) << ::testing::PrintToString(before);
    }
    EXPECT_EQ(mktime_(nullptr), -1);
}

TEST_F(TimeTest, DifftimeMatchesGlibc) {
    auto difftime_ = fn<double(int64_t, int64_t)>("difftime");
    for (int i = 0; i < 10000; i++) {
        int64_t a = any_time(), b = any_time();
        ASSERT_EQ(difftime_(a, b), difftime(a, b)) << a << " - " << b;
    }
}

// Every conversion of C99 with its E and O forms. glibc leaves the century of years
// 0..999 unpadded; C asks for two digits (00..99), which glibc's %02C gives.
const char *const kConversions[][2] = {
    {"%a", "%a"},   {"%A", "%A"},   {"%b", "%b"},   {"%B", "%B"},     {"%c", "%c"},   {"%C", "%02C"}, {"%d", "%d"},
    {"%D", "%D"},   {"%e", "%e"},   {"%F", "%F"},   {"%g", "%g"},     {"%G", "%G"},   {"%h", "%h"},   {"%H", "%H"},
    {"%I", "%I"},   {"%j", "%j"},   {"%m", "%m"},   {"%M", "%M"},     {"%n", "%n"},   {"%p", "%p"},   {"%r", "%r"},
    {"%R", "%R"},   {"%S", "%S"},   {"%t", "%t"},   {"%T", "%T"},     {"%u", "%u"},   {"%U", "%U"},   {"%V", "%V"},
    {"%w", "%w"},   {"%W", "%W"},   {"%x", "%x"},   {"%X", "%X"},     {"%y", "%y"},   {"%Y", "%Y"},   {"%z", "%z"},
    {"%Z", "%Z"},   {"%%", "%%"},   {"%Ec", "%Ec"}, {"%EC", "%02EC"}, {"%Ex", "%Ex"}, {"%EX", "%EX"}, {"%Ey", "%Ey"},
    {"%EY", "%EY"}, {"%Od", "%Od"}, {"%Oe", "%Oe"}, {"%OH", "%OH"},   {"%OI", "%OI"}, {"%Om", "%Om"}, {"%OM", "%OM"},
    {"%OS", "%OS"}, {"%Ou", "%Ou"}, {"%OU", "%OU"}, {"%OV", "%OV"},   {"%Ow", "%Ow"}, {"%OW", "%OW"}, {"%Oy", "%Oy"},
    // Directives C does not define are copied as written, by both.
    {"%Q", "%Q"},   {"%EU", "%EU"}, {"%OY", "%OY"}, {"<%", "<%"},     {"%E", "%E"},
};

TEST_F(TimeTest, StrftimeMatchesGlibcForEveryConversion) {
    auto strftime_ = fn<size_t(char *, size_t, const char *, const std::tm *)>("strftime");
    for (int i = 0; i < 20000; i++) {
        // Mostly the years 0..9999 (seconds from -62167219200), sometimes any year at all.
        int64_t t = i % 4 ? static_cast<int64_t>(random() % 315569520000) - 62167219200
                          : kFirst + static_cast<int64_t>(random() % uint64_t(kLast - kFirst));
        std::tm tm = glibc_gmtime(t);
        for (const auto &[ours, glibcs] : kConversions) {
            char got[64], expect[64];
            size_t length = strftime(expect, sizeof expect, glibcs, &tm);
            ASSERT_EQ(strftime_(got, sizeof got, ours, &tm), length) << ours << " at " << t;
            ASSERT_STREQ(got, expect) << ours << " at " << t;
        }
    }
}

// Fields out of their ranges, even by billions: names print as "?", numbers with their
// sign. (Where C leaves the answer open, week numbers and %I of hours above 24, glibc's
// int arithmetic wraps or takes shortcuts; those are left out.)
TEST_F(TimeTest, StrftimeOfFieldsOutOfRangeMatchesGlibc) {
    auto strftime_ = fn<size_t(char *, size_t, const char *, const std::tm *)>("strftime");
    for (int i = 0; i < 20000; i++) {
        std::tm tm{};
        for (int *field : {&tm.tm_sec, &tm.tm_min, &tm.tm_hour, &tm.tm_mday, &tm.tm_mon, &tm.tm_year, &tm.tm_wday,
                           &tm.tm_yday})
            *field = any_field(1000);
        tm.tm_zone = "UTC";
        for (const char *format : {"%a %A %b %B %h", "%d %e %H %j %m %M %S %p %w %y %Y %D %F %T %Z"}) {
            char got[256], expect[256];
            size_t length = strftime(expect, sizeof expect, format, &tm);
            ASSERT_EQ(strftime_(got, sizeof got, format, &tm), length) << ::testing::PrintToString(fields(tm));
            ASSERT_STREQ(got, expect);
        }
    }
}

TEST_F(TimeTest, StrftimeReturnsZeroUnlessTextAndTerminatorFit) {
    auto strftime_ = fn<size_t(char *, size_t, const char *, const std::tm *)>("strftime");
    std::tm tm = glibc_gmtime(1234567890);
    const char *format = "%c | %G-W%V-%u | %j";
    const std::string full = "Fri Feb 13 23:31:30 2009 | 2009-W07-5 | 044";
    for (size_t size = 0; size <= full.size() + 1; size++) {
        char got[64];
        EXPECT_EQ(strftime_(got, size, format, &tm), size > full.size() ? full.size() : 0) << size;
    }
    char got[64];
    EXPECT_EQ(strftime_(got, sizeof got, format, &tm), full.size());
    EXPECT_EQ(got, full);
    EXPECT_EQ(strftime_(nullptr, 64, format, &tm), 0u);
    EXPECT_EQ(strftime_(got, sizeof got, nullptr, &tm), 0u);
    EXPECT_EQ(strftime_(got, sizeof got, format, nullptr), 0u);
}

} // namespace
} // namespace lbw::test
