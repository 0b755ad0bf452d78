// strftime in the "C" locale. Each field is read as a 64-bit number, so that no value a
// struct tm can hold overflows; names of fields outside their range print as "?".
#include "libc/library.h"
#include "libc/calendar.h"

#include <stddef.h>
#include <stdint.h>
#include <string.h>
#include <time.h>

using lm::calendar::floor_div;
using lm::calendar::floor_mod;

namespace {

const char *const kWeekdays[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
const char *const kMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                               "July",    "August",   "September", "October", "November", "December"};

// The text written so far. Bytes beyond the buffer are counted but not stored, so the
// caller learns at the end whether everything fitted.
struct Output {
    char *s;
    size_t size;
    size_t length;

    void put(char c) {
        if (length < size)
            s[length] = c;
        length++;
    }
    void put(const char *text, size_t n) {
        for (size_t i = 0; i < n; i++)
            put(text[i]);
    }
    void put(const char *text) { put(text, strlen(text)); }

    // At least `width` characters, the sign included; padding goes between sign and digits.
    void number(int64_t value, int width, char pad = '0') {
        char digits[20];
        int n = 0;
        uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
        do {
            digits[n++] = static_cast<char>('0' + magnitude % 10);
            magnitude /= 10;
        } while (magnitude);
        if (value < 0)
            put('-');
        for (int used = n + (value < 0); used < width; used++)
            put(pad);
        while (n > 0)
            put(digits[--n]);
    }

    void name(const char *const *names, int64_t count, int64_t index, bool abbreviated) {
        if (index < 0 || index >= count)
            put('?');
        else
            put(names[index], abbreviated ? 3 : strlen(names[index]));
    }
};

// The ISO 8601 week-based year and week: week 1 is the Monday-to-Sunday week that holds
// the year's first Thursday, so a day belongs to the year of its week's Thursday.
struct IsoWeek {
    int64_t year;
    int64_t week;
};

IsoWeek iso_week(const struct tm &tm) {
    int64_t year = int64_t{tm.tm_year} + 1900;
    int64_t thursday = int64_t{tm.tm_yday} - floor_mod(int64_t{tm.tm_wday} - 1, 7) + 3;
    if (thursday < 0) {
        year--;
        thursday += lm::calendar::days_in_year(year);
    } else if (thursday >= lm::calendar::days_in_year(year)) {
        thursday -= lm::calendar::days_in_year(year);
        year++;
    }
    return {year, thursday / 7 + 1};
}

// Where C allows the E and O modifiers; in this locale they select the same output.
bool takes_modifier(char modifier, char conversion) {
    if (modifier == 0)
        return true;
    return strchr(modifier == 'E' ? "cCxXyY" : "deHImMSuUVwWy", conversion) != nullptr;
}

void format(Output &out, const char *f, const struct tm &tm);

// Writes one conversion; false for a letter that is not one.
bool convert(Output &out, char conversion, const struct tm &tm) {
    int64_t year = int64_t{tm.tm_year} + 1900;
    int64_t hour = tm.tm_hour, wday = tm.tm_wday, yday = tm.tm_yday;
    switch (conversion) {
    case 'a': out.name(kWeekdays, 7, wday, true); break;
    case 'A': out.name(kWeekdays, 7, wday, false); break;
    case 'b':
    case 'h': out.name(kMonths, 12, tm.tm_mon, true); break;
    case 'B': out.name(kMonths, 12, tm.tm_mon, false); break;
    case 'c': format(out, "%a %b %e %H:%M:%S %Y", tm); break;
    case 'C': out.number(floor_div(year, 100), 2); break;
    case 'd': out.number(tm.tm_mday, 2); break;
    case 'D':
    case 'x': format(out, "%m/%d/%y", tm); break;
    case 'e': out.number(tm.tm_mday, 2, ' '); break;
    case 'F': format(out, "%Y-%m-%d", tm); break;
    case 'g': out.number(floor_mod(iso_week(tm).year, 100), 2); break;
    case 'G': out.number(iso_week(tm).year, 1); break;
    case 'H': out.number(hour, 2); break;
    case 'I': out.number(hour % 12 == 0 ? 12 : hour % 12, 2); break;
    case 'j': out.number(yday + 1, 3); break;
    case 'm': out.number(int64_t{tm.tm_mon} + 1, 2); break;
    case 'M': out.number(tm.tm_min, 2); break;
    case 'n': out.put('\n'); break;
    case 'p': out.put(hour >= 12 ? "PM" : "AM"); break;
    case 'r': format(out, "%I:%M:%S %p", tm); break;
    case 'R': format(out, "%H:%M", tm); break;
    case 'S': out.number(tm.tm_sec, 2); break;
    case 't': out.put('\t'); break;
    case 'T':
    case 'X': format(out, "%H:%M:%S", tm); break;
    case 'u': out.number(floor_mod(wday - 1, 7) + 1, 1); break;
    case 'U': out.number((yday - wday + 7) / 7, 2); break; // weeks start on Sunday
    case 'V': out.number(iso_week(tm).week, 2); break;
    case 'w': out.number(wday, 1); break;
    case 'W': out.number((yday - floor_mod(wday - 1, 7) + 7) / 7, 2); break; // on Monday
    case 'y': out.number(floor_mod(year, 100), 2); break;
    case 'Y': out.number(year, 1); break;
    case 'z': out.put("+0000"); break;
    case 'Z': out.put("UTC"); break;
    case '%': out.put('%'); break;
    default: return false;
    }
    return true;
}

void format(Output &out, const char *f, const struct tm &tm) {
    while (*f) {
        if (*f != '%') {
            out.put(*f++);
            continue;
        }
        const char *directive = f++;
        char modifier = (*f == 'E' || *f == 'O') ? *f++ : 0;
        char conversion = *f;
        if (conversion == 0) { // a directive cut short by the end of the format
            out.put(directive, static_cast<size_t>(f - directive));
            return;
        }
        f++;
        if (!takes_modifier(modifier, conversion) || !convert(out, conversion, tm))
            out.put(directive, static_cast<size_t>(f - directive));
    }
}

} // namespace

LM_EXPORT size_t strftime(char *s, size_t size, const char *format_text, const struct tm *tm) {
    if (!s || !format_text || !tm)
        return 0;
    Output out{s, size, 0};
    format(out, format_text, *tm);
    if (out.length >= size)
        return 0;
    s[out.length] = '\0';
    return out.length;
}
