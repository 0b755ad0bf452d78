// Entry points into lm::string, lm::string_view and lm::vector for the hosted tests. The
// tests hold the objects in memory of their own (laid out as below) and call these to
// construct, change and destroy them; every allocation reaches the substitute host's heap
// through the library's operator new.
#include "core/string.h"
#include "core/vector.h"

#include <new>
#include <stddef.h>

using lm::string;
using lm::string_view;
using Bytes = lm::vector<unsigned char>;
using Strings = lm::vector<lm::string>;

// The tests mirror these layouts: three 8-byte fields, data first.
static_assert(sizeof(string) == 24 && offsetof(string, size) == 8 && offsetof(string, capacity) == 16);
static_assert(sizeof(Bytes) == 24 && offsetof(Bytes, size) == 8 && offsetof(Bytes, capacity) == 16);
static_assert(sizeof(Strings) == 24 && offsetof(Strings, size) == 8 && offsetof(Strings, capacity) == 16);
static_assert(sizeof(string_view) == 16 && offsetof(string_view, size) == 8);

#define ENTRY extern "C" __attribute__((visibility("default")))

// ---- lm::string ----
ENTRY void lbwt_string_from_text(string *s, const char *text) { new (s) string(text); }
ENTRY void lbwt_string_from_text_n(string *s, const char *text, uint64_t n) { new (s) string(text, n); }
ENTRY void lbwt_string_copy(string *s, const string *other) { new (s) string(*other); }
ENTRY void lbwt_string_move(string *s, string *other) { new (s) string(static_cast<string &&>(*other)); }
ENTRY void lbwt_string_destroy(string *s) { s->~string(); }
ENTRY string *lbwt_string_set_text(string *s, const char *text) { return &(*s = text); }
ENTRY void lbwt_string_assign(string *s, const char *text, uint64_t n) { s->assign(text, n); }
ENTRY string *lbwt_string_append(string *s, const char *text, uint64_t n) { return &s->append(text, n); }
ENTRY string *lbwt_string_append_string(string *s, const string *other) { return &(*s += *other); }
ENTRY void lbwt_string_push_back(string *s, char c) { s->push_back(c); }
ENTRY void lbwt_string_reserve(string *s, uint64_t n) { s->reserve(n); }
ENTRY uint64_t lbwt_string_find(const string *s, char c, uint64_t from) { return s->find(c, from); }
ENTRY void lbwt_string_substr(string *result, const string *s, uint64_t from, uint64_t n) {
    new (result) string(s->substr(from, n));
}
ENTRY bool lbwt_string_pointer_offset(const string *s, const char *p, uint64_t *offset) {
    return s->pointer_offset(p, offset);
}
ENTRY void lbwt_string_ensure_storage(string *s) { s->ensure_storage(); }
ENTRY char *lbwt_string_allocate(uint64_t n) { return string::allocate(n); }
ENTRY bool lbwt_string_equals(const string *s, const char *text) { return *s == text; }
ENTRY bool lbwt_string_differs(const string *s, const char *text) { return *s != text; }
ENTRY uint64_t lbwt_string_npos() { return string::npos; }

// ---- lm::string_view and the free functions ----
ENTRY uint64_t lbwt_string_length(const char *text) { return lm::string_length(text); }
ENTRY bool lbwt_view_equals(const char *a, uint64_t a_size, const char *b, uint64_t b_size) {
    return string_view{a, a_size} == string_view{b, b_size};
}
ENTRY uint64_t lbwt_view_find(const char *data, uint64_t size, char c, uint64_t from) {
    return string_view{data, size}.find(c, from);
}

// ---- lm::vector<unsigned char> ----
ENTRY void lbwt_bytes_destroy(Bytes *v) { v->~Bytes(); }
ENTRY void lbwt_bytes_reserve(Bytes *v, uint64_t n) { v->reserve(n); }
ENTRY void lbwt_bytes_resize(Bytes *v, uint64_t n) { v->resize(n); }
ENTRY void lbwt_bytes_resize_value(Bytes *v, uint64_t n, unsigned char value) { v->resize(n, value); }
ENTRY void lbwt_bytes_assign_value(Bytes *v, uint64_t n, unsigned char value) { v->assign(n, value); }
ENTRY void lbwt_bytes_assign_range(Bytes *v, const unsigned char *first, const unsigned char *last) {
    v->assign(first, last);
}
ENTRY unsigned char *lbwt_bytes_insert(Bytes *v, unsigned char *position, const unsigned char *first,
                                       const unsigned char *last) {
    return v->insert(position, first, last);
}
ENTRY void *lbwt_bytes_allocate(uint64_t n) { return lm::detail::vector_allocate<unsigned char>(n); }

// ---- lm::vector<lm::string> ----
ENTRY void lbwt_strings_destroy(Strings *v) { v->~Strings(); }
ENTRY void lbwt_strings_reserve(Strings *v, uint64_t n) { v->reserve(n); }
ENTRY string *lbwt_strings_emplace_back(Strings *v, const string *s) { return &v->emplace_back(*s); }
ENTRY void lbwt_strings_pop_back(Strings *v) { v->pop_back(); }
ENTRY void lbwt_strings_clear(Strings *v) { v->clear(); }
ENTRY void *lbwt_strings_allocate(uint64_t n) { return lm::detail::vector_allocate<string>(n); }
