// Calendar arithmetic shared by the time conversions and strftime: division that rounds
// toward minus infinity, so that dates before 1970 and years before 0 follow the same
// rules as the others.
#pragma once

#include <stdint.h>

namespace lm::calendar {

inline int64_t floor_div(int64_t a, int64_t b) {
    int64_t q = a / b;
    return q - (a % b != 0 && (a % b < 0) != (b < 0));
}

inline int64_t floor_mod(int64_t a, int64_t b) {
    return a - floor_div(a, b) * b;
}

inline bool is_leap(int64_t year) {
    return floor_mod(year, 4) == 0 && (floor_mod(year, 100) != 0 || floor_mod(year, 400) == 0);
}

inline int64_t days_in_year(int64_t year) {
    return is_leap(year) ? 366 : 365;
}

} // namespace lm::calendar
