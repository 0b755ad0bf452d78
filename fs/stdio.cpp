// The C library's names for the stream functions: thin entry points over the file
// layer with the standard's results (EOF, NULL, 0) and, where the file layer's own
// functions mean something else, the standard's meaning:
// - fopen reads its mode by C's rules (open_stream);
// - freopen keeps the FILE where it is, so a stored stdin or stdout stays valid;
// - a pushed-back byte stands one position before the file layer's position, as on a
//   binary stream, and a successful fseek clears the end indicator;
// - fflush also sends the console's pending line for the console's output streams;
// - a refused fseek leaves the error indicator as it was;
// - reading a stream not open for reading, or writing one not open for writing, is an
//   error of the stream (its error indicator and EBADF), not a quiet end of file.
#include "fs/stream.h"

#include <lorrinboot/console.h>
#include <errno.h>
#include <stdio.h>
#include <string.h>

using namespace lm::fs;

namespace {

bool writes_to_console(const FILE *stream) {
    return stream->kind == kStandardOutput || stream->kind == kStandardError;
}

// The file layer's position counts bytes handed out; a byte pushed back puts the
// standard's position one before it (at 0 it stays 0: the standard leaves it open).
bool position_stands_back(const FILE *stream) {
    return stream->unget_char != -1 && stream->position > 0;
}

// True, with the stream's error indicator set, when the stream was not opened for the
// direction asked.
bool refuses(FILE *stream, bool reading) {
    if (!stream || (reading ? stream->can_read : stream->can_write))
        return false;
    stream->error = true;
    lm_errno = EBADF;
    return true;
}

} // namespace

LM_EXPORT FILE *fopen(const char *path, const char *mode) {
    return open_stream(path, mode, OpenRules::standard_c);
}

LM_EXPORT FILE *freopen(const char *path, const char *mode, FILE *stream) {
    if (!stream) {
        lm_errno = LM_EINVAL;
        return nullptr;
    }
    char own_path[kPathCapacity];
    if (!path) {
        memcpy(own_path, stream->path, sizeof own_path);
        path = own_path;
    }
    // Closing first, as C does, so that reopening the same file sees what was written.
    lmfs_fflush(stream);
    FILE *fresh = open_stream(path, mode, OpenRules::standard_c);
    if (!fresh) {
        lmfs_fclose(stream);
        return nullptr;
    }
    move_into(stream, fresh);
    return stream;
}

LM_EXPORT int fclose(FILE *stream) {
    if (!stream)
        return EOF;
    return lmfs_fclose(stream) == 0 ? 0 : EOF;
}

LM_EXPORT size_t fread(void *destination, size_t item_size, size_t item_count, FILE *stream) {
    // Nothing asked leaves the stream as it is, whichever way it was opened.
    if (item_size == 0 || item_count == 0 || refuses(stream, true))
        return 0;
    return lmfs_fread(destination, item_size, item_count, stream);
}

LM_EXPORT size_t fwrite(const void *source, size_t item_size, size_t item_count, FILE *stream) {
    if (item_size == 0 || item_count == 0 || refuses(stream, false))
        return 0;
    return lmfs_fwrite(source, item_size, item_count, stream);
}

LM_EXPORT int fgetc(FILE *stream) {
    return refuses(stream, true) ? EOF : lmfs_getc(stream);
}

LM_EXPORT int getc(FILE *stream) {
    return fgetc(stream);
}

LM_EXPORT int getchar(void) {
    return fgetc(stdin);
}

LM_EXPORT int ungetc(int c, FILE *stream) {
    return lmfs_ungetc(c, stream);
}

LM_EXPORT char *fgets(char *buffer, int size, FILE *stream) {
    if (!buffer || size <= 0 || !stream)
        return nullptr;
    int length = 0;
    while (length < size - 1) {
        int c = fgetc(stream);
        if (c == EOF) {
            if (length == 0)
                return nullptr; // nothing read: the buffer stays as it was
            break;
        }
        buffer[length++] = static_cast<char>(c);
        if (c == '\n')
            break;
    }
    buffer[length] = 0;
    return buffer;
}

LM_EXPORT int fputc(int c, FILE *stream) {
    unsigned char byte = static_cast<unsigned char>(c);
    return fwrite(&byte, 1, 1, stream) == 1 ? byte : EOF;
}

LM_EXPORT int putc(int c, FILE *stream) {
    return fputc(c, stream);
}

LM_EXPORT int putchar(int c) {
    return fputc(c, stdout);
}

LM_EXPORT int fputs(const char *text, FILE *stream) {
    if (!text || !stream)
        return EOF;
    size_t length = strlen(text);
    return length == 0 || fwrite(text, 1, length, stream) == length ? 0 : EOF;
}

LM_EXPORT int puts(const char *text) {
    return fputs(text, stdout) == 0 && fputc('\n', stdout) == '\n' ? 0 : EOF;
}

LM_EXPORT int fflush(FILE *stream) {
    int result = stream ? lmfs_fflush(stream) : flush_open_streams();
    if (!stream || writes_to_console(stream))
        lm_lua_flush_output();
    return result == 0 ? 0 : EOF;
}

LM_EXPORT int fseek(FILE *stream, long offset, int origin) {
    // Relative to the standard's position, which stands before a pushed-back byte.
    bool step_back = stream && origin == SEEK_CUR && position_stands_back(stream);
    if (step_back)
        stream->position--;
    // A refused seek is the call's failure, not an error of the stream: reads and writes
    // after it go on as before.
    bool had_error = stream && stream->error;
    if (lmfs_fseek(stream, offset, origin) != 0) {
        if (step_back)
            stream->position++;
        if (stream)
            stream->error = had_error;
        return -1;
    }
    stream->eof = false;
    return 0;
}

LM_EXPORT long ftell(FILE *stream) {
    int64_t position = lmfs_ftell(stream);
    return position > 0 && position_stands_back(stream) ? position - 1 : position;
}

LM_EXPORT int feof(FILE *stream) {
    return lmfs_feof(stream);
}

LM_EXPORT int ferror(FILE *stream) {
    return lmfs_ferror(stream);
}

LM_EXPORT void clearerr(FILE *stream) {
    lmfs_clearerr(stream);
}

LM_EXPORT int remove(const char *path) {
    return lmfs_remove(path);
}

LM_EXPORT int rename(const char *old_path, const char *new_path) {
    return lmfs_rename(old_path, new_path);
}

LM_EXPORT int setvbuf(FILE *stream, char *, int mode, size_t) {
    return stream && (mode == _IOFBF || mode == _IOLBF || mode == _IONBF) ? 0 : -1;
}

LM_EXPORT FILE *tmpfile(void) {
    return nullptr;
}

LM_EXPORT char *tmpnam(char *) {
    return nullptr;
}
