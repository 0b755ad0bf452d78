// lm::vector: the library's growable array, for two element types only: bytes (pixel
// buffers, decoded images) and lm::string (path components). Each has exactly the
// operations its users need. Storage comes from operator new, so there is no failure
// path: exhaustion stops the machine. All-zero fields are a valid empty vector.
//
// Growth: reserve, resize and assign(n, value) allocate exactly what is asked; insert
// (and so assign(first, last)) and emplace_back double from 4.
#pragma once

#include "core/string.h"

#include <new>
#include <stdint.h>
#include <stdlib.h>

namespace lm {
namespace detail {

// Storage for n elements, null for n = 0; released with operator delete.
template <class T>
T *vector_allocate(uint64_t n) {
    if (n == 0)
        return nullptr;
    if (n > ~uint64_t{0} / sizeof(T)) // more bytes than the address space holds
        abort();
    return static_cast<T *>(::operator new(n * sizeof(T)));
}

} // namespace detail

template <class T>
class vector;

template <>
class vector<unsigned char> {
public:
    unsigned char *data = nullptr;
    uint64_t size = 0;
    uint64_t capacity = 0;

    constexpr vector() = default;
    vector(const vector &) = delete;
    vector &operator=(const vector &) = delete;
    ~vector();

    void reserve(uint64_t n);
    // Shrinking keeps the capacity; growing reserves exactly n and fills with zero
    // bytes (or copies of value).
    void resize(uint64_t n);
    void resize(uint64_t n, unsigned char value);
    void assign(uint64_t n, unsigned char value);
    void assign(const unsigned char *first, const unsigned char *last);
    // Inserts the bytes of [first, last) before position and returns a pointer to the
    // first of them (null when nothing is inserted into a vector without storage). A
    // position outside the vector counts as its end; the range may lie in the vector.
    unsigned char *insert(unsigned char *position, const unsigned char *first, const unsigned char *last);
};

template <>
class vector<string> {
public:
    string *data = nullptr;
    uint64_t size = 0;
    uint64_t capacity = 0;

    constexpr vector() = default;
    vector(const vector &) = delete;
    vector &operator=(const vector &) = delete;
    ~vector();

    // Grows to exactly n, moving the strings (their buffers move along, uncopied).
    void reserve(uint64_t n);
    // Appends a copy of s (which may be one of the elements) and returns it.
    string &emplace_back(const string &s);
    // Destroys the last string; nothing on an empty vector.
    void pop_back();
    // Destroys the strings from the last to the first; the storage stays.
    void clear();

private:
    // Move-constructs the strings into `to` and destroys the emptied originals.
    void move_elements_to(string *to);
};

} // namespace lm
