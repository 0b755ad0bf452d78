// Shared by the number parsers: the white space and the sign they pass over.
#pragma once

namespace lm {

// Tab, line feed, vertical tab, form feed, carriage return and blank.
inline bool is_scan_space(char ch) { return ch == ' ' || (ch >= '\t' && ch <= '\r'); }

// Moves p past leading white space and one '+' or '-'; returns whether it was '-'.
inline bool skip_space_and_sign(const char *&p) {
    while (is_scan_space(*p))
        p++;
    bool negative = *p == '-';
    if (*p == '+' || *p == '-')
        p++;
    return negative;
}

} // namespace lm
