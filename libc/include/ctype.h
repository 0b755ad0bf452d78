#ifndef _CTYPE_H
#define _CTYPE_H

#include <_lbw_cdefs.h>

_LBW_BEGIN_C

/* ASCII classes only: values outside 0..127 (EOF included) belong to no class. Each
 * test returns exactly 1 or 0. */
int islower(int ch);
int isupper(int ch);
int isalpha(int ch);
int isdigit(int ch);
int isalnum(int ch);
int isxdigit(int ch);
int isspace(int ch);
int isblank(int ch);
int isprint(int ch);
int isgraph(int ch);
int iscntrl(int ch);
int ispunct(int ch);
/* Only A-Z and a-z change; every other value is returned as it is. */
int tolower(int ch);
int toupper(int ch);

_LBW_END_C

#endif
