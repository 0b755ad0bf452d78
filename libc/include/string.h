#ifndef _STRING_H
#define _STRING_H

#include <_lbw_cdefs.h>
#include <stddef.h>

_LBW_BEGIN_C

void *memcpy(void *dst, const void *src, size_t n);
void *memmove(void *dst, const void *src, size_t n);
void *memset(void *dst, int ch, size_t n);
int memcmp(const void *a, const void *b, size_t n);
void *memchr(const void *s, int ch, size_t n);
/* Zero when the blocks are equal, nonzero otherwise (memcmp's answer). Compilers turn
 * memcmp(a, b, n) == 0 into a call of bcmp. */
int bcmp(const void *a, const void *b, size_t n);

size_t strlen(const char *s);
int strcmp(const char *a, const char *b);
int strncmp(const char *a, const char *b, size_t n);
int strcoll(const char *a, const char *b);
char *strcpy(char *dst, const char *src);
/* Pads with NULs up to n; leaves no terminator when src has n or more bytes. */
char *strncpy(char *dst, const char *src, size_t n);
char *strcat(char *dst, const char *src);
/* Appends at most n bytes of src, then always a terminator. */
char *strncat(char *dst, const char *src, size_t n);
char *strdup(const char *s);
char *strchr(const char *s, int ch);
char *strrchr(const char *s, int ch);
size_t strspn(const char *s, const char *set);
size_t strcspn(const char *s, const char *set);
char *strpbrk(const char *s, const char *set);
char *strstr(const char *hay, const char *needle);

/* A constant message for an lm_errno value; "error" for unknown values. */
char *strerror(int code);

_LBW_END_C

#endif
