#ifndef _TIME_H
#define _TIME_H

#include <_lbw_cdefs.h>
#include <stddef.h>

_LBW_BEGIN_C

typedef long long clock_t;
typedef long long time_t;

/* Counts calls, not time: 0, 1, 2, ... */
clock_t clock(void);
/* The machine has no clock: always 0x4C4D4236. */
time_t time(time_t *out);

_LBW_END_C

#endif
