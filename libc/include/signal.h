#ifndef _SIGNAL_H
#define _SIGNAL_H

#include <_lbw_cdefs.h>

_LBW_BEGIN_C

typedef int sig_atomic_t;

#define SIG_DFL ((void (*)(int))0)
#define SIG_IGN ((void (*)(int))1)
#define SIG_ERR ((void (*)(int))-1)

#define SIGINT 2
#define SIGILL 4
#define SIGABRT 6
#define SIGFPE 8
#define SIGSEGV 11
#define SIGTERM 15

/* Nothing on this machine ever sends a signal, so a handler is recorded and never run.
 * Returns the handler recorded before (SIG_DFL at first), or SIG_ERR, changing nothing,
 * for a number outside 1..64, for SIGKILL (9) and SIGSTOP (19), which cannot be caught,
 * and for SIG_ERR as the handler. */
void (*signal(int sig, void (*handler)(int)))(int);
/* There is nothing to deliver a signal to: runs no handler and returns -1 (failure). */
int raise(int sig);

_LBW_END_C

#endif
