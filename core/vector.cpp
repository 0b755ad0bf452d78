#include "core/vector.h"

#include <stdint.h>
#include <string.h>

namespace lm {

// ---- vector<unsigned char> ----

vector<unsigned char>::~vector() {
    size = 0;
    ::operator delete(data);
}

void vector<unsigned char>::reserve(uint64_t n) {
    if (capacity >= n)
        return;
    unsigned char *fresh = detail::vector_allocate<unsigned char>(n);
    if (size)
        memcpy(fresh, data, size);
    ::operator delete(data);
    data = fresh;
    capacity = n;
}

void vector<unsigned char>::resize(uint64_t n) {
    resize(n, 0);
}

void vector<unsigned char>::resize(uint64_t n, unsigned char value) {
    if (n <= size) {
        size = n;
        return;
    }
    reserve(n);
    memset(data + size, value, n - size);
    size = n;
}

void vector<unsigned char>::assign(uint64_t n, unsigned char value) {
    size = 0;
    resize(n, value);
}

void vector<unsigned char>::assign(const unsigned char *first, const unsigned char *last) {
    size = 0;
    insert(data, first, last);
}

unsigned char *vector<unsigned char>::insert(unsigned char *position, const unsigned char *first,
                                             const unsigned char *last) {
    // Addresses are compared as integers: the pointers may belong to other objects.
    const uintptr_t base = reinterpret_cast<uintptr_t>(data);
    uint64_t index = size;
    if (data) {
        uintptr_t offset = reinterpret_cast<uintptr_t>(position) - base;
        if (offset <= size)
            index = offset;
    }
    const uintptr_t from = reinterpret_cast<uintptr_t>(first), to = reinterpret_cast<uintptr_t>(last);
    const uint64_t n = to > from ? to - from : 0;
    if (n == 0)
        return data ? data + index : nullptr;

    if (data && from < base + capacity && to > base) {
        // The bytes live in this storage, which the move below (or a growth) would
        // disturb: insert from a copy.
        vector copy;
        copy.insert(nullptr, first, last);
        return insert(data + index, copy.data, copy.data + copy.size);
    }

    if (n > ~uint64_t{0} - size) // a length no memory can hold
        abort();
    const uint64_t needed = size + n;
    if (needed > capacity) {
        uint64_t grown = capacity ? capacity : 4;
        while (grown < needed)
            grown = grown > ~uint64_t{0} / 2 ? needed : grown * 2;
        reserve(grown);
    }
    // The tail moves up first (its bytes overlap their new place); the inserted bytes
    // lie outside this storage (see above).
    memmove(data + index + n, data + index, size - index);
    memcpy(data + index, first, n);
    size = needed;
    return data + index;
}

// ---- vector<string> ----

vector<string>::~vector() {
    clear();
    ::operator delete(data);
}

void vector<string>::move_elements_to(string *to) {
    for (uint64_t i = 0; i < size; i++) {
        new (to + i) string(static_cast<string &&>(data[i]));
        data[i].~string();
    }
}

void vector<string>::reserve(uint64_t n) {
    if (capacity >= n)
        return;
    string *fresh = detail::vector_allocate<string>(n);
    move_elements_to(fresh);
    ::operator delete(data);
    data = fresh;
    capacity = n;
}

string &vector<string>::emplace_back(const string &s) {
    if (size < capacity) {
        string *added = new (data + size) string(s);
        size++;
        return *added;
    }
    // Copy s into the new storage before the old strings move out: s may be one of them.
    const uint64_t grown = size == 0 ? 4 : size * 2;
    string *fresh = detail::vector_allocate<string>(grown);
    string *added = new (fresh + size) string(s);
    move_elements_to(fresh);
    ::operator delete(data);
    data = fresh;
    capacity = grown;
    size++;
    return *added;
}

void vector<string>::pop_back() {
    if (size == 0)
        return;
    size--;
    data[size].~string();
}

void vector<string>::clear() {
    for (uint64_t i = size; i > 0; i--)
        data[i - 1].~string();
    size = 0;
}

} // namespace lm
