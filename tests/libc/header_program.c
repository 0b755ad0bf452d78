/* Built against the public headers alone, with the compiler's usual builtins: the
 * declarations must match the library's definitions, and memcmp(...) == 0, which the
 * compiler turns into a call of bcmp, must link. */
#include <ctype.h>
#include <signal.h>
#include <stddef.h>
#include <string.h>
#include <strings.h>
#include <time.h>

_Static_assert(sizeof(struct tm) == 36 && offsetof(struct tm, tm_mon) == 16 && offsetof(struct tm, tm_isdst) == 32,
               "struct tm holds the nine standard members in order");
_Static_assert(SIGINT == 2 && SIGILL == 4 && SIGABRT == 6 && SIGFPE == 8 && SIGSEGV == 11 && SIGTERM == 15,
               "Linux signal numbers");
_Static_assert(CLOCKS_PER_SEC == 1000000 && sizeof(time_t) == 8, "time types");

#define CHECK(condition) failures += (condition) ? 0 : 1

static volatile sig_atomic_t interrupted;
static void on_interrupt(int sig) { interrupted = sig; }

int libc_header_failures(const char *text) {
    int failures = 0;
    char buffer[40];
    time_t t = 951782400; /* 2000-02-29 00:00:00 */
    struct tm tm;
    CHECK(gmtime_r(&t, &tm) == &tm && tm.tm_yday == 59 && localtime(&t)->tm_wday == 2 && gmtime(&t)->tm_mday == 29);
    tm.tm_mday += 1;
    CHECK(mktime(&tm) == t + 86400 && tm.tm_mon == 2 && localtime_r(&t, &tm) == &tm && difftime(t, 0) == 951782400.0);
    CHECK(strftime(buffer, sizeof buffer, "%F %a %V", &tm) == 17 && memcmp(buffer, "2000-02-29 Tue 09", 18) == 0);
    CHECK(isgraph(text[0]) && iscntrl('\n') && ispunct('!') && !ispunct('a'));
    CHECK(strrchr(text, 'l') == text + 3 && strcspn(text, "o") == 4);
    strncpy(buffer, text, sizeof buffer);
    CHECK(memcmp(buffer, text, strlen(text) + 1) == 0 && bcmp(buffer, text, strlen(text)) == 0);
    strcat(buffer, "!");
    strncat(buffer, "??", 1);
    CHECK(strcmp(buffer, "hello!?") == 0);
    CHECK(signal(SIGINT, on_interrupt) == SIG_DFL && signal(SIGINT, SIG_IGN) == on_interrupt);
    /* Numbers outside 1..64, the two that cannot be caught, and SIG_ERR are refused. */
    CHECK(signal(0, SIG_IGN) == SIG_ERR && signal(65, SIG_IGN) == SIG_ERR && signal(9, SIG_IGN) == SIG_ERR);
    CHECK(signal(19, SIG_IGN) == SIG_ERR && signal(SIGTERM, SIG_ERR) == SIG_ERR && signal(SIGTERM, SIG_IGN) == SIG_DFL);
    CHECK(raise(SIGTERM) != 0 && interrupted == 0);
    signal(SIGINT, SIG_DFL); /* as it was, for the next program */
    signal(SIGTERM, SIG_DFL);
    return failures;
}
