// Character classes of the one locale the library has, plain ASCII. Each test is one or
// two unsigned range comparisons on the int argument (value minus the range start
// against the range length), so negative values, end-of-file and bytes above 127 fall
// outside every range without a test of their own. Every test answers exactly 1 or 0.
#include "libc/library.h"

namespace {

constexpr int in_range(int ch, int first, int last) {
    return static_cast<unsigned>(ch) - static_cast<unsigned>(first) <=
           static_cast<unsigned>(last) - static_cast<unsigned>(first);
}

// Clearing bit 5 folds a-z onto A-Z; only values that were a letter land in 65..90.
constexpr int folded(int ch) { return ch & ~0x20; }

} // namespace

LM_EXPORT int islower(int ch) { return in_range(ch, 'a', 'z'); }

LM_EXPORT int isupper(int ch) { return in_range(ch, 'A', 'Z'); }

LM_EXPORT int isalpha(int ch) { return in_range(folded(ch), 'A', 'Z'); }

LM_EXPORT int isdigit(int ch) { return in_range(ch, '0', '9'); }

LM_EXPORT int isalnum(int ch) { return isdigit(ch) | isalpha(ch); }

LM_EXPORT int isxdigit(int ch) { return isdigit(ch) | in_range(folded(ch), 'A', 'F'); }

// 9, 10, 12, 13 and 32 by a mask over 0..32; vertical tab (11) on its own.
LM_EXPORT int isspace(int ch) {
    constexpr unsigned long long mask = (1ull << 9) | (1ull << 10) | (1ull << 12) | (1ull << 13) | (1ull << 32);
    unsigned u = static_cast<unsigned>(ch);
    return (u <= 32 && ((mask >> u) & 1)) | (ch == 11);
}

LM_EXPORT int isblank(int ch) { return (ch == ' ') | (ch == '\t'); }

LM_EXPORT int isprint(int ch) { return in_range(ch, 32, 126); }

LM_EXPORT int isgraph(int ch) { return in_range(ch, 33, 126); }

// 0..31 and delete (127).
LM_EXPORT int iscntrl(int ch) { return in_range(ch, 0, 31) | (ch == 127); }

// The printable characters other than the blank, letters and digits.
LM_EXPORT int ispunct(int ch) { return isgraph(ch) & !isalnum(ch); }

LM_EXPORT int tolower(int ch) { return isupper(ch) ? ch + 32 : ch; }

LM_EXPORT int toupper(int ch) { return islower(ch) ? ch - 32 : ch; }
