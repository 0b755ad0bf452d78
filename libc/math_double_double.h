// Unevaluated sums of two doubles, for the accurate math functions: a value hi + lo with
// |lo| at most half an ulp of hi carries about 106 bits. Only plain double additions
// and multiplications (no fused multiply-add), each error term recovered exactly.
#pragma once

namespace lm::math {

struct DoubleDouble {
    double hi;
    double lo;
};

// a + b exactly, for |a| >= |b| (or a == 0).
inline DoubleDouble fast_two_sum(double a, double b) {
    double s = a + b;
    return {s, b - (s - a)};
}

// a + b exactly, whatever their magnitudes.
inline DoubleDouble two_sum(double a, double b) {
    double s = a + b;
    double b_part = s - a;
    double a_part = s - b_part;
    return {s, (a - a_part) + (b - b_part)};
}

// a as the sum of two halves of 26 significant bits each, so that their products are
// exact. Needs |a| below 2^996.
inline DoubleDouble split(double a) {
    double c = 134217729.0 * a; // 2^27 + 1
    double hi = c - (c - a);
    return {hi, a - hi};
}

// a * b exactly, barring overflow and underflow.
inline DoubleDouble two_product(double a, double b) {
    double p = a * b;
    DoubleDouble as = split(a), bs = split(b);
    double error = ((as.hi * bs.hi - p) + as.hi * bs.lo + as.lo * bs.hi) + as.lo * bs.lo;
    return {p, error};
}

inline DoubleDouble add(DoubleDouble a, DoubleDouble b) {
    DoubleDouble s = two_sum(a.hi, b.hi);
    return fast_two_sum(s.hi, s.lo + (a.lo + b.lo));
}

inline DoubleDouble multiply(DoubleDouble a, DoubleDouble b) {
    DoubleDouble p = two_product(a.hi, b.hi);
    return fast_two_sum(p.hi, p.lo + (a.hi * b.lo + a.lo * b.hi));
}

// a / b, one correction step after the plain quotient.
inline DoubleDouble divide(DoubleDouble a, DoubleDouble b) {
    double q = a.hi / b.hi;
    DoubleDouble p = two_product(q, b.hi);
    double remainder = ((a.hi - p.hi) - p.lo + a.lo) - q * b.lo;
    return fast_two_sum(q, remainder / b.hi);
}

} // namespace lm::math
