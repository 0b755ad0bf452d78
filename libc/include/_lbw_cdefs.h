/* Shared by the public headers: C linkage in C++ and the NULL pointer. */
#ifndef _LBW_CDEFS_H
#define _LBW_CDEFS_H

#ifdef __cplusplus
#define _LBW_BEGIN_C extern "C" {
#define _LBW_END_C }
#else
#define _LBW_BEGIN_C
#define _LBW_END_C
#endif

#endif
