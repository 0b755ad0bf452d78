// Fills the record of container operations for the hosted tests; every allocation
// reaches the substitute host's heap through the library's operator new.
#include "tests/core/core_entries.h"

using lm::string;
using namespace lbw::test;

extern "C" __attribute__((visibility("default"))) void lbwt_core_entries(CoreEntries *e) {
    e->string_from_text = [](string *s, const char *text) { new (s) string(text); };
    e->string_from_text_n = [](string *s, const char *text, uint64_t n) { new (s) string(text, n); };
    e->string_copy = [](string *s, const string *other) { new (s) string(*other); };
    e->string_move = [](string *s, string *other) { new (s) string(static_cast<string &&>(*other)); };
    e->string_destroy = [](string *s) { s->~string(); };
    e->string_set_text = [](string *s, const char *text) { *s = text; };
    e->string_assign = [](string *s, const char *text, uint64_t n) { s->assign(text, n); };
    e->string_append = [](string *s, const char *text, uint64_t n) { s->append(text, n); };
    e->string_append_string = [](string *s, const string *other) { *s += *other; };
    e->string_push_back = [](string *s, char c) { s->push_back(c); };
    e->string_reserve = [](string *s, uint64_t n) { s->reserve(n); };
    e->string_find = [](const string *s, char c, uint64_t from) { return s->find(c, from); };
    e->string_substr = [](string *result, const string *s, uint64_t from, uint64_t n) {
        new (result) string(s->substr(from, n));
    };
    e->string_equals = [](const string *s, const char *text) { return *s == text; };
    e->string_differs = [](const string *s, const char *text) { return *s != text; };
    e->string_allocate = [](uint64_t n) { return string::allocate(n); };
    e->bytes_destroy = [](Bytes *v) { v->~Bytes(); };
    e->bytes_reserve = [](Bytes *v, uint64_t n) { v->reserve(n); };
    e->bytes_resize = [](Bytes *v, uint64_t n) { v->resize(n); };
    e->bytes_resize_value = [](Bytes *v, uint64_t n, Byte value) { v->resize(n, value); };
    e->bytes_assign_value = [](Bytes *v, uint64_t n, Byte value) { v->assign(n, value); };
    e->bytes_assign_range = [](Bytes *v, const Byte *first, const Byte *last) { v->assign(first, last); };
    e->bytes_insert = [](Bytes *v, Byte *at, const Byte *first, const Byte *last) { return v->insert(at, first, last); };
    e->bytes_allocate = [](uint64_t n) -> void * { return lm::detail::vector_allocate<Byte>(n); };
    e->strings_destroy = [](Strings *v) { v->~Strings(); };
    e->strings_reserve = [](Strings *v, uint64_t n) { v->reserve(n); };
    e->strings_emplace_back = [](Strings *v, const string *s) { return &v->emplace_back(*s); };
    e->strings_pop_back = [](Strings *v) { v->pop_back(); };
    e->strings_clear = [](Strings *v) { v->clear(); };
    e->strings_allocate = [](uint64_t n) -> void * { return lm::detail::vector_allocate<string>(n); };
}
