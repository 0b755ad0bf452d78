// Entry points of the runtime that other parts of it call too. Kept apart from the
// layouts of sjlj_abi.h, which hosted tests also read: a hosted C++ library declares
// these names with types of its own.
#pragma once

#include "cxxabi/sjlj_abi.h"

extern "C" {
void *__cxa_allocate_exception(size_t objectSize);
[[noreturn]] void __cxa_throw(void *object, const void *type, LorrinDestructor destructor);
void *__cxa_begin_catch(void *exception);
}
