// Argument reduction by pi/2 for the accurate trigonometric functions. While n is below
// 2^20, n pi/2 is subtracted in pieces of 33 bits (Cody and Waite), as many pieces as
// the cancellation needs. Beyond, the argument's integer mantissa is multiplied exactly
// by the 192 bits of 2/pi that decide n modulo 8 and the fraction (Payne and Hanek).
#include "libc/math_support.h"

namespace {

using namespace lm::math;

constexpr double kTwoOverPi = 0x1.45f306dc9c883p-1;
constexpr double kPiOver4 = 0x1.921fb54442d18p-1;
constexpr DoubleDouble kPiOver2Precise = {0x1.921fb54442d18p+0, 0x1.1a62633145c07p-54};

// pi/2 in pieces of 33 significant bits, so that n times a piece is exact for n up to
// 2^20; each rest is what remains of pi/2 after the pieces so far, rounded.
constexpr double kPiOver2Piece1 = 0x1.921fb544p+0;
constexpr double kPiOver2Rest1 = 0x1.0b4611a626331p-34;
constexpr double kPiOver2Piece2 = 0x1.0b4611a6p-34;
constexpr double kPiOver2Rest2 = 0x1.3198a2e037073p-69;
constexpr double kPiOver2Piece3 = 0x1.3198a2ep-69;
constexpr double kPiOver2Rest3 = 0x1.b839a252049c1p-104;

// Below this, n is at most 2^20.
constexpr double kPieceLimit = 0x1.921fb5p+20;

// The bits of 2/pi after the binary point, 64 to a word, behind a word of zeros so that
// a window may start up to 64 bits before the point.
constexpr uint64_t kTwoOverPiBits[] = {
    0,
    0xA2F9836E4E441529, 0xFC2757D1F534DDC0, 0xDB6295993C439041, 0xFE5163ABDEBBC561,
    0xB7246E3A424DD2E0, 0x06492EEA09D1921C, 0xFE1DEB1CB129A73E, 0xE88235F52EBB4484,
    0xE99C7026B45F7E41, 0x3991D639835339F4, 0x9C845F8BBDF9283B, 0x1FF897FFDE05980F,
    0xEF2F118B5A0A6D1F, 0x6D367ECF27CB09B7, 0x4F463F669E5FEA2D, 0x7527BAC7EBE5F17B,
    0x3D0739F78A5292EA, 0x6BFB5FB11F8D5D08, 0x56033046FC7B6BAB,
};

constexpr uint64_t kFractionMask = (uint64_t{1} << 52) - 1;

int biased_exponent(double v) { return static_cast<int>(bits_of(v) >> 52) & 0x7FF; }

int reduce_by_pieces(double x, DoubleDouble &r) {
    int n = truncate32(x * kTwoOverPi + (x < 0 ? -0.5 : 0.5));
    double fn = n;
    double rest = x - fn * kPiOver2Piece1; // exact: both terms within a factor of two
    double w = fn * kPiOver2Rest1;
    double y = rest - w;
    int exponent = biased_exponent(x);
    // Each further piece only when the result lost that many leading bits.
    const double pieces[] = {kPiOver2Piece2, kPiOver2Piece3};
    const double rests[] = {kPiOver2Rest2, kPiOver2Rest3};
    const int lost_bits[] = {16, 49};
    for (int i = 0; i < 2 && exponent - biased_exponent(y) > lost_bits[i]; i++) {
        double t = rest;
        w = fn * pieces[i];
        rest = t - w;
        w = fn * rests[i] - ((t - rest) - w);
        y = rest - w;
    }
    r = {y, (rest - y) - w};
    return n & 7;
}

using Unsigned128 = unsigned __int128;

// The 64 bits of the table from bit position p on.
uint64_t table_window(int p) {
    int word = p >> 6, shift = p & 63;
    uint64_t high = kTwoOverPiBits[word];
    return shift == 0 ? high : high << shift | kTwoOverPiBits[word + 1] >> (64 - shift);
}

// For |x| >= kPieceLimit (so that the window below starts inside the table).
int reduce_exactly(double x, DoubleDouble &r) {
    uint64_t b = bits_of(x);
    uint64_t m = (b & kFractionMask) | uint64_t{1} << 52;
    int e = static_cast<int>((b >> 52) & 0x7FF) - 1075; // |x| = m 2^e
    // Bit j of 2/pi (worth 2^-j) adds m 2^(e - j) to |x| 2/pi: a multiple of 8 for
    // j <= e - 3. The 192 bits from j = e - 2 on give the product modulo 8 with 189
    // fraction bits, short by less than 2^-136. Bit j sits at table position j + 63.
    int start = e + 61;
    uint64_t w0 = table_window(start), w1 = table_window(start + 64), w2 = table_window(start + 128);
    Unsigned128 t = static_cast<Unsigned128>(m) * w2;
    uint64_t p2 = static_cast<uint64_t>(t);
    t = static_cast<Unsigned128>(m) * w1 + (t >> 64);
    uint64_t p1 = static_cast<uint64_t>(t);
    uint64_t p0 = m * w0 + static_cast<uint64_t>(t >> 64);
    int n = static_cast<int>(p0 >> 61);
    p0 &= (uint64_t{1} << 61) - 1;
    bool negative = p0 >> 60; // fraction of one half or more: round n up
    if (negative) {
        n++;
        p2 = ~p2 + 1;
        p1 = ~p1 + (p2 == 0);
        p0 = (~p0 + (p2 == 0 && p1 == 0)) & ((uint64_t{1} << 61) - 1);
    }
    // Fraction = (p0 2^128 + p1 2^64 + p2) 2^-189. A double is never closer than about
    // 2^-62 to a multiple of pi/2, so one word shift at most brings a one into p0.
    int scale = 189;
    if (p0 == 0) {
        p0 = p1;
        p1 = p2;
        p2 = 0;
        scale += 64;
    }
    if (p0 == 0) {
        r = {0.0, 0.0};
    } else {
        int lz = __builtin_clzll(p0);
        uint64_t high = lz ? p0 << lz | p1 >> (64 - lz) : p0;
        uint64_t low = lz ? p1 << lz | p2 >> (64 - lz) : p1;
        scale += lz;
        // The top 53 and the next 53 bits of the 128 taken, each exact in a double.
        double top = static_cast<double>(static_cast<int64_t>(high >> 11)) * power_of_two(139 - scale);
        uint64_t next_bits = (high & 0x7FF) << 42 | low >> 22;
        double next = static_cast<double>(static_cast<int64_t>(next_bits)) * power_of_two(86 - scale);
        r = multiply({top, next}, kPiOver2Precise);
        if (negative)
            r = {-r.hi, -r.lo};
    }
    return n & 7;
}

} // namespace

namespace lm::math {

int reduce_by_pi_over_2(double x, DoubleDouble &r) {
    double ax = magnitude(x);
    if (ax <= kPiOver4) {
        r = {x, 0.0};
        return 0;
    }
    if (ax < kPieceLimit)
        return reduce_by_pieces(x, r);
    int n = reduce_exactly(ax, r);
    if (x < 0) {
        r = {-r.hi, -r.lo};
        n = -n;
    }
    return n & 7;
}

} // namespace lm::math
