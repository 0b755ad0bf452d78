// Character classes and case conversion against glibc's "C" locale for every value from
// -1 to 255 (the library's classes answer exactly 1 or 0); values beyond a byte belong
// to no class and convert to themselves. The one locale and its record.
#include "tests/support/library_test.h"

#include <cctype>
#include <climits>
#include <clocale>

namespace lbw::test {
namespace {

using CtypeTest = LibraryTest;

TEST_F(CtypeTest, ClassesAndCaseAsGlibcsCLocale) {
    const std::pair<const char *, int (*)(int)> functions[] = {
        {"islower", islower}, {"isupper", isupper}, {"isalpha", isalpha}, {"isdigit", isdigit},
        {"isalnum", isalnum}, {"isxdigit", isxdigit}, {"isspace", isspace}, {"isblank", isblank},
        {"isprint", isprint}, {"isgraph", isgraph}, {"iscntrl", iscntrl}, {"ispunct", ispunct},
        {"tolower", tolower}, {"toupper", toupper}};
    for (auto [name, glibc] : functions) {
        auto library = fn<int(int)>(name);
        const bool conversion = name[1] == 'o';
        for (int ch = -1; ch <= 255; ch++)
            EXPECT_EQ(library(ch), conversion ? glibc(ch) : glibc(ch) != 0) << name << "(" << ch << ")";
        for (int ch : {-2, -128, 'A' + 256, 'a' + 256, '0' + 256, ' ' + 256, '\t' - 256, INT_MAX, INT_MIN})
            EXPECT_EQ(library(ch), conversion ? ch : 0) << name << "(" << ch << ")";
    }
}

// The record has the leading members of glibc's, in the same order.
TEST_F(CtypeTest, OneConstantLocale) {
    auto setlocale_ = fn<char *(int, const char *)>("setlocale");
    for (int category : {LC_ALL, LC_NUMERIC, -1})
        for (const char *name : {static_cast<const char *>(nullptr), "", "de_DE.UTF-8"})
            EXPECT_STREQ(setlocale_(category, name), "C");
    auto localeconv_ = fn<lconv *()>("localeconv");
    const lconv *lc = localeconv_();
    EXPECT_EQ(localeconv_(), lc);
    EXPECT_STREQ(lc->decimal_point, ".");
    EXPECT_EQ(lc->mon_decimal_point, lc->decimal_point) << "one shared string";
    EXPECT_STREQ(lc->thousands_sep, "");
    for (char *empty : {lc->grouping, lc->int_curr_symbol, lc->currency_symbol, lc->mon_thousands_sep,
                        lc->mon_grouping, lc->positive_sign, lc->negative_sign})
        EXPECT_EQ(empty, lc->thousands_sep) << "one shared empty string";
    for (char member : {lc->int_frac_digits, lc->frac_digits, lc->p_cs_precedes, lc->p_sep_by_space,
                        lc->n_cs_precedes, lc->n_sep_by_space, lc->p_sign_posn, lc->n_sign_posn})
        EXPECT_EQ(member, 0);
}

} // namespace
} // namespace lbw::test
