// <cxxabi.h>: the C++ runtime's entry points under their Itanium ABI names, in
// namespace __cxxabiv1 (also called abi). Compiled code calls most of them itself;
// programs call the queries. There is no __cxa_demangle.
#ifndef _LBW_CXXABI_H
#define _LBW_CXXABI_H

#include <stddef.h>
#include <stdint.h>
#include <typeinfo>

namespace __cxxabiv1 {

class __class_type_info;

// The header in front of every thrown object; its layout is the runtime's own.
struct __cxa_exception;

// The exception state: the innermost exception being handled (the top of the stack of
// caught exceptions) and the number thrown and not yet caught. One for the machine.
struct __cxa_eh_globals {
    __cxa_exception *caughtExceptions;
    unsigned int uncaughtExceptions;
};

extern "C" {

// Exception objects, throw and catch.
void *__cxa_allocate_exception(size_t size) noexcept;
void __cxa_free_exception(void *object) noexcept;
[[noreturn]] void __cxa_throw(void *object, std::type_info *type, void (*destructor)(void *));
void *__cxa_begin_catch(void *exception) noexcept;
void *__cxa_get_exception_ptr(void *exception) noexcept;
void __cxa_end_catch();
[[noreturn]] void __cxa_rethrow();

// The exceptions in flight and being handled; null or 0 when there are none.
__cxa_eh_globals *__cxa_get_globals() noexcept;
__cxa_eh_globals *__cxa_get_globals_fast() noexcept;
unsigned int __cxa_uncaught_exceptions() noexcept;
bool __cxa_uncaught_exception() noexcept;
std::type_info *__cxa_current_exception_type() noexcept;

// What std::exception_ptr stands on: the object being handled with one more reference,
// references added and dropped (the last one destroys the object), and a throw of the
// object again (which returns only for a null object).
void *__cxa_current_primary_exception() noexcept;
void __cxa_increment_exception_refcount(void *object) noexcept;
void __cxa_decrement_exception_refcount(void *object) noexcept;
void __cxa_rethrow_primary_exception(void *object);

// Errors compiled code reports: bad_cast, bad_typeid and bad_array_new_length are
// thrown; a pure or deleted virtual call stops the machine.
[[noreturn]] void __cxa_bad_cast();
[[noreturn]] void __cxa_bad_typeid();
[[noreturn]] void __cxa_throw_bad_array_new_length();
[[noreturn]] void __cxa_pure_virtual();
[[noreturn]] void __cxa_deleted_virtual();

// Function-local statics: bit 0 of the guard's first byte says initialised.
int __cxa_guard_acquire(uint64_t *guard);
void __cxa_guard_release(uint64_t *guard) noexcept;
void __cxa_guard_abort(uint64_t *guard) noexcept;

// Static destructors: never recorded, since programs never exit; answers 0.
int __cxa_atexit(void (*destructor)(void *), void *argument, void *module);

void *__dynamic_cast(const void *object, const __class_type_info *source, const __class_type_info *destination,
                     ptrdiff_t hint);

} // extern "C"

} // namespace __cxxabiv1

namespace abi = __cxxabiv1;

#endif
