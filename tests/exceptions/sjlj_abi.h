// The runtime's internal layouts for tests on Linux. The runtime declares some of its ABI
// entry points for its own use, with its own types; the hosted C++ library declares the
// same names with others, so here they get names of their own. Tests reach the entry
// points through the loaded library, by name.
#pragma once

#define __cxa_allocate_exception lbw_runtime_allocate_exception
#define __cxa_throw lbw_runtime_throw
#define __cxa_begin_catch lbw_runtime_begin_catch
#include "cxxabi/sjlj_abi.h"
#undef __cxa_allocate_exception
#undef __cxa_throw
#undef __cxa_begin_catch
