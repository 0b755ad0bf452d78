#ifndef _STRINGS_H
#define _STRINGS_H

#include <_lbw_cdefs.h>
#include <stddef.h>

_LBW_BEGIN_C

void bzero(void *dst, size_t n);
void __bzero(void *dst, size_t n);
/* Zero when the blocks are equal, nonzero otherwise. */
int bcmp(const void *a, const void *b, size_t n);

_LBW_END_C

#endif
