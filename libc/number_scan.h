// Shared by the number parsers: the white space they skip.
#pragma once

namespace lm {

// Tab, line feed, vertical tab, form feed, carriage return and blank.
inline bool is_scan_space(char ch) { return ch == ' ' || (ch >= '\t' && ch <= '\r'); }

} // namespace lm
