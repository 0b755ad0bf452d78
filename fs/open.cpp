// Opening, reopening and closing streams, the list of open streams, and growing a
// stream's buffer.
#include "fs/stream.h"

#include <stdlib.h>
#include <string.h>

// Every open stream, newest first: exit and fflush(NULL) flush them all.
lmfs_file *gOpenStreams;

namespace lm::fs {

namespace {

struct StandardStream {
    const char *name;
    Kind kind;
    bool can_read;
    bool can_write;
};

constexpr StandardStream kStandardStreams[] = {
    {"__lmfs_stdin", kStandardInput, true, false},
    {"__lmfs_stdout", kStandardOutput, false, true},
    {"__lmfs_stderr", kStandardError, false, true},
};

const StandardStream *standard_stream(const char *path) {
    for (const StandardStream &standard : kStandardStreams)
        if (strcmp(path, standard.name) == 0)
            return &standard;
    return nullptr;
}

lmfs_file *new_record() {
    auto *stream = static_cast<lmfs_file *>(malloc(sizeof(lmfs_file)));
    if (!stream) {
        lm_errno = LM_ENOMEM;
        return nullptr;
    }
    memset(stream, 0, sizeof *stream);
    stream->unget_char = -1;
    return stream;
}

// Copies at most 240 characters: a longer name is cut.
void store_path(lmfs_file *stream, const char *path) {
    uint64_t i = 0;
    for (; i < kPathCapacity - 1 && path[i]; i++)
        stream->path[i] = path[i];
    stream->path[i] = 0;
}

bool longer_than_stored_path(const char *path) {
    for (uint64_t i = 0; i < kPathCapacity; i++)
        if (!path[i])
            return false;
    return true;
}

// Gives up an open before the record owns a buffer; `code` 0 keeps lm_errno as set.
lmfs_file *fail_open(lmfs_file *stream, int code) {
    if (code)
        lm_errno = code;
    free(stream);
    return nullptr;
}

lmfs_file *open_standard(const StandardStream &standard) {
    lmfs_file *stream = new_record();
    if (!stream)
        return nullptr;
    stream->kind = standard.kind;
    stream->can_read = standard.can_read;
    stream->can_write = standard.can_write;
    store_path(stream, standard.name);
    return stream;
}

lmfs_file *register_open(lmfs_file *stream) {
    stream->next_open = gOpenStreams;
    stream->previous_open = nullptr;
    if (gOpenStreams)
        gOpenStreams->previous_open = stream;
    gOpenStreams = stream;
    return stream;
}

void unregister_open(lmfs_file *stream) {
    if (stream->previous_open)
        stream->previous_open->next_open = stream->next_open;
    else if (gOpenStreams == stream)
        gOpenStreams = stream->next_open;
    if (stream->next_open)
        stream->next_open->previous_open = stream->previous_open;
    stream->next_open = stream->previous_open = nullptr;
}

} // namespace

Lookup look_up(const char *path, LmBaremetalProgramFileInfo &info) {
    memset(&info, 0, sizeof info);
    if (!lm_lua_app_stat_file(path, &info))
        return Lookup::absent;
    if (info.address == 0 && info.size != 0)
        return Lookup::unusable;
    return Lookup::present;
}

lmfs_file *open_stream(const char *path, const char *mode, OpenRules rules) {
    if (!path || !mode) {
        lm_errno = LM_EINVAL;
        return nullptr;
    }
    const bool standard_c = rules == OpenRules::standard_c;
    if (standard_c && mode[0] != 'r' && mode[0] != 'w' && mode[0] != 'a') {
        lm_errno = LM_EINVAL;
        return nullptr;
    }
    if (const StandardStream *standard = standard_stream(path)) {
        lmfs_file *stream = open_standard(*standard);
        return stream ? register_open(stream) : nullptr;
    }

    bool truncate = strchr(mode, 'w');
    bool append = strchr(mode, 'a');
    bool plus = strchr(mode, '+');
    // The file layer lets "a" read; C's "a" only writes.
    bool can_read = strchr(mode, 'r') || plus || (append && !standard_c);
    bool can_write = truncate || append || plus;
    // A writable stream writes its content back under its stored path: a cut path
    // would write to another file than the one opened.
    if (can_write && longer_than_stored_path(path)) {
        lm_errno = LM_EINVAL;
        return nullptr;
    }

    lmfs_file *stream = new_record();
    if (!stream)
        return nullptr;
    stream->kind = kFile;
    stream->can_read = can_read;
    stream->can_write = can_write;
    stream->append = append;
    store_path(stream, path);

    LmBaremetalProgramFileInfo info;
    switch (look_up(path, info)) {
    case Lookup::absent:
        if (!can_write || (standard_c && mode[0] == 'r'))
            return fail_open(stream, LM_ENOENT);
        // C creates the file at the open; here the first flush does, written or not.
        stream->dirty = standard_c;
        break;
    case Lookup::unusable:
        return fail_open(stream, LM_EIO);
    case Lookup::present:
        if (standard_c && truncate && strchr(mode, 'x'))
            return fail_open(stream, LM_EEXIST);
        // With 'w' the stream starts empty; the stored file is replaced only when
        // something written is flushed (under C's rules: at the first flush).
        stream->dirty = standard_c && truncate;
        if (info.size != 0 && !truncate) {
            if (can_write) {
                if (!lm_lua_file_reserve(stream, info.size))
                    return fail_open(stream, 0);
                memcpy(stream->buffer, host_bytes(info), info.size);
            } else {
                stream->data = host_bytes(info); // read in place, never copied
            }
            stream->size = info.size;
        }
        break;
    }
    // C leaves the start of reading in "a+" open; it is the beginning, as elsewhere.
    if (append && !(standard_c && plus))
        stream->position = stream->size;
    return register_open(stream);
}

int flush_open_streams() {
    int result = 0;
    for (lmfs_file *stream = gOpenStreams; stream; stream = stream->next_open)
        if (lmfs_fflush(stream) != 0)
            result = -1;
    return result;
}

void move_into(lmfs_file *stream, lmfs_file *fresh) {
    unregister_open(fresh);
    lmfs_file *next = stream->next_open, *previous = stream->previous_open;
    if (stream->buffer)
        free(stream->buffer);
    memcpy(stream, fresh, sizeof *stream);
    stream->next_open = next;
    stream->previous_open = previous;
    free(fresh);
}

} // namespace lm::fs

using namespace lm::fs;

LM_EXPORT lmfs_file *lmfs_fopen(const char *path, const char *mode) {
    return open_stream(path, mode, OpenRules::file_layer);
}

LM_EXPORT int lmfs_fclose(lmfs_file *stream) {
    if (!stream)
        return 0;
    int result = lmfs_fflush(stream);
    unregister_open(stream);
    if (stream->buffer)
        free(stream->buffer);
    free(stream);
    return result;
}

LM_EXPORT lmfs_file *lmfs_freopen(const char *path, const char *mode, lmfs_file *stream) {
    if (stream)
        lmfs_fclose(stream);
    return lmfs_fopen(path, mode);
}

extern "C" bool lm_lua_file_reserve(lmfs_file *stream, uint64_t needed) {
    if (!stream)
        return false;
    if (stream->capacity >= needed)
        return true;
    uint64_t capacity = stream->capacity ? stream->capacity : kFirstCapacity;
    bool overflow = false;
    while (capacity < needed && !overflow) {
        overflow = capacity > UINT64_MAX / 2;
        capacity *= 2;
    }
    void *grown = overflow ? nullptr : realloc(stream->buffer, capacity);
    if (!grown) {
        lm_errno = LM_ENOMEM;
        stream->error = true;
        return false;
    }
    stream->buffer = static_cast<uint8_t *>(grown);
    stream->data = stream->buffer;
    stream->capacity = capacity;
    return true;
}
