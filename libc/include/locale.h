#ifndef _LOCALE_H
#define _LOCALE_H

#include <_lbw_cdefs.h>
#include <stddef.h>

_LBW_BEGIN_C

/* There is one locale, plain ASCII ("C"); the categories are accepted and ignored. */
#define LC_CTYPE 0
#define LC_NUMERIC 1
#define LC_TIME 2
#define LC_COLLATE 3
#define LC_MONETARY 4
#define LC_MESSAGES 5
#define LC_ALL 6

/* The standard record's leading members; there are no further members. Its one-byte
 * members are 0, and mon_decimal_point is ".". */
struct lconv {
    char *decimal_point;
    char *thousands_sep;
    char *grouping;
    char *int_curr_symbol;
    char *currency_symbol;
    char *mon_decimal_point;
    char *mon_thousands_sep;
    char *mon_grouping;
    char *positive_sign;
    char *negative_sign;
    char int_frac_digits;
    char frac_digits;
    char p_cs_precedes;
    char p_sep_by_space;
    char n_cs_precedes;
    char n_sep_by_space;
    char p_sign_posn;
    char n_sign_posn;
};

/* Always returns "C", whatever is asked, and never fails. */
char *setlocale(int category, const char *locale);
/* The same constant record on every call; do not modify it. */
struct lconv *localeconv(void);

_LBW_END_C

#endif
