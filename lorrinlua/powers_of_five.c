/* Powers of five to 128 bits: 5^k = 5^(27i) * 5^j, a rounded coarse power times an exact
 * small one, so that 28 table rows cover every power the conversions of doubles need. */
#include "wide.h"

const uint64_t lorrinlua_small_power_of_five[28] = {
    UINT64_C(1), UINT64_C(5), UINT64_C(25), UINT64_C(125), UINT64_C(625), UINT64_C(3125),
    UINT64_C(15625), UINT64_C(78125), UINT64_C(390625), UINT64_C(1953125), UINT64_C(9765625),
    UINT64_C(48828125), UINT64_C(244140625), UINT64_C(1220703125), UINT64_C(6103515625),
    UINT64_C(30517578125), UINT64_C(152587890625), UINT64_C(762939453125),
    UINT64_C(3814697265625), UINT64_C(19073486328125), UINT64_C(95367431640625),
    UINT64_C(476837158203125), UINT64_C(2384185791015625), UINT64_C(11920928955078125),
    UINT64_C(59604644775390625), UINT64_C(298023223876953125), UINT64_C(1490116119384765625),
    UINT64_C(7450580596923828125),
};

const uint64_t lorrinlua_power_of_ten[20] = {
    UINT64_C(1), UINT64_C(10), UINT64_C(100), UINT64_C(1000), UINT64_C(10000), UINT64_C(100000),
    UINT64_C(1000000), UINT64_C(10000000), UINT64_C(100000000), UINT64_C(1000000000),
    UINT64_C(10000000000), UINT64_C(100000000000), UINT64_C(1000000000000),
    UINT64_C(10000000000000), UINT64_C(100000000000000), UINT64_C(1000000000000000),
    UINT64_C(10000000000000000), UINT64_C(100000000000000000), UINT64_C(1000000000000000000),
    UINT64_C(10000000000000000000),
};

/* 5^(27i) for i = -13..14, rounded to nearest: {high word, low word, t} with the value
 * (high * 2^64 + low) * 2^t. */
static const struct {
    uint64_t hi, lo;
    int t;
} coarse[28] = {
    {0x8049a4ac0c5811ae, 0x205b896d777d6279, -942}, /* 5^-351 */
    {0xcf42894a5dce35ea, 0x52064cac828675b9, -880}, /* 5^-324 */
    {0xa76c582338ed2621, 0xaf2af2b80af6f24e, -817}, /* 5^-297 */
    {0x873e4f75e2224e68, 0x5a7744a6e804a292, -754}, /* 5^-270 */
    {0xda7f5bf590966848, 0xaf39a475506a899f, -692}, /* 5^-243 */
    {0xb080392cc4349dec, 0xbd8d794d96aacfb4, -629}, /* 5^-216 */
    {0x8e938662882af53e, 0x547eb47b7282ee9c, -566}, /* 5^-189 */
    {0xe65829b3046b0afa, 0x0cb4a5a3112a5113, -504}, /* 5^-162 */
    {0xba121a4650e4ddeb, 0x92f34d62616ce413, -441}, /* 5^-135 */
    {0x964e858c91ba2655, 0x3a6a07f8d510f870, -378}, /* 5^-108 */
    {0xf2d56790ab41c2a2, 0xfae27299423fb9c3, -316}, /* 5^-81 */
    {0xc428d05aa4751e4c, 0xaa97e14c3c26b887, -253}, /* 5^-54 */
    {0x9e74d1b791e07e48, 0x775ea264cf55347e, -190}, /* 5^-27 */
    {0x8000000000000000, 0x0000000000000000, -127}, /* 5^0 */
    {0xcecb8f27f4200f3a, 0x0000000000000000, -65},  /* 5^27 */
    {0xa70c3c40a64e6c51, 0x999090b65f67d924, -2},   /* 5^54 */
    {0x86f0ac99b4e8dafd, 0x69a028bb3ded71a4, 61},   /* 5^81 */
    {0xda01ee641a708de9, 0xe80e6f4820cc9496, 123},  /* 5^108 */
    {0xb01ae745b101e9e4, 0x5ec05dcff72e7f90, 186},  /* 5^135 */
    {0x8e41ade9fbebc27d, 0x14588f13be847307, 249},  /* 5^162 */
    {0xe5d3ef282a242e81, 0x8f1668c8a86da5fb, 311},  /* 5^189 */
    {0xb9a74a0637ce2ee1, 0x6d953e2bd7173693, 374},  /* 5^216 */
    {0x95f83d0a1fb69cd9, 0x4abdaf101564f98e, 437},  /* 5^243 */
    {0xf24a01a73cf2dccf, 0xbc633b39673c8cec, 499},  /* 5^270 */
    {0xc3b8358109e84f07, 0x0a862f80ec4700c8, 562},  /* 5^297 */
    {0x9e19db92b4e31ba9, 0x6c07a2c26a8346d1, 625},  /* 5^324 */
    {0xff6d0b3492801150, 0x9798278aea58efff, 687},  /* 5^351 */
    {0xce54d951f70637d5, 0x34a44c6fe697a291, 750},  /* 5^378 */
};

void lorrinlua_power_of_five(int k, uint64_t *hi, uint64_t *lo, int *t) {
    int row = (k + 351) / 27, j = (k + 351) % 27;
    if (j == 0) {
        *hi = coarse[row].hi;
        *lo = coarse[row].lo;
        *t = coarse[row].t;
        return;
    }
    /* The product is at least 5 * 2^127: its top word is nonzero. Keep its top 128 bits. */
    wide192 p = wide_mul(lorrinlua_small_power_of_five[j], coarse[row].hi, coarse[row].lo);
    int top = wide_top_bit(&p);
    *hi = wide_bits_at(&p, top - 63);
    *lo = wide_bits_at(&p, top - 127);
    *t = coarse[row].t + top - 127;
}
