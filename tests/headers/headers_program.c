/* Built against the public headers alone, as C and again as C++: every declaration must
 * match what the library exports well enough to compile, link and give the right
 * answers (with -fno-builtin, every call reaches the library). */
#include <ctype.h>
#include <locale.h>
#include <lorrinboot.h>
#include <math.h>
#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <time.h>

/* The locale record: ten strings, then the eight one-byte members, and nothing after. */
_Static_assert(offsetof(struct lconv, decimal_point) == 0 && offsetof(struct lconv, mon_decimal_point) == 40 &&
                   offsetof(struct lconv, negative_sign) == 72 && offsetof(struct lconv, int_frac_digits) == 80 &&
                   offsetof(struct lconv, p_sep_by_space) == 83 && offsetof(struct lconv, n_cs_precedes) == 84 &&
                   offsetof(struct lconv, n_sign_posn) == 87 && sizeof(struct lconv) == 88,
               "lconv layout");

#define CHECK(condition) failures += (condition) ? 0 : 1

static int failed_checks(void) {
    int failures = 0;
    char *end = 0, line[40], *copy = strdup("copied");
    const char *text = " -0x1Fz";
    int e = 0;
    time_t t = 0;
    unsigned char *block = (unsigned char *)lm_probe_heap_alloc(32);
    CHECK(snprintf(line, sizeof line, "%s %d %lu %f", copy, abs(-3), (unsigned long)strlen("four"), 0.5) == 19);
    CHECK(strcmp(line, "copied 3 4 0.500000") == 0 && memcmp(copy, "copy", 3) == 0);
    free(copy);
    bzero(block, 32);
    memset(block, 7, 4);
    CHECK(block[3] == 7 && block[4] == 0 && lm_probe_heap_total_bytes() > lm_probe_heap_free_bytes());
    CHECK(time(&t) == 0x4C4D4236 && t == 0x4C4D4236 && clock() == 0 && getenv("HOME") == 0 && system("x") == -1);
    CHECK(isalpha('q') && !isalpha('@') && isdigit('7') && isalnum('Z') && isxdigit('f'));
    CHECK(isspace('\v') && isblank('\t') && isprint(' ') && islower('a') && isupper('A'));
    CHECK(tolower('Q') == 'q' && toupper('q') == 'Q');
    CHECK(setlocale(LC_ALL, "") != 0 && localeconv()->decimal_point[0] == '.');
    CHECK(localeconv()->n_sign_posn == 0 && localeconv()->mon_decimal_point[0] == '.');
    CHECK(strtol(text, &end, 0) == -31 && end == text + 6);
    CHECK(strtoul("17", 0, 8) == 15 && strtoll("-5", 0, 10) == -5 && strtoull("z", 0, 37) == 35);
    CHECK(strtod("1.5e3", 0) == 1500.0 && strtof("0.5", 0) == 0.5f);
    CHECK(ldexp(1, 10) == 1024 && frexp(8, &e) == 0.5 && e == 4 && fmod(7.5, 2) == 1.5);
    CHECK(pow(2, 10) == 1024 && floor(-0.5) == -1 && ceil(0.5) == 1 && trunc(-1.5) == -1);
    CHECK(round(2.5) == 3 && lround(-2.5) == -3 && llround(2.5) == 3 && sqrt(4) == 2);
    CHECK(log(1) == 0 && sin(0) == 0 && cos(0) == 1 && fabs(-3.0) == 3 && isfinite(1.0));
    CHECK(lm_math_isfinite(2.0) && lm_math_isfinitef(2.0f) && lm_math_isfinitel(2.0L));
    CHECK(exp(0) == 1 && log2(8) == 3 && log10(1000) == 3 && tan(0) == 0 && atan(1) * 4 == acos(-1));
    CHECK(asin(1) == acos(-1) / 2 && atan2(0, -1) == acos(-1) && sinh(0) == 0 && cosh(0) == 1 && tanh(30) == 1);
    CHECK(HUGE_VAL > 1e308 && HUGE_VALF > 3e38f && INFINITY == HUGE_VAL && NAN != NAN && exp(1000) == HUGE_VAL);
    CHECK(exp(-INFINITY) == 0.0 && atan2(-0.0, 1.0) == 0.0);
    CHECK(frexpf(8, &e) == 0.5f && ldexpf(1, 3) == 8 && powf(2, 3) == 8 && floorf(1.5f) == 1);
    CHECK(ceilf(1.5f) == 2 && truncf(-1.5f) == -1 && sqrtf(4) == 2 && logf(1) == 0);
    CHECK(sinf(0) == 0 && cosf(0) == 1 && fmodf(7.5f, 2) == 1.5f && fabsf(-2.0f) == 2);
    CHECK(__ashldi3(1, 4) == 16 && __lshrdi3(-1, 60) == 15 && __ashrdi3(-16, 2) == -4);
    CHECK(udivmod64(10, 3, 0) == 3 && __udivdi3(10, 3) == 3 && __umoddi3(10, 3) == 1);
    CHECK(__divdi3(-7, 2) == -3 && __moddi3(-7, 2) == -1);
    return failures;
}

int main(void) {
    char line[40];
    int failures = failed_checks();
    int n = snprintf(line, sizeof line, "failed checks %d", failures);
    lm_lua_write(line, (uint64_t)n);
    lm_lua_writeline();
    lm_lua_write("flushed", 7);
    lm_lua_flush_output();
    lm_lua_write_errorf("error %s\n", "shown");
    return failures;
}
