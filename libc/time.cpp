// Calendar time in UTC, the only time zone the machine has: conversion between time_t
// and struct tm over the proleptic Gregorian calendar, and strftime in the "C" locale.
// Day counts are converted to dates by whole 400-year eras (146097 days each), in 64-bit
// arithmetic, so every time whose year fits tm_year converts without overflow.
#include "libc/library.h"
#include "libc/calendar.h"

#include <stdint.h>
#include <time.h>

using lm::calendar::floor_div;
using lm::calendar::floor_mod;

namespace {

constexpr int64_t kSecondsPerDay = 86400;
constexpr int64_t kDaysPerEra = 146097;
// Days from 1 March of year 0 to 1 January 1970.
constexpr int64_t kEpochFromEraStart = 719468;

// Days since 1970-01-01 of the given date; month 1..12, day from 1 (larger days count on).
// Years counted from 1 March put the leap day last, so a month's start day is a formula.
int64_t days_from_civil(int64_t year, int64_t month, int64_t day) {
    year -= month <= 2;
    int64_t era = floor_div(year, 400);
    int64_t year_of_era = year - era * 400;
    int64_t day_of_year = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    int64_t day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
    return era * kDaysPerEra + day_of_era - kEpochFromEraStart;
}

struct CivilDate {
    int64_t year;
    int month;       // 1..12
    int day;         // 1..31
    int day_of_year; // 0..365
};

CivilDate civil_from_days(int64_t days) {
    days += kEpochFromEraStart;
    int64_t era = floor_div(days, kDaysPerEra);
    int64_t day_of_era = days - era * kDaysPerEra;
    int64_t year_of_era = (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
    int64_t from_march = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
    int64_t month_from_march = (5 * from_march + 2) / 153;
    CivilDate date;
    date.day = static_cast<int>(from_march - (153 * month_from_march + 2) / 5 + 1);
    date.month = static_cast<int>(month_from_march < 10 ? month_from_march + 3 : month_from_march - 9);
    date.year = year_of_era + era * 400 + (date.month <= 2);
    // 1 January is day 306 of a year counted from March.
    date.day_of_year = static_cast<int>(from_march >= 306 ? from_march - 306 : from_march + 59 + lm::calendar::is_leap(date.year));
    return date;
}

} // namespace

LM_EXPORT double difftime(time_t t1, time_t t0) {
    // The difference of two 64-bit times may not fit 64 signed bits, its magnitude does
    // fit 64 unsigned ones.
    if (t1 >= t0)
        return static_cast<double>(static_cast<uint64_t>(t1) - static_cast<uint64_t>(t0));
    return -static_cast<double>(static_cast<uint64_t>(t0) - static_cast<uint64_t>(t1));
}

LM_EXPORT struct tm *gmtime_r(const time_t *t, struct tm *out) {
    if (!t || !out)
        return nullptr;
    int64_t days = floor_div(*t, kSecondsPerDay);
    int64_t seconds = *t - days * kSecondsPerDay;
    CivilDate date = civil_from_days(days);
    int64_t tm_year = date.year - 1900;
    if (tm_year < INT32_MIN || tm_year > INT32_MAX)
        return nullptr;
    out->tm_sec = static_cast<int>(seconds % 60);
    out->tm_min = static_cast<int>(seconds / 60 % 60);
    out->tm_hour = static_cast<int>(seconds / 3600);
    out->tm_mday = date.day;
    out->tm_mon = date.month - 1;
    out->tm_year = static_cast<int>(tm_year);
    out->tm_wday = static_cast<int>(floor_mod(days + 4, 7)); // 1970-01-01 was a Thursday
    out->tm_yday = date.day_of_year;
    out->tm_isdst = 0;
    return out;
}

LM_EXPORT struct tm *localtime_r(const time_t *t, struct tm *out) {
    return gmtime_r(t, out);
}

namespace {
// The result gmtime and localtime share.
struct tm gBrokenDownTime;
} // namespace

LM_EXPORT struct tm *gmtime(const time_t *t) {
    return gmtime_r(t, &gBrokenDownTime);
}

LM_EXPORT struct tm *localtime(const time_t *t) {
    return gmtime_r(t, &gBrokenDownTime);
}

// Every field is an int, so in 64-bit arithmetic the sum below cannot overflow: even
// 2^31 years of days in seconds stay far below 2^63.
LM_EXPORT time_t mktime(struct tm *tm) {
    if (!tm)
        return -1;
    int64_t year = int64_t{tm->tm_year} + 1900 + floor_div(tm->tm_mon, 12);
    int64_t month = floor_mod(tm->tm_mon, 12) + 1;
    int64_t days = days_from_civil(year, month, 1) + (int64_t{tm->tm_mday} - 1);
    time_t t = days * kSecondsPerDay + int64_t{tm->tm_hour} * 3600 + int64_t{tm->tm_min} * 60 + tm->tm_sec;
    struct tm normalised;
    if (!gmtime_r(&t, &normalised))
        return -1;
    *tm = normalised;
    return t;
}
