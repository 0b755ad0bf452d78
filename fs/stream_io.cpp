// Reading, writing, positioning and flushing an open stream. A file's content lives in
// memory; the host sees it only at a flush, whole, in one write.
#include "fs/stream.h"
#include "libc/move.h"

#include <lorrinboot/console.h>
#include <string.h>

using namespace lm::fs;

namespace {

int reject_seek(lmfs_file *stream) {
    lm_errno = LM_EINVAL;
    stream->error = true;
    return -1;
}

} // namespace

LM_EXPORT int lmfs_getc(lmfs_file *stream) {
    if (!stream || !stream->can_read)
        return -1;
    if (stream->unget_char != -1) {
        int byte = stream->unget_char;
        stream->unget_char = -1;
        return byte;
    }
    if (stream->kind == kStandardInput)
        return read_console_byte(stream);
    if (stream->position < stream->size)
        return stream->data[stream->position++];
    stream->eof = true;
    return -1;
}

LM_EXPORT uint64_t lmfs_fread(void *destination, uint64_t item_size, uint64_t item_count, lmfs_file *stream) {
    if (item_count == 0 || item_size == 0 || !destination || !stream || !stream->can_read)
        return 0;
    auto *out = static_cast<uint8_t *>(destination);
    for (uint64_t item = 0; item < item_count; item++) {
        for (uint64_t i = 0; i < item_size; i++) {
            int byte = lmfs_getc(stream);
            if (byte == -1)
                return item;
            *out++ = static_cast<uint8_t>(byte);
        }
    }
    return item_count;
}

LM_EXPORT uint64_t lmfs_fwrite(const void *source, uint64_t item_size, uint64_t item_count, lmfs_file *stream) {
    if (item_count == 0 || item_size == 0 || !source || !stream || !stream->can_write)
        return 0;
    if (item_count > UINT64_MAX / item_size)
        return 0;
    uint64_t total = item_size * item_count;

    if (stream->kind == kStandardOutput || stream->kind == kStandardError) {
        lm_lua_write(source, total);
        stream->position += total;
        return item_count;
    }

    if (stream->append)
        stream->position = stream->size;
    // An end beyond 2^64 cannot be held; fail before any byte or gap is written.
    if (stream->position > UINT64_MAX - total) {
        lm_errno = LM_ENOMEM;
        stream->error = true;
        return 0;
    }
    uint64_t end = stream->position + total;
    // Most writes fit the buffer as it is: only a growing one calls out.
    if (end > stream->capacity && !lm_lua_file_reserve(stream, end))
        return 0;
    if (stream->position > stream->size)
        memset(stream->buffer + stream->size, 0, stream->position - stream->size);
    uint8_t *to = stream->buffer + stream->position;
    // Short pieces, the usual writes, are copied here without a call: memcpy's result,
    // as long as the destination does not start inside the source.
    if (total <= 64 && lm::copy_is_move(to, source, total))
        lm::move_small(to, static_cast<const uint8_t *>(source), total);
    else
        memcpy(to, source, total);
    stream->position = end;
    if (end > stream->size)
        stream->size = end;
    stream->dirty = true;
    stream->eof = false;
    return item_count;
}

LM_EXPORT int lmfs_fseek(lmfs_file *stream, int64_t offset, int origin) {
    if (!stream) {
        lm_errno = LM_EINVAL;
        return -1;
    }
    if (stream->kind != kFile)
        return reject_seek(stream);
    uint64_t base;
    switch (origin) {
    case LMFS_SEEK_SET: base = 0; break;
    case LMFS_SEEK_CUR: base = stream->position; break;
    case LMFS_SEEK_END: base = stream->size; break;
    default: return reject_seek(stream);
    }
    int64_t target;
    if (base > INT64_MAX || __builtin_add_overflow(offset, static_cast<int64_t>(base), &target) || target < 0)
        return reject_seek(stream);
    stream->position = static_cast<uint64_t>(target);
    stream->eof = stream->position >= stream->size;
    stream->unget_char = -1;
    return 0;
}

LM_EXPORT int64_t lmfs_ftell(lmfs_file *stream) {
    if (!stream) {
        lm_errno = LM_EINVAL;
        return -1;
    }
    return static_cast<int64_t>(stream->position);
}

LM_EXPORT int lmfs_fflush(lmfs_file *stream) {
    if (!stream || stream->kind != kFile || !stream->dirty)
        return 0;
    // The host's size field is 32 bits: a larger content cannot be handed over whole.
    if (stream->size > kHostSizeLimit ||
        !lm_lua_app_write_file(stream->path, stream->data, static_cast<uint32_t>(stream->size))) {
        lm_errno = LM_EIO;
        stream->error = true;
        return -1;
    }
    stream->dirty = false;
    return 0;
}

LM_EXPORT int lmfs_feof(lmfs_file *stream) {
    return stream && stream->eof ? 1 : 0;
}

LM_EXPORT int lmfs_ferror(lmfs_file *stream) {
    return stream && stream->error ? 1 : 0;
}

// A pushed-back byte is kept: readers that look one byte ahead (a number followed by a
// line feed) push it back and may clear the indicators before reading on.
LM_EXPORT void lmfs_clearerr(lmfs_file *stream) {
    if (!stream)
        return;
    stream->eof = false;
    stream->error = false;
}

LM_EXPORT int lmfs_ungetc(int byte, lmfs_file *stream) {
    if (byte == -1 || !stream)
        return -1;
    stream->unget_char = byte & 0xFF;
    stream->eof = false;
    return byte & 0xFF;
}
