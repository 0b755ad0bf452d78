// strtod and strtof: a single pass that builds the value in double precision digit by
// digit, without rounding correction. No textual infinity or NaN, no hexadecimal form.
// A mantissa out of that arithmetic's reach is read again from its leading 19 digits.
#include "libc/library.h"
#include "libc/math_support.h"
#include "libc/number_scan.h"

namespace {

bool is_digit(char ch) { return ch >= '0' && ch <= '9'; }

// Exponents beyond this make every mantissa the parser can build overflow or vanish
// (short of a string of more than 10^8 digits), so larger ones saturate here instead
// of wrapping.
constexpr int kExponentLimit = 100000000;

// Significant digits that a 64-bit integer always holds.
constexpr int kExactDigits = 19;

// 10^n for 0 <= n <= 300 by square-and-multiply (exact up to 10^22).
double power_of_ten(int n) {
    double result = 1.0;
    double base = 10.0;
    for (; n != 0; n >>= 1) {
        if (n & 1)
            result = result * base;
        base = base * base;
    }
    return result;
}

// value * 10^exponent. Large exponents go in steps of 10^300 so that a power of ten
// itself never overflows: 0 stays 0 and a tiny mantissa with a large exponent (or the
// reverse) still lands on its value.
double scale_by_power_of_ten(double value, int exponent) {
    while (exponent > 300 && value != 0.0 && lm::math::is_finite(value)) {
        value = value * 1e300;
        exponent -= 300;
    }
    while (exponent < -300 && value != 0.0 && lm::math::is_finite(value)) {
        value = value / 1e300;
        exponent += 300;
    }
    if (exponent > 300 || exponent < -300)
        return value;
    return exponent >= 0 ? value * power_of_ten(exponent) : value / power_of_ten(-exponent);
}

// The mantissa's value when the digit-by-digit arithmetic cannot hold it (more than 308
// integer digits, or a fraction whose first nonzero digit comes after the 308th):
// its first 19 significant digits as an integer, times the power of ten they stand
// for, times 10^exponent.
double leading_digits_value(const char *p, int exponent) {
    uint64_t digits = 0;
    int taken = 0;
    long long shift = exponent; // each integer digit beyond the 19 taken adds one
    for (; is_digit(*p); p++) {
        if (digits == 0 && *p == '0')
            continue;
        if (taken < kExactDigits) {
            digits = digits * 10 + static_cast<uint64_t>(*p - '0');
            taken++;
        } else {
            shift++;
        }
    }
    if (*p == '.')
        for (p++; is_digit(*p) && taken < kExactDigits; p++) {
            shift--;
            if (digits != 0 || *p != '0') {
                digits = digits * 10 + static_cast<uint64_t>(*p - '0');
                taken++;
            }
        }
    if (shift > kExponentLimit)
        shift = kExponentLimit;
    if (shift < -kExponentLimit)
        shift = -kExponentLimit;
    return scale_by_power_of_ten(static_cast<double>(digits), static_cast<int>(shift));
}

} // namespace

LM_EXPORT double strtod(const char *s, char **end) {
    if (end)
        *end = const_cast<char *>(s);
    if (!s)
        return 0.0;
    const char *p = s;
    bool negative = lm::skip_space_and_sign(p);

    const char *mantissa = p;
    bool any_digit = false;
    double value = 0.0;
    for (; is_digit(*p); p++) {
        value = value * 10.0 + (*p - '0');
        any_digit = true;
    }
    // Past 308 integer digits the value is infinite; only an exponent can tell whether
    // it really is.
    bool beyond_arithmetic = !lm::math::is_finite(value);
    if (*p == '.') {
        p++;
        double fraction = 0.0;
        double scale = 1.0;
        for (; is_digit(*p); p++) {
            any_digit = true;
            // Digits past the point where the scale would overflow cannot change a
            // nonzero value: they are consumed and ignored. Behind 308 zeros they are
            // the whole value.
            double next_scale = scale * 10.0;
            if (!lm::math::is_finite(next_scale)) {
                beyond_arithmetic |= value == 0.0 && fraction == 0.0 && *p != '0';
                continue;
            }
            fraction = fraction * 10.0 + (*p - '0');
            scale = next_scale;
        }
        if (!any_digit)
            return 0.0;
        value = value + fraction / scale;
    }
    if (!any_digit)
        return 0.0;

    int exponent = 0;
    if (*p == 'e' || *p == 'E') {
        const char *q = p + 1;
        bool negative_exponent = *q == '-';
        if (*q == '+' || *q == '-')
            q++;
        if (is_digit(*q)) {
            for (; is_digit(*q); q++)
                if (exponent < kExponentLimit)
                    exponent = exponent * 10 + (*q - '0');
            if (negative_exponent)
                exponent = -exponent;
            p = q;
        }
    }
    value = beyond_arithmetic ? leading_digits_value(mantissa, exponent) : scale_by_power_of_ten(value, exponent);
    if (end)
        *end = const_cast<char *>(p);
    return negative ? -value : value;
}

LM_EXPORT float strtof(const char *s, char **end) { return static_cast<float>(strtod(s, end)); }
