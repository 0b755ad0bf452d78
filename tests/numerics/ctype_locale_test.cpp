// Character classes over every value from -1 to 256, case conversion and the one locale.
#include "tests/support/library_test.h"

#include <cctype>
#include <cstdio>
#include <cstring>

namespace lbw::test {
namespace {

using ClassFn = int(int);

bool within(int ch, int first, int last) { return ch >= first && ch <= last; }

struct ClassCase {
    const char *name;
    bool (*expected)(int);
};

const ClassCase kClasses[] = {
    {"islower", [](int c) { return within(c, 97, 122); }},
    {"isupper", [](int c) { return within(c, 65, 90); }},
    {"isalpha", [](int c) { return within(c, 65, 90) || within(c, 97, 122); }},
    {"isdigit", [](int c) { return within(c, 48, 57); }},
    {"isalnum", [](int c) { return within(c, 48, 57) || within(c, 65, 90) || within(c, 97, 122); }},
    {"isxdigit", [](int c) { return within(c, 48, 57) || within(c, 65, 70) || within(c, 97, 102); }},
    {"isspace", [](int c) { return within(c, 9, 13) || c == 32; }},
    {"isblank", [](int c) { return c == 9 || c == 32; }},
    {"isprint", [](int c) { return within(c, 32, 126); }},
};

using CtypeTest = LibraryTest;

// Every value from -1 to 256 (the named neighbours of each range among them), then
// values far outside the byte range, which belong to no class.
TEST_F(CtypeTest, ClassTestsAnswerExactlyOneOrZero) {
    const int outside[] = {-2, -128, -129, 65 + 256, 97 + 256, 48 + 256, 32 + 256, 9 + 256,
                           65 - 256, 0x7FFFFFFF, -0x7FFFFFFF - 1, 65 + 0x10000};
    for (const ClassCase &cls : kClasses) {
        ClassFn *test = fn<ClassFn>(cls.name);
        for (int ch = -1; ch <= 256; ch++)
            EXPECT_EQ(test(ch), cls.expected(ch) ? 1 : 0) << cls.name << "(" << ch << ")";
        for (int ch : outside)
            EXPECT_EQ(test(ch), 0) << cls.name << "(" << ch << ")";
    }
}

// glibc's "C" locale puts 128..255 in no class either: it is the model from EOF to 255.
TEST_F(CtypeTest, GraphControlAndPunctuationMatchGlibcsCLocale) {
    auto isgraph_ = fn<ClassFn>("isgraph"), iscntrl_ = fn<ClassFn>("iscntrl"), ispunct_ = fn<ClassFn>("ispunct");
    for (int ch = EOF; ch <= 255; ch++) {
        EXPECT_EQ(isgraph_(ch), !!isgraph(ch)) << ch;
        EXPECT_EQ(iscntrl_(ch), !!iscntrl(ch)) << ch;
        EXPECT_EQ(ispunct_(ch), !!ispunct(ch)) << ch;
    }
}

TEST_F(CtypeTest, CaseConversionChangesOnlyAsciiLetters) {
    auto tolower = fn<ClassFn>("tolower");
    auto toupper = fn<ClassFn>("toupper");
    for (int ch = -1; ch <= 'z' + 256; ch++) {
        EXPECT_EQ(tolower(ch), within(ch, 65, 90) ? ch + 32 : ch) << ch;
        EXPECT_EQ(toupper(ch), within(ch, 97, 122) ? ch - 32 : ch) << ch;
    }
}

// The record as the library lays it out: ten strings, then eight one-byte members.
struct Lconv {
    char *decimal_point, *thousands_sep, *grouping, *int_curr_symbol, *currency_symbol;
    char *mon_decimal_point, *mon_thousands_sep, *mon_grouping, *positive_sign, *negative_sign;
    char one_byte[8];
};

using LocaleTest = LibraryTest;

TEST_F(LocaleTest, SetlocaleAlwaysAnswersC) {
    auto setlocale = fn<char *(int, const char *)>("setlocale");
    for (int category : {0, 1, 6, -1, 1000})
        for (const char *name : {static_cast<const char *>(nullptr), "", "C", "POSIX", "de_DE.UTF-8"}) {
            const char *answer = setlocale(category, name);
            ASSERT_NE(answer, nullptr);
            EXPECT_STREQ(answer, "C");
        }
}

TEST_F(LocaleTest, LocaleconvHandsOutOneConstantRecord) {
    auto localeconv = fn<Lconv *()>("localeconv");
    Lconv *lc = localeconv();
    ASSERT_NE(lc, nullptr);
    EXPECT_EQ(localeconv(), lc);
    EXPECT_STREQ(lc->decimal_point, ".");
    EXPECT_STREQ(lc->mon_decimal_point, ".");
    EXPECT_EQ(lc->decimal_point, lc->mon_decimal_point) << "the two points share one string";
    char *empties[] = {lc->thousands_sep, lc->grouping, lc->int_curr_symbol, lc->currency_symbol,
                       lc->mon_thousands_sep, lc->mon_grouping, lc->positive_sign, lc->negative_sign};
    for (char *s : empties) {
        EXPECT_STREQ(s, "");
        EXPECT_EQ(s, empties[0]) << "all empty strings share one string";
    }
    for (char b : lc->one_byte)
        EXPECT_EQ(b, 0);
}

} // namespace
} // namespace lbw::test
