// The printf family: the text is built by vsnprintf, the library's one formatter, and
// written to the stream in one piece. A short text is formatted on the stack; a longer
// one is formatted a second time into a block from malloc, so that its length is bound
// by memory alone and the output is exactly what snprintf gives.
#include "fs/stream.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>

namespace {

constexpr size_t kStackText = 256;

int write_text(FILE *stream, const char *text, int length) {
    if (length == 0)
        return 0;
    return fwrite(text, 1, static_cast<size_t>(length), stream) == static_cast<size_t>(length) ? length : -1;
}

} // namespace

LM_EXPORT int vfprintf(FILE *stream, const char *format, va_list args) {
    if (!stream)
        return -1;
    va_list again;
    va_copy(again, args);
    char text[kStackText];
    int length = vsnprintf(text, sizeof text, format, args);
    int result;
    if (length < 0) {
        result = -1; // 2 GiB or more: beyond what the result can count
    } else if (static_cast<size_t>(length) < sizeof text) {
        result = write_text(stream, text, length);
    } else if (char *block = static_cast<char *>(malloc(static_cast<size_t>(length) + 1))) {
        vsnprintf(block, static_cast<size_t>(length) + 1, format, again);
        result = write_text(stream, block, length);
        free(block);
    } else {
        lm_errno = LM_ENOMEM;
        stream->error = true;
        result = -1;
    }
    va_end(again);
    return result;
}

LM_EXPORT int fprintf(FILE *stream, const char *format, ...) {
    va_list args;
    va_start(args, format);
    int result = vfprintf(stream, format, args);
    va_end(args);
    return result;
}

LM_EXPORT int vprintf(const char *format, va_list args) {
    return vfprintf(stdout, format, args);
}

LM_EXPORT int printf(const char *format, ...) {
    va_list args;
    va_start(args, format);
    int result = vfprintf(stdout, format, args);
    va_end(args);
    return result;
}
