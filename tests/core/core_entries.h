// The containers' operations as plain functions: the freestanding core test module
// (core/ compiled with the library's own flags) fills this record, and the tests call
// through it on containers that live in their own zeroed storage.
#pragma once

#include "core/vector.h"

namespace lbw::test {

using Bytes = lm::vector<unsigned char>;
using Strings = lm::vector<lm::string>;
using Byte = unsigned char;

struct CoreEntries {
    void (*string_from_text)(lm::string *, const char *);
    void (*string_from_text_n)(lm::string *, const char *, uint64_t);
    void (*string_copy)(lm::string *, const lm::string *);
    void (*string_move)(lm::string *, lm::string *);
    void (*string_destroy)(lm::string *);
    void (*string_set_text)(lm::string *, const char *);
    void (*string_assign)(lm::string *, const char *, uint64_t);
    void (*string_append)(lm::string *, const char *, uint64_t);
    void (*string_append_string)(lm::string *, const lm::string *);
    void (*string_push_back)(lm::string *, char);
    void (*string_reserve)(lm::string *, uint64_t);
    uint64_t (*string_find)(const lm::string *, char, uint64_t);
    void (*string_substr)(lm::string *, const lm::string *, uint64_t, uint64_t);
    bool (*string_equals)(const lm::string *, const char *);
    bool (*string_differs)(const lm::string *, const char *);
    char *(*string_allocate)(uint64_t);
    void (*bytes_destroy)(Bytes *);
    void (*bytes_reserve)(Bytes *, uint64_t);
    void (*bytes_resize)(Bytes *, uint64_t);
    void (*bytes_resize_value)(Bytes *, uint64_t, Byte);
    void (*bytes_assign_value)(Bytes *, uint64_t, Byte);
    void (*bytes_assign_range)(Bytes *, const Byte *, const Byte *);
    Byte *(*bytes_insert)(Bytes *, Byte *, const Byte *, const Byte *);
    void *(*bytes_allocate)(uint64_t);
    void (*strings_destroy)(Strings *);
    void (*strings_reserve)(Strings *, uint64_t);
    lm::string *(*strings_emplace_back)(Strings *, const lm::string *);
    void (*strings_pop_back)(Strings *);
    void (*strings_clear)(Strings *);
    void *(*strings_allocate)(uint64_t);
};

} // namespace lbw::test
