// The one locale: plain ASCII, fixed at build time. setlocale changes nothing and
// localeconv hands out the same constant record every time.
#include "libc/library.h"

#include <locale.h>

namespace {

const char kPoint[] = ".";
const char kEmpty[] = "";

// The record is never written by the library; it is not const only because
// localeconv's interface hands out a writable pointer.
lconv gLocale = {
    const_cast<char *>(kPoint), // decimal_point
    const_cast<char *>(kEmpty), // thousands_sep
    const_cast<char *>(kEmpty), // grouping
    const_cast<char *>(kEmpty), // int_curr_symbol
    const_cast<char *>(kEmpty), // currency_symbol
    const_cast<char *>(kPoint), // mon_decimal_point
    const_cast<char *>(kEmpty), // mon_thousands_sep
    const_cast<char *>(kEmpty), // mon_grouping
    const_cast<char *>(kEmpty), // positive_sign
    const_cast<char *>(kEmpty), // negative_sign
    0, 0, 0, 0, 0, 0, 0, 0,     // int_frac_digits .. n_sign_posn
};

const char kLocaleName[] = "C";

} // namespace

// Any category and any name, NULL included, is answered as the "C" locale: a request
// for another locale "succeeds" while nothing changes.
LM_EXPORT char *setlocale(int, const char *) { return const_cast<char *>(kLocaleName); }

LM_EXPORT lconv *localeconv(void) { return &gLocale; }
