/* Standard input and output over the file layer (<lorrinboot/files.h>): a FILE is the
 * file layer's stream, and stdin, stdout and stderr are its standard-stream variables,
 * NULL until the program opens "__lmfs_stdin", "__lmfs_stdout" and "__lmfs_stderr"
 * (with fopen or lmfs_fopen) and stores the streams there. A file is held whole in
 * memory while it is open; the host sees its content at a flush or close.
 *
 * Failures are reported by the standard results (EOF, NULL, 0 items, -1) and, where the
 * file layer notes it, by errno. A NULL stream is a failure, never a fault. */
#ifndef _STDIO_H
#define _STDIO_H

#include <_lbw_cdefs.h>
#include <stdarg.h>
#include <stddef.h>

_LBW_BEGIN_C

typedef struct lmfs_file FILE;

extern FILE *stdin;
extern FILE *stdout;
extern FILE *stderr;
#define stdin stdin
#define stdout stdout
#define stderr stderr

#define EOF (-1)
#define BUFSIZ 512
#define _IOFBF 0
#define _IOLBF 1
#define _IONBF 2
#define L_tmpnam 20
#define FILENAME_MAX 241 /* a path that can be written back: 240 characters */
#define FOPEN_MAX 8      /* more streams open while memory lasts */
#define SEEK_SET 0
#define SEEK_CUR 1
#define SEEK_END 2

/* The standard modes ("r", "w", "a", each with "+" and "b"; "x" after "w"). A mode that
 * does not start with r, w or a fails with EINVAL; "r" of an absent file with ENOENT;
 * "wx" of an existing one with EEXIST. "w" empties the stored file, and "w" or "a" on
 * an absent file creates it, at the stream's first flush or close. "a+" reads from the
 * beginning; every write goes to the end. */
FILE *fopen(const char *path, const char *mode);
/* Closes what `stream` held and opens `path` (NULL: the stream's own path) in the same
 * FILE, which is returned. When the open fails the stream is closed and NULL returned. */
FILE *freopen(const char *path, const char *mode, FILE *stream);
/* Flushes and frees; EOF when the flush failed (the stream is freed all the same). */
int fclose(FILE *stream);

size_t fread(void *destination, size_t item_size, size_t item_count, FILE *stream);
size_t fwrite(const void *source, size_t item_size, size_t item_count, FILE *stream);
int fgetc(FILE *stream);
int getc(FILE *stream);
int getchar(void);
/* One byte can be pushed back; it is read next even after clearerr. The position
 * reported by ftell stands one byte before it. */
int ungetc(int c, FILE *stream);
char *fgets(char *buffer, int size, FILE *stream);
int fputc(int c, FILE *stream);
int putc(int c, FILE *stream);
int putchar(int c);
int fputs(const char *text, FILE *stream);
/* The text and a line feed on stdout. */
int puts(const char *text);

/* Formats exactly as snprintf (below) does, at any length; the count of bytes written,
 * or -1 (NULL stream, failed write, no memory for a long text, 2 GiB or more). */
int printf(const char *format, ...);
int fprintf(FILE *stream, const char *format, ...);
int vprintf(const char *format, va_list args);
int vfprintf(FILE *stream, const char *format, va_list args);

/* Hands a changed file's content to the host. On stdout and stderr it also sends the
 * console's pending line, so that a prompt without a line feed shows. fflush(NULL)
 * flushes every open stream and the console's pending line. 0, or EOF. */
int fflush(FILE *stream);
/* Files only: the standard streams cannot seek (EINVAL). A successful seek clears the
 * end indicator and drops a pushed-back byte. */
int fseek(FILE *stream, long offset, int origin);
long ftell(FILE *stream);
int feof(FILE *stream);
int ferror(FILE *stream);
void clearerr(FILE *stream);

int remove(const char *path);
/* Copies the content to the new name, then removes the old one. */
int rename(const char *old_path, const char *new_path);

/* Streams keep their whole content in memory: buffering modes are accepted (0) and
 * change nothing; a NULL stream or an unknown mode gives -1. */
int setvbuf(FILE *stream, char *buffer, int mode, size_t size);
/* There are no temporary files: both report failure with NULL. */
FILE *tmpfile(void);
char *tmpnam(char *name);

/* A small formatter: d i u x X p c s f and %%. Widths and precisions are skipped; h and
 * hh read an int, l ll j z t read 64 bits. %f prints six truncated decimals (inf, -inf
 * and nan spelled out). Flags and unknown conversions print "?" and take no argument.
 * Returns the length of the whole output, even when it was cut to size - 1. */
int snprintf(char *buffer, size_t size, const char *format, ...);
int vsnprintf(char *buffer, size_t size, const char *format, va_list args);

_LBW_END_C

#endif
