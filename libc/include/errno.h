/* The error number: errno is the library's lm_errno. The library sets it only on
 * failure and never clears it; the file layer and the stream functions of <stdio.h>
 * set it. The mathematics and the number parsers set nothing, so the library itself
 * never stores EDOM or ERANGE; they are here for programs that test for them. */
#ifndef _ERRNO_H
#define _ERRNO_H

#include <_lbw_cdefs.h>

_LBW_BEGIN_C

extern int lm_errno;
#define errno lm_errno

#define ENOENT 2  /* no such file */
#define EIO 5     /* input/output error: the host refused a write or delete */
#define EBADF 9   /* the stream is not open for that direction */
#define ENOMEM 12 /* out of memory */
#define EEXIST 17 /* the file exists */
#define EINVAL 22 /* invalid argument */
#define EDOM 33   /* argument outside a function's domain */
#define ERANGE 34 /* result out of range */

_LBW_END_C

#endif
