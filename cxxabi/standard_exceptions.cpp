// The standard exception classes of <exception>, <stdexcept>, <typeinfo> and <new>.
// The library is compiled without RTTI, so, like the fundamental type_infos, each
// class's type_info and vtable are plain data under the names the Itanium ABI gives
// them, and its members are plain functions exported under their mangled names (the
// object's address comes first, as `this` does). Programs compiled against any set of
// standard headers that declares these members link to them.
//
// The layouts are the ones the public headers give the classes: a vtable pointer, and
// in logic_error, runtime_error and their descendants the message's text. The text
// lives in a heap block behind a reference count, so copies of an exception share it
// and it stays valid as long as one of them lives.
#include "cxxabi/runtime_entries.h"
#include "cxxabi/type_info.h"
#include "libc/library.h"

#include <stdlib.h>
#include <string.h>

void operator delete(void *pointer) noexcept;

// Offset to top, type_info, the complete and the deleting destructor, what(). (Outside
// the anonymous namespace: the vtables it types are exported.)
struct LorrinExceptionVtable {
    intptr_t offsetToTop;
    const LorrinTypeInfo *type;
    void (*destroy)(void *);
    void (*destroyAndDelete)(void *);
    const char *(*what)(const void *);
    const void *address_point() const { return &destroy; }
};

namespace {

struct PlainException {
    const void *vtable;
};

struct MessageException {
    const void *vtable;
    const char *message;
};

constexpr const LorrinTypeInfo *type_of(const LorrinTypeInfo &type) {
    return &type;
}
constexpr const LorrinTypeInfo *type_of(const LorrinSiClassTypeInfo &type) {
    return &type.info;
}

// The count sits in the word before the text.
size_t &references_of(const char *text) {
    return *reinterpret_cast<size_t *>(const_cast<char *>(text) - sizeof(size_t));
}

// A null text reads as empty. Without memory for the copy the machine stops, as it does
// when operator new finds none.
const char *new_message(const char *text) {
    if (text == nullptr)
        text = "";
    size_t length = strlen(text);
    auto *block = static_cast<char *>(malloc(sizeof(size_t) + length + 1));
    if (block == nullptr)
        std::terminate();
    char *copy = block + sizeof(size_t);
    memcpy(copy, text, length + 1);
    references_of(copy) = 1;
    return copy;
}

const char *share_message(const char *text) {
    ++references_of(text);
    return text;
}

void release_message(const char *text) {
    if (--references_of(text) == 0)
        free(const_cast<char *>(text) - sizeof(size_t));
}

const char *message_of(const void *object) {
    return static_cast<const MessageException *>(object)->message;
}

void set_up(void *self, const LorrinExceptionVtable &vtable, const char *message) {
    *static_cast<MessageException *>(self) = {vtable.address_point(), message};
}

} // namespace

// The members every class of one kind shares. They have C names so that the exported
// mangled names below can be aliases of them.
extern "C" {

void lm_plain_exception_destroy(void *) {}

void lm_plain_exception_delete(void *self) {
    ::operator delete(self);
}

void lm_message_exception_destroy(void *self) {
    release_message(message_of(self));
}

void lm_message_exception_delete(void *self) {
    lm_message_exception_destroy(self);
    ::operator delete(self);
}

const char *lm_message_exception_what(const void *self) {
    return message_of(self);
}

// Shares the other's text before letting go of its own: assigning to itself is safe.
void *lm_message_exception_assign(void *self, const void *other) {
    const char *message = share_message(message_of(other));
    release_message(message_of(self));
    static_cast<MessageException *>(self)->message = message;
    return self;
}

} // extern "C"

// Exports `target` under the mangled name too.
#define LBW_ALIAS_ID2(n) lbw_alias_##n
#define LBW_ALIAS_ID(n) LBW_ALIAS_ID2(n)
#define LBW_EXPORT_AS(mangled, target)                                                             \
    extern "C" __typeof__(target) LBW_ALIAS_ID(__COUNTER__) __asm__(mangled) __attribute__((alias(#target)));

// type_infos: std::exception has no base; every other class has one public base.
#define LBW_ROOT_TYPE(id, code)                                                                    \
    extern const LorrinTypeInfo id##_type __asm__("_ZTISt" code);                                  \
    const LorrinTypeInfo id##_type = {gClassTypeInfoVtable.address_point(), "St" code};

#define LBW_DERIVED_TYPE(id, code, base)                                                           \
    extern const LorrinSiClassTypeInfo id##_type __asm__("_ZTISt" code);                           \
    const LorrinSiClassTypeInfo id##_type = {                                                      \
        {gSiClassTypeInfoVtable.address_point(), "St" code}, type_of(base##_type)};

// A class without a message: what() names the class; the default constructor, the
// destructors and what().
#define LBW_PLAIN_CLASS(id, code, text)                                                                \
    extern "C" const char *lm_##id##_what(const void *) {                                              \
        return text;                                                                                   \
    }                                                                                                  \
    extern const LorrinExceptionVtable id##_vtable __asm__("_ZTVSt" code);                             \
    const LorrinExceptionVtable id##_vtable = {                                                        \
        0, type_of(id##_type), lm_plain_exception_destroy, lm_plain_exception_delete, lm_##id##_what}; \
    extern "C" void lm_##id##_construct(void *self) {                                                  \
        static_cast<PlainException *>(self)->vtable = id##_vtable.address_point();                     \
    }                                                                                                  \
    LBW_EXPORT_AS("_ZNSt" code "C1Ev", lm_##id##_construct)                                            \
    LBW_EXPORT_AS("_ZNSt" code "C2Ev", lm_##id##_construct)                                            \
    LBW_EXPORT_AS("_ZNSt" code "D0Ev", lm_plain_exception_delete)                                      \
    LBW_EXPORT_AS("_ZNSt" code "D1Ev", lm_plain_exception_destroy)                                     \
    LBW_EXPORT_AS("_ZNSt" code "D2Ev", lm_plain_exception_destroy)                                     \
    LBW_EXPORT_AS("_ZNKSt" code "4whatEv", lm_##id##_what)

// A class with a message: constructed from a C string (copied), copied and moved (the
// text shared), assigned; what() is the message. Moving leaves the source a copy.
#define LBW_MESSAGE_CLASS(id, code)                                                                     \
    extern const LorrinExceptionVtable id##_vtable __asm__("_ZTVSt" code);                              \
    const LorrinExceptionVtable id##_vtable = {0, type_of(id##_type), lm_message_exception_destroy,     \
                                               lm_message_exception_delete, lm_message_exception_what}; \
    extern "C" void lm_##id##_construct(void *self, const char *text) {                                 \
        set_up(self, id##_vtable, new_message(text));                                                   \
    }                                                                                                   \
    extern "C" void lm_##id##_copy(void *self, const void *other) {                                     \
        set_up(self, id##_vtable, share_message(message_of(other)));                                    \
    }                                                                                                   \
    LBW_EXPORT_AS("_ZNSt" code "C1EPKc", lm_##id##_construct)                                           \
    LBW_EXPORT_AS("_ZNSt" code "C2EPKc", lm_##id##_construct)                                           \
    LBW_EXPORT_AS("_ZNSt" code "C1ERKS_", lm_##id##_copy)                                               \
    LBW_EXPORT_AS("_ZNSt" code "C2ERKS_", lm_##id##_copy)                                               \
    LBW_EXPORT_AS("_ZNSt" code "C1EOS_", lm_##id##_copy)                                                \
    LBW_EXPORT_AS("_ZNSt" code "C2EOS_", lm_##id##_copy)                                                \
    LBW_EXPORT_AS("_ZNSt" code "aSERKS_", lm_message_exception_assign)                                  \
    LBW_EXPORT_AS("_ZNSt" code "aSEOS_", lm_message_exception_assign)                                   \
    LBW_EXPORT_AS("_ZNSt" code "D0Ev", lm_message_exception_delete)                                     \
    LBW_EXPORT_AS("_ZNSt" code "D1Ev", lm_message_exception_destroy)                                    \
    LBW_EXPORT_AS("_ZNSt" code "D2Ev", lm_message_exception_destroy)

LBW_ROOT_TYPE(exception, "9exception")
LBW_DERIVED_TYPE(bad_exception, "13bad_exception", exception)
LBW_DERIVED_TYPE(bad_cast, "8bad_cast", exception)
LBW_DERIVED_TYPE(bad_typeid, "10bad_typeid", exception)
LBW_DERIVED_TYPE(bad_alloc, "9bad_alloc", exception)
LBW_DERIVED_TYPE(bad_array_new_length, "20bad_array_new_length", bad_alloc)
LBW_DERIVED_TYPE(logic_error, "11logic_error", exception)
LBW_DERIVED_TYPE(domain_error, "12domain_error", logic_error)
LBW_DERIVED_TYPE(invalid_argument, "16invalid_argument", logic_error)
LBW_DERIVED_TYPE(length_error, "12length_error", logic_error)
LBW_DERIVED_TYPE(out_of_range, "12out_of_range", logic_error)
LBW_DERIVED_TYPE(runtime_error, "13runtime_error", exception)
LBW_DERIVED_TYPE(range_error, "11range_error", runtime_error)
LBW_DERIVED_TYPE(overflow_error, "14overflow_error", runtime_error)
LBW_DERIVED_TYPE(underflow_error, "15underflow_error", runtime_error)

LBW_PLAIN_CLASS(exception, "9exception", "std::exception")
LBW_PLAIN_CLASS(bad_exception, "13bad_exception", "std::bad_exception")
LBW_PLAIN_CLASS(bad_cast, "8bad_cast", "std::bad_cast")
LBW_PLAIN_CLASS(bad_typeid, "10bad_typeid", "std::bad_typeid")
LBW_PLAIN_CLASS(bad_alloc, "9bad_alloc", "std::bad_alloc")
LBW_PLAIN_CLASS(bad_array_new_length, "20bad_array_new_length", "std::bad_array_new_length")

LBW_MESSAGE_CLASS(logic_error, "11logic_error")
LBW_MESSAGE_CLASS(domain_error, "12domain_error")
LBW_MESSAGE_CLASS(invalid_argument, "16invalid_argument")
LBW_MESSAGE_CLASS(length_error, "12length_error")
LBW_MESSAGE_CLASS(out_of_range, "12out_of_range")
LBW_MESSAGE_CLASS(runtime_error, "13runtime_error")
LBW_MESSAGE_CLASS(range_error, "11range_error")
LBW_MESSAGE_CLASS(overflow_error, "14overflow_error")
LBW_MESSAGE_CLASS(underflow_error, "15underflow_error")

LBW_EXPORT_AS("_ZNKSt11logic_error4whatEv", lm_message_exception_what)
LBW_EXPORT_AS("_ZNKSt13runtime_error4whatEv", lm_message_exception_what)

namespace {

[[noreturn]] void throw_plain(void (*construct)(void *), const void *type) {
    void *object = __cxa_allocate_exception(sizeof(PlainException));
    construct(object);
    __cxa_throw(object, type, lm_plain_exception_destroy);
}

} // namespace

// What the compiler calls when a dynamic_cast to a reference fails, typeid meets a null
// pointer, or new[] is asked for an impossible length: each throws its standard class.
LM_EXPORT __attribute__((noreturn)) void __cxa_bad_cast() {
    throw_plain(lm_bad_cast_construct, &bad_cast_type);
}

LM_EXPORT __attribute__((noreturn)) void __cxa_bad_typeid() {
    throw_plain(lm_bad_typeid_construct, &bad_typeid_type);
}

LM_EXPORT __attribute__((noreturn)) void __cxa_throw_bad_array_new_length() {
    throw_plain(lm_bad_array_new_length_construct, &bad_array_new_length_type);
}
