#include "core/string.h"

#include <new>
#include <stdlib.h>

namespace lm {
namespace {

void copy_bytes(char *to, const char *from, uint64_t n) {
    for (uint64_t i = 0; i < n; i++)
        to[i] = from[i];
}

uint64_t min(uint64_t a, uint64_t b) {
    return a < b ? a : b;
}

} // namespace

char *string::allocate(uint64_t n) {
    if (n == ~uint64_t{0}) // n + 1 bytes do not fit in the address space
        abort();
    char *buffer = static_cast<char *>(::operator new(n + 1));
    buffer[0] = '\0';
    return buffer;
}

string::string(const char *text) {
    assign(text, string_length(text));
}

string::string(const char *text, uint64_t n) {
    assign(text, n);
}

string::string(const string &other) {
    assign(other.data ? other.data : "", other.size);
}

string::string(string &&other) : data(other.data), size(other.size), capacity(other.capacity) {
    other.data = nullptr;
    other.size = 0;
    other.capacity = 0;
}

string::~string() {
    ::operator delete(data);
}

string &string::operator=(const char *text) {
    assign(text, string_length(text));
    return *this;
}

void string::assign(const char *text, uint64_t n) {
    if (!text)
        n = 0;
    uint64_t k;
    if (pointer_offset(text, &k)) {
        // The source lives in this buffer: copy it out first, then take the copy's
        // buffer; the old one goes with the temporary.
        string part(data + k, min(n, size - k));
        char *old_data = data;
        uint64_t old_size = size, old_capacity = capacity;
        data = part.data;
        size = part.size;
        capacity = part.capacity;
        part.data = old_data;
        part.size = old_size;
        part.capacity = old_capacity;
        return;
    }
    size = 0;
    if (data)
        data[0] = '\0';
    if (n == 0) {
        ensure_storage();
        return;
    }
    reserve(n);
    copy_bytes(data, text, n);
    size = n;
    data[n] = '\0';
}

void string::reserve(uint64_t n) {
    if (capacity >= n)
        return;
    char *fresh = allocate(n);
    if (data)
        copy_bytes(fresh, data, size);
    fresh[size] = '\0';
    ::operator delete(data);
    data = fresh;
    capacity = n;
}

string &string::append(const char *text, uint64_t n) {
    if (n == 0 || !text)
        return *this;
    uint64_t k, count;
    if (pointer_offset(text, &k)) {
        // Copy by offset: reserve may move the buffer the text points into.
        count = min(size - k, n);
        reserve(size + count);
        for (uint64_t i = 0; i < count; i++)
            data[size + i] = data[k + i];
    } else {
        count = n;
        if (n > ~uint64_t{0} - size) // a length no memory can hold
            abort();
        reserve(size + n);
        copy_bytes(data + size, text, n);
    }
    size += count;
    data[size] = '\0';
    return *this;
}

string &string::operator+=(const string &other) {
    return append(other.data ? other.data : "", other.size);
}

void string::push_back(char c) {
    if (size == capacity)
        reserve(size == 0 ? 16 : size * 2);
    ensure_storage();
    data[size] = c;
    size++;
    data[size] = '\0';
}

uint64_t string::find(char c, uint64_t from) const {
    return string_view{data ? data : "", size}.find(c, from);
}

string string::substr(uint64_t from, uint64_t n) const {
    uint64_t start = min(from, size);
    uint64_t length = min(n, size - start);
    return string((data ? data : "") + start, length);
}

bool string::pointer_offset(const char *p, uint64_t *offset) const {
    if (!p || !data)
        return false;
    // Equality only: p may belong to another object, which order does not relate.
    for (uint64_t i = 0; i <= size; i++) {
        if (p == data + i) {
            *offset = i;
            return true;
        }
    }
    return false;
}

void string::ensure_storage() {
    if (!data) {
        data = allocate(0);
        capacity = 0;
    }
}

bool operator==(const string &s, const char *text) {
    return string_view{s.data ? s.data : "", s.size} == string_view{text ? text : "", string_length(text)};
}

bool operator!=(const string &s, const char *text) {
    return !(s == text);
}

} // namespace lm
