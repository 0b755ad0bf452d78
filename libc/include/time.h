#ifndef _TIME_H
#define _TIME_H

#include <_lbw_cdefs.h>
#include <stddef.h>

_LBW_BEGIN_C

typedef long long clock_t;
typedef long long time_t;

/* The usual divisor of clock(); since clock() counts calls, the quotient is not seconds. */
#define CLOCKS_PER_SEC 1000000

/* Broken-down time. The machine's time is UTC: there is no daylight saving time and no
 * time-zone member. */
struct tm {
    int tm_sec;   /* 0..60 */
    int tm_min;   /* 0..59 */
    int tm_hour;  /* 0..23 */
    int tm_mday;  /* 1..31 */
    int tm_mon;   /* 0..11 */
    int tm_year;  /* years since 1900 */
    int tm_wday;  /* days since Sunday, 0..6 */
    int tm_yday;  /* days since 1 January, 0..365 */
    int tm_isdst; /* 0 in every result of the library */
};

/* Counts calls, not time: 0, 1, 2, ... */
clock_t clock(void);
/* The machine has no clock: always 0x4C4D4236. */
time_t time(time_t *out);

/* t1 - t0 in seconds. */
double difftime(time_t t1, time_t t0);

/* The proleptic Gregorian calendar in UTC, for every time whose year fits tm_year; NULL
 * beyond (and for a NULL argument). gmtime and localtime (the same thing here) share
 * one static result, which each call overwrites; the _r forms fill `out` instead. */
struct tm *gmtime(const time_t *t);
struct tm *localtime(const time_t *t);
struct tm *gmtime_r(const time_t *t, struct tm *out);
struct tm *localtime_r(const time_t *t, struct tm *out);

/* The time of `tm` read as UTC, after carrying out-of-range fields into the next larger
 * ones (61 seconds is a minute and a second, month -1 is December of the year before);
 * tm_wday and tm_yday are ignored. On success rewrites *tm normalised, with tm_wday,
 * tm_yday set and tm_isdst 0. When the normalised year does not fit tm_year (or tm is
 * NULL) returns (time_t)-1 and leaves *tm as it was. */
time_t mktime(struct tm *tm);

/* The "C" locale's formatting: every C99 conversion, with the E and O modifiers where
 * C allows them (they change nothing in this locale). %Y and %G are the year without
 * padding and with a minus sign before year 0; %C and %y are the year divided by 100
 * rounded down and the remainder (00..99); %z is +0000 and %Z is UTC. Names of
 * out-of-range fields print as "?". A directive C does not define is copied as written.
 * Returns the length written without the NUL, or 0 when that and the NUL do not fit
 * in `size` bytes (the contents of `s` are then unspecified) or an argument is NULL. */
size_t strftime(char *s, size_t size, const char *format, const struct tm *tm);

_LBW_END_C

#endif
