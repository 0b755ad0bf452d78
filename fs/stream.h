// What the file layer's own files share.
#pragma once

#include "fs/record.h"
#include "host/program_api.h"

#include <lorrinboot/files.h>

namespace lm::fs {

inline constexpr uint64_t kConsoleReadCapacity = 510; // leaves room in `line` for LF and NUL
inline constexpr uint64_t kFirstCapacity = 256;
inline constexpr uint64_t kHostSizeLimit = 0xFFFFFFFFu; // the host's size fields are 32 bits

// What the host's stat_file said about a path.
enum class Lookup { absent, present, unusable };

// stat_file through the host bridge. A nonempty file said to lie at address 0 is
// `unusable`: no stored content lives there, and reading it would fault or copy
// whatever the machine keeps at 0.
Lookup look_up(const char *path, LmBaremetalProgramFileInfo &info);

inline const uint8_t *host_bytes(const LmBaremetalProgramFileInfo &info) {
    return reinterpret_cast<const uint8_t *>(static_cast<uintptr_t>(info.address));
}

// The next byte of standard input; reads a console line when the current one is used up.
int read_console_byte(lmfs_file *stream);

// How a mode is read. The file layer's rules (lmfs_fopen) take the letters anywhere in
// the mode. The C library's rules (fopen) add the standard's: the mode starts with 'r',
// 'w' or 'a' (else LM_EINVAL); 'r' needs an existing file (else LM_ENOENT); 'w' with
// 'x' needs an absent one (else LM_EEXIST); and a 'w' stream, or a writable stream on
// an absent file, replaces the stored file at its first flush even with nothing written;
// "a" cannot read, and "a+" starts reading at the beginning (writes go to the end).
enum class OpenRules { file_layer, standard_c };
lmfs_file *open_stream(const char *path, const char *mode, OpenRules rules);

// Flushes every open stream; -1 when any flush failed, else 0.
int flush_open_streams();

// Gives `stream`'s record the open stream `fresh` (which is released): the record stays
// where it is, so pointers to it stay valid. `stream`'s own buffer is freed unflushed.
void move_into(lmfs_file *stream, lmfs_file *fresh);

} // namespace lm::fs

// Makes `buffer` hold at least `needed` bytes, doubling from 256. On failure:
// lm_errno = LM_ENOMEM, `error` set, the old buffer kept.
extern "C" bool lm_lua_file_reserve(lmfs_file *stream, uint64_t needed);
