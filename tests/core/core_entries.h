// The containers' operations as plain functions, one line each (name, result, parameters,
// body): the freestanding core test module (core/ compiled with the library's own flags)
// fills a CoreEntries record with them, and the tests call through it on containers
// that live in their own zeroed storage.
#pragma once

#include "core/vector.h"

namespace lbw::test {

using Bytes = lm::vector<unsigned char>;
using Strings = lm::vector<lm::string>;
using Byte = unsigned char;

#define LBWT_CORE_OPERATIONS(X)                                                                                       \
    X(string_from_text, void, (lm::string * s, const char *text), new (s) lm::string(text))                          \
    X(string_from_text_n, void, (lm::string * s, const char *text, uint64_t n), new (s) lm::string(text, n))          \
    X(string_copy, void, (lm::string * s, const lm::string *other), new (s) lm::string(*other))                      \
    X(string_move, void, (lm::string * s, lm::string *other), new (s) lm::string(static_cast<lm::string &&>(*other))) \
    X(string_destroy, void, (lm::string * s), s->~string())                                                          \
    X(string_set_text, void, (lm::string * s, const char *text), *s = text)                                          \
    X(string_assign, void, (lm::string * s, const char *text, uint64_t n), s->assign(text, n))                       \
    X(string_append, void, (lm::string * s, const char *text, uint64_t n), s->append(text, n))                       \
    X(string_append_string, void, (lm::string * s, const lm::string *other), *s += *other)                           \
    X(string_push_back, void, (lm::string * s, char c), s->push_back(c))                                             \
    X(string_reserve, void, (lm::string * s, uint64_t n), s->reserve(n))                                             \
    X(string_find, uint64_t, (const lm::string *s, char c, uint64_t from), return s->find(c, from))                   \
    X(string_substr, void, (lm::string * part, const lm::string *s, uint64_t from, uint64_t n),                       \
      new (part) lm::string(s->substr(from, n)))                                                                      \
    X(string_equals, bool, (const lm::string *s, const char *text), return *s == text)                                \
    X(string_differs, bool, (const lm::string *s, const char *text), return *s != text)                               \
    X(string_allocate, char *, (uint64_t n), return lm::string::allocate(n))                                          \
    X(bytes_destroy, void, (Bytes * v), v->~Bytes())                                                                  \
    X(bytes_reserve, void, (Bytes * v, uint64_t n), v->reserve(n))                                                    \
    X(bytes_resize, void, (Bytes * v, uint64_t n), v->resize(n))                                                      \
    X(bytes_resize_value, void, (Bytes * v, uint64_t n, Byte value), v->resize(n, value))                             \
    X(bytes_assign_value, void, (Bytes * v, uint64_t n, Byte value), v->assign(n, value))                             \
    X(bytes_assign_range, void, (Bytes * v, const Byte *first, const Byte *last), v->assign(first, last))             \
    X(bytes_insert, Byte *, (Bytes * v, Byte *at, const Byte *first, const Byte *last), return v->insert(at, first, last)) \
    X(bytes_allocate, void *, (uint64_t n), return lm::detail::vector_allocate<Byte>(n))                              \
    X(strings_destroy, void, (Strings * v), v->~Strings())                                                            \
    X(strings_reserve, void, (Strings * v, uint64_t n), v->reserve(n))                                                \
    X(strings_emplace_back, lm::string *, (Strings * v, const lm::string *s), return &v->emplace_back(*s))            \
    X(strings_pop_back, void, (Strings * v), v->pop_back())                                                           \
    X(strings_clear, void, (Strings * v), v->clear())                                                                 \
    X(strings_allocate, void *, (uint64_t n), return lm::detail::vector_allocate<lm::string>(n))

struct CoreEntries {
#define LBWT_DECLARE(name, result, parameters, body) result(*name) parameters;
    LBWT_CORE_OPERATIONS(LBWT_DECLARE)
#undef LBWT_DECLARE
};

} // namespace lbw::test
