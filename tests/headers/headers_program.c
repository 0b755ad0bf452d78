/* Built against the public headers alone, as strict C without builtins (every call
 * reaches the library) and as C++ with the compiler's usual builtins (memcmp(...) == 0
 * becomes a call of bcmp): every declaration must match what the library exports well
 * enough to compile, link and give the right answers. */
#include <ctype.h>
#include <locale.h>
#include <lorrinboot.h>
#include <math.h>
#include <signal.h>
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
_Static_assert(sizeof(struct tm) == 36 && offsetof(struct tm, tm_mon) == 16 && offsetof(struct tm, tm_isdst) == 32,
               "struct tm holds the nine standard members in order");
_Static_assert(SIGINT == 2 && SIGILL == 4 && SIGABRT == 6 && SIGFPE == 8 && SIGSEGV == 11 && SIGTERM == 15,
               "Linux signal numbers");
_Static_assert(CLOCKS_PER_SEC == 1000000 && sizeof(time_t) == 8, "time types");

#define CHECK(condition) failures += (condition) ? 0 : 1

static volatile sig_atomic_t interrupted;
static void on_interrupt(int sig) { interrupted = sig; }
static const char *volatile hello = "hello"; /* not a constant the compiler could fold */

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
    CHECK(isalpha('q') && !isalpha('@') && isdigit('7') && isalnum('Z') && isxdigit('f') && ispunct('!'));
    CHECK(isspace('\v') && isblank('\t') && isprint(' ') && islower('a') && isupper('A') && iscntrl('\n'));
    CHECK(tolower('Q') == 'q' && toupper('q') == 'Q' && isgraph(hello[0]) && !ispunct(hello[0]));
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

static int failed_string_time_and_signal_checks(void) {
    int failures = 0;
    char buffer[40];
    time_t t = 951782400; /* 2000-02-29 00:00:00 */
    struct tm tm;
    CHECK(gmtime_r(&t, &tm) == &tm && tm.tm_yday == 59 && localtime(&t)->tm_wday == 2 && gmtime(&t)->tm_mday == 29);
    tm.tm_mday += 1;
    CHECK(mktime(&tm) == t + 86400 && tm.tm_mon == 2 && localtime_r(&t, &tm) == &tm && difftime(t, 0) == 951782400.0);
    CHECK(strftime(buffer, sizeof buffer, "%F %a %V", &tm) == 17 && memcmp(buffer, "2000-02-29 Tue 09", 18) == 0);
    CHECK(strrchr(hello, 'l') == hello + 3 && strcspn(hello, "o") == 4);
    strncpy(buffer, hello, sizeof buffer);
    CHECK(memcmp(buffer, hello, strlen(hello) + 1) == 0 && bcmp(buffer, hello, strlen(hello)) == 0);
    strcat(buffer, "!");
    strncat(buffer, "??", 1);
    CHECK(strcmp(buffer, "hello!?") == 0);
    CHECK(signal(SIGINT, on_interrupt) == SIG_DFL && signal(SIGINT, SIG_IGN) == on_interrupt);
    CHECK(signal(1, SIG_IGN) == SIG_DFL && signal(64, SIG_IGN) == SIG_DFL);
    /* Numbers outside 1..64, the two that cannot be caught, and SIG_ERR are refused. */
    CHECK(signal(0, SIG_IGN) == SIG_ERR && signal(65, SIG_IGN) == SIG_ERR && signal(9, SIG_IGN) == SIG_ERR);
    CHECK(signal(19, SIG_IGN) == SIG_ERR && signal(SIGTERM, SIG_ERR) == SIG_ERR && signal(SIGTERM, SIG_IGN) == SIG_DFL);
    CHECK(raise(SIGTERM) != 0 && interrupted == 0);
    return failures;
}

/* A file written, read back whole, and shown on the console through stdout. */
static int failed_file_checks(void) {
    int failures = 0;
    const char text[] = "first line\n";
    uint8_t *data = NULL;
    uint64_t size = 0;
    lmfs_file *file = lmfs_fopen("notes.txt", "w+");
    CHECK(lmfs_fwrite(text, 1, sizeof text - 1, file) == sizeof text - 1 && lmfs_fseek(file, 0, LMFS_SEEK_SET) == 0);
    CHECK(lmfs_getc(file) == 'f' && lmfs_fclose(file) == 0);
    CHECK(lmfs_read_entire_file("notes.txt", &data, &size) && size == sizeof text - 1);
    CHECK((stdout = lmfs_fopen("__lmfs_stdout", "w")) != NULL && fwrite(data, 1, size, stdout) == size);
    free(data);
    CHECK(lmfs_fopen("absent.txt", "r") == NULL && lm_errno == LM_ENOENT && !strcmp(strerror(lm_errno), "no such file"));
    CHECK(fclose(stdout) == 0);
    stdout = NULL;
    return failures;
}

int main(void) {
    char line[40];
    int failures = failed_checks() + failed_string_time_and_signal_checks() + failed_file_checks();
    int n = snprintf(line, sizeof line, "failed checks %d", failures);
    lm_lua_write(line, (uint64_t)n);
    lm_lua_writeline();
    lm_lua_write("flushed", 7);
    lm_lua_flush_output();
    lm_lua_write_errorf("error %s\n", "shown");
    return failures;
}
