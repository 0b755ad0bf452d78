// The stream record. Self-contained (only <stdint.h> and <stdbool.h>), so that hosted
// code such as the test suite can read records of a running library by this layout.
#pragma once

#include <stdbool.h>
#include <stdint.h>

namespace lm::fs {

enum Kind : uint32_t { kFile = 0, kStandardInput = 1, kStandardOutput = 2, kStandardError = 3 };

inline constexpr uint64_t kPathCapacity = 241; // 240 characters and the terminator
inline constexpr uint64_t kLineCapacity = 512; // standard input's current line

} // namespace lm::fs

struct lmfs_file {
    uint32_t kind;
    char path[lm::fs::kPathCapacity];
    const uint8_t *data;   // where reads come from: the host's bytes (read-only) or `buffer`
    uint8_t *buffer;       // the stream's own copy of the content; writable streams only
    uint64_t size;
    uint64_t capacity;     // bytes allocated for `buffer`
    uint64_t position;     // for standard output and error: bytes written
    int32_t unget_char;    // -1 when nothing is pushed back
    bool can_read;
    bool can_write;
    bool append;
    bool dirty;            // changed since the last successful flush
    bool eof;
    bool error;
    char line[lm::fs::kLineCapacity]; // standard input: the line, its line feed and a NUL
    uint64_t line_length;  // bytes of `line` to hand out
    uint64_t line_index;   // next byte of `line` to hand out
    lmfs_file *next_open;  // the list of open streams, which exit and fflush(NULL) flush
    lmfs_file *previous_open;
};
