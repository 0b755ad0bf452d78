/* The file layer: buffered streams over files kept by the host. Opening a file asks
 * the host for its whole content; reading, writing and seeking then happen in memory,
 * and a flush (or close) hands the whole content back to the host in one write.
 *
 * The names "__lmfs_stdin", "__lmfs_stdout" and "__lmfs_stderr" open the standard
 * streams, bound to the console instead of a file. The library never opens them
 * itself: stdin, stdout and stderr stay NULL until the program stores streams there.
 *
 * Failures are reported by the result (NULL, 0 items, -1, false) and, where noted,
 * by lm_errno, which the library sets only on failure and never clears. */
#ifndef LORRINBOOT_FILES_H
#define LORRINBOOT_FILES_H

#include <stdbool.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Values of lm_errno (the POSIX numbers). */
#define LM_ENOENT 2  /* no such file */
#define LM_EIO 5     /* input/output error: the host refused a write or delete */
#define LM_ENOMEM 12 /* out of memory */
#define LM_EEXIST 17 /* the file exists (fopen with "wx") */
#define LM_EINVAL 22 /* invalid argument */

/* Origins for lmfs_fseek. */
#define LMFS_SEEK_SET 0
#define LMFS_SEEK_CUR 1
#define LMFS_SEEK_END 2

/* A stream; opaque to programs. */
typedef struct lmfs_file lmfs_file;

extern int lm_errno;
extern lmfs_file *stdin;
extern lmfs_file *stdout;
extern lmfs_file *stderr;

/* The mode is read letter by letter, anywhere in the string: 'r', '+' or 'a' allow
 * reading; 'w', 'a' or '+' allow writing; 'a' sends every write to the end; 'w' starts
 * empty. Other letters ('b', 't', ...) are ignored. A path that can be written is at
 * most 240 characters long. NULL with lm_errno: LM_EINVAL (NULL argument, path too
 * long to write back), LM_ENOMEM, LM_ENOENT (absent and not writable), LM_EIO (the
 * host described the file unusably). A writable stream on an absent file creates
 * nothing until it is flushed with something written. */
lmfs_file *lmfs_fopen(const char *path, const char *mode);
/* Closes `stream` (when not NULL) and opens afresh: the result is a new stream. */
lmfs_file *lmfs_freopen(const char *path, const char *mode, lmfs_file *stream);
/* Flushes and frees the stream; the flush's result (0 or -1). NULL gives 0. */
int lmfs_fclose(lmfs_file *stream);

/* Complete items read; a partial last item stays in `destination`. */
uint64_t lmfs_fread(void *destination, uint64_t item_size, uint64_t item_count, lmfs_file *stream);
/* The next byte (0-255), or -1 at the end or when the stream cannot read. */
int lmfs_getc(lmfs_file *stream);
/* `item_count`, or 0 when nothing was written (lm_errno LM_ENOMEM when the content
 * could not grow). Writing past the end fills the gap with zero bytes. */
uint64_t lmfs_fwrite(const void *source, uint64_t item_size, uint64_t item_count, lmfs_file *stream);
/* 0, or -1 with lm_errno LM_EINVAL (standard stream, bad origin, target below 0 or
 * beyond the signed 64-bit range). Seeking to or past the end sets the end indicator. */
int lmfs_fseek(lmfs_file *stream, int64_t offset, int origin);
/* The position; for standard output and error, the bytes written. */
int64_t lmfs_ftell(lmfs_file *stream);
/* Hands the whole content to the host when it changed since the last flush. 0, or -1
 * with lm_errno LM_EIO (the change is kept, so the flush can be retried). Flushing
 * standard output does not send the console's pending line. */
int lmfs_fflush(lmfs_file *stream);
int lmfs_feof(lmfs_file *stream);
int lmfs_ferror(lmfs_file *stream);
/* Clears the end and error indicators; a pushed-back byte stays, to be read next. */
void lmfs_clearerr(lmfs_file *stream);
/* Pushes back one byte (one slot; a second push replaces the first). */
int lmfs_ungetc(int byte, lmfs_file *stream);

/* 0, or -1 with lm_errno. Renaming copies the content to the new name, then deletes
 * the old one; open streams are not touched. */
int lmfs_remove(const char *path);
int lmfs_rename(const char *old_path, const char *new_path);

/* On success *out_data is a new block from malloc (at least 1 byte, not
 * NUL-terminated) that the caller frees, and *out_size the file's size. */
bool lmfs_read_entire_file(const char *path, uint8_t **out_data, uint64_t *out_size);
/* Replaces the stored file with `size` bytes; NULL data is allowed with size 0. */
bool lmfs_write_entire_file(const char *path, const void *data, uint64_t size);

/* Host storage is always there and holds every file: there are no images to mount and
 * no virtual files. These entry points accept and ignore their arguments. */
int lmfs_mount_image(const void *image, uint64_t size); /* 0 */
void lmfs_unmount(void);
bool lmfs_is_mounted(void); /* true */
int lmfs_register_virtual_file(const char *path, const void *data, uint64_t size); /* 0 */
void lmfs_clear_virtual_files(void);
const void *lmfs_image_data(void); /* NULL */
uint64_t lmfs_image_size(void);    /* 0 */
int lmfs_export_image(const char *path); /* 0 */

#ifdef __cplusplus
}
#endif

#endif
