#include "boot/file_store.h"

#include <string.h>

namespace lbw::boot {

namespace {

constexpr size_t kCpioHeaderSize = 110;

bool hex_field(const uint8_t *header, int index, uint32_t &value) {
    value = 0;
    for (int i = 0; i < 8; i++) {
        uint8_t c = header[6 + index * 8 + i];
        uint32_t digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return false;
        value = value << 4 | digit;
    }
    return true;
}

uint64_t align4(uint64_t value) {
    return (value + 3) & ~uint64_t{3};
}

} // namespace

const char *FileStore::load_archive(const uint8_t *archive, uint64_t size) {
    enum { kMode = 1, kFileSize = 6, kNameSize = 11 };
    uint64_t at = 0;
    for (;;) {
        if (at > size || size - at < kCpioHeaderSize)
            return "the file archive ends without its trailer";
        const uint8_t *header = archive + at;
        if (memcmp(header, "070701", 6) != 0 && memcmp(header, "070702", 6) != 0)
            return "the file archive is not a cpio archive in the newc format";
        uint32_t mode, file_size, name_size;
        if (!hex_field(header, kMode, mode) || !hex_field(header, kFileSize, file_size) ||
            !hex_field(header, kNameSize, name_size))
            return "the file archive has a damaged header";
        uint64_t name_at = at + kCpioHeaderSize;
        if (name_size == 0 || name_size > size - name_at)
            return "a name in the file archive runs past its end";
        const char *name = reinterpret_cast<const char *>(archive + name_at);
        if (name[name_size - 1] != 0)
            return "a name in the file archive is not terminated";
        uint64_t data_at = align4(name_at + name_size);
        if (data_at > size || file_size > size - data_at)
            return "a file in the file archive runs past its end";
        if (strcmp(name, "TRAILER!!!") == 0)
            return nullptr;
        constexpr uint32_t kTypeMask = 0170000, kRegular = 0100000;
        if ((mode & kTypeMask) == kRegular) {
            char normalized[kMaximumPath];
            if (!names_a_file(name, normalized))
                return "a name in the file archive is too long or names no file";
            if (!place(normalized, archive + data_at, file_size))
                return "there is no memory for the file archive's index";
        }
        at = align4(data_at + file_size);
    }
}

} // namespace lbw::boot
