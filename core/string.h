// lm::string: an owned, NUL-terminated byte string, allocated with operator new and so
// without a failure path (exhaustion stops the machine inside operator new).
//
// All-zero fields (null data) are a valid empty string, as is a moved-from string; a
// null data reads as the empty string everywhere. Sources may point into the string's
// own buffer. Once a buffer exists, data[size] is NUL. Growth is exact (to the size
// asked), except push_back, which doubles from 16.
#pragma once

#include "core/string_view.h"

#include <stdint.h>

namespace lm {

class string {
public:
    static constexpr uint64_t npos = lm::npos;

    char *data = nullptr;   // capacity + 1 bytes, or null
    uint64_t size = 0;      // bytes held, the terminator not included
    uint64_t capacity = 0;  // bytes the buffer holds, the terminator not included

    constexpr string() = default;
    string(const char *text);
    string(const char *text, uint64_t n);
    string(const string &other);
    string(string &&other);
    ~string();

    string &operator=(const string &) = delete;
    string &operator=(const char *text);

    // Replaces the contents with n bytes at text (none when text is null).
    void assign(const char *text, uint64_t n);
    // Appends n bytes at text (at most up to the end when text lies in this string).
    string &append(const char *text, uint64_t n);
    string &operator+=(const string &other);
    void push_back(char c);
    // Makes capacity at least n, exactly n when it grows.
    void reserve(uint64_t n);

    uint64_t find(char c, uint64_t from = 0) const;
    // The bytes from `from` (clamped to the end), at most n of them.
    string substr(uint64_t from, uint64_t n = npos) const;

    // Whether p points into the buffer, the terminator's position included; then
    // *offset = p - data.
    bool pointer_offset(const char *p, uint64_t *offset) const;
    // Gives a null string an empty buffer (capacity 0).
    void ensure_storage();
    // A buffer of n + 1 bytes whose first byte is NUL.
    static char *allocate(uint64_t n);
};

bool operator==(const string &s, const char *text);
bool operator!=(const string &s, const char *text);

} // namespace lm
