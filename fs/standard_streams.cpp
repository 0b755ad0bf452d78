// The standard streams: the exported globals a program fills, and standard input's
// line reading from the console (standard output and error write through lm_lua_write).
#include "fs/stream.h"

#include <lorrinboot/console.h>

LM_EXPORT lmfs_file *stdin = nullptr;
LM_EXPORT lmfs_file *stdout = nullptr;
LM_EXPORT lmfs_file *stderr = nullptr;

namespace lm::fs {

int read_console_byte(lmfs_file *stream) {
    if (stream->line_index >= stream->line_length) {
        if (!lm_lua_readline(stream->line, kConsoleReadCapacity, "", 0)) {
            stream->eof = true;
            return -1;
        }
        // A host that leaves no terminator within the capacity still cannot push the
        // line feed and NUL out of `line`.
        uint64_t n = 0;
        while (n < kConsoleReadCapacity && stream->line[n])
            n++;
        stream->line[n] = '\n';
        stream->line[n + 1] = 0;
        stream->line_length = n + 1;
        stream->line_index = 0;
    }
    return static_cast<uint8_t>(stream->line[stream->line_index++]);
}

} // namespace lm::fs
