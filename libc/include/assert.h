/* assert: with NDEBUG defined it does nothing; otherwise a false expression writes
 * "file:line: function: Assertion `expression' failed." to the console and stops the
 * machine (abort). Like every standard header, this one may be included again with a
 * different NDEBUG. */
#include <_lbw_cdefs.h>

#undef assert
#ifdef NDEBUG
#define assert(expression) ((void)0)
#else
_LBW_BEGIN_C
__attribute__((noreturn)) void __assert_fail(const char *expression, const char *file,
                                             unsigned int line, const char *function);
_LBW_END_C
#define assert(expression) \
    ((expression) ? (void)0 : __assert_fail(#expression, __FILE__, __LINE__, __func__))
#endif

#if !defined(__cplusplus) && !defined(static_assert)
#define static_assert _Static_assert
#endif
