// The records shared by compiled code and the exception runtime: the frame record that
// every function with landing pads keeps in its stack frame, the header in front of every
// thrown object, and the result of reading one frame's call-site table.
#pragma once

#include <stddef.h>
#include <stdint.h>

struct LorrinExceptionHeader;

// One per active function with landing pads. The layout is what clang's SjLj code
// generation writes on x86-64; the offsets below must not move.
struct LorrinSjLjContext {
    LorrinSjLjContext *prev;  // next outer registered record
    int32_t callSite;         // 1-based call in progress, <= 0 when none is covered;
                              // the landing-pad index when the runtime enters the frame
    uint32_t data[4];         // [0] exception pointer, [1] selector
    void *personality;        // never read
    const uint8_t *lsda;      // call-site table, or null
    void *jumpBuffer[5];      // [0] frame pointer, [1] dispatch address, [2] stack pointer
};
static_assert(offsetof(LorrinSjLjContext, callSite) == 8);
static_assert(offsetof(LorrinSjLjContext, data) == 12);
static_assert(offsetof(LorrinSjLjContext, personality) == 32);
static_assert(offsetof(LorrinSjLjContext, lsda) == 40);
static_assert(offsetof(LorrinSjLjContext, jumpBuffer) == 48);

using LorrinDestructor = void (*)(void *);

// Precedes every thrown object in one block from malloc; the object follows directly.
struct alignas(16) LorrinExceptionHeader {
    const void *exceptionType;               // type_info of the object
    LorrinDestructor exceptionDestructor;    // run when the last handler ends, or null
    LorrinExceptionHeader *nextCaught;       // next older entry of the caught stack
    LorrinSjLjContext *handlerContext;       // frame whose handler the search found
    uint32_t handlerLandingPad;              // landing-pad index of that handler
    int32_t handlerSelector;                 // type filter of the accepting clause
    uint8_t rethrown;                        // 1 while being rethrown
    uint8_t uncaught;                        // 1 from a throw until a handler begins
    uint16_t references;                     // owners: the throw, exception_ptrs
    uint32_t handlerCount;                   // active catch blocks holding the object
};
static_assert(sizeof(LorrinExceptionHeader) == 48);

// The exception pointer: what travels through the unwinder, reaches landing pads in data
// word 0 and comes back to __cxa_begin_catch and _Unwind_SjLj_Resume. Compiled code
// takes the thrown object to lie 32 bytes past it (the size of the unwinder's record in
// the Itanium ABI): a handler that catches a pointer to a non-class type by reference
// reads the pointer from there. So it points into the header, 32 bytes before the object.
inline constexpr size_t kExceptionPointerToObject = 32;
static_assert(kExceptionPointerToObject <= sizeof(LorrinExceptionHeader));

// The result of reading one frame's call-site table for one thrown type.
struct LorrinHandler {
    uint8_t callSiteFound;  // the frame's call-site number has an entry
    uint8_t cleanup;        // that entry asks for a cleanup
    uint8_t handlerFound;   // one of its catch clauses accepts the type
    uint32_t landingPad;    // the entry's landing-pad index
    int32_t selector;       // type filter of the accepting clause, else 0
};

extern "C" {

// Head of the frame list, innermost frame first.
extern LorrinSjLjContext *gSjLjHead;
// The exception state that the Itanium ABI lays out for __cxa_get_globals: the top of
// the stack of exceptions whose catch blocks have begun and not ended, and the number of
// exceptions thrown and not yet caught. One for the whole machine: there are no threads.
struct LorrinExceptionGlobals {
    LorrinExceptionHeader *caughtExceptions;
    unsigned int uncaughtExceptions;
};
extern LorrinExceptionGlobals gExceptionGlobals;

// Enters a frame's landing-pad dispatch code with its stack and frame pointers.
[[noreturn]] void lorrinboot_sjlj_jump(LorrinSjLjContext *context);

// Whether `candidate` (a thrown or dynamic type) is accepted as `target`; a null target
// accepts everything.
bool type_matches(const void *candidate, const void *target);

// Reads the frame's call-site table for a throw of `thrownType`; true when a catch
// clause accepts it. Writes `handler` on every path.
bool inspect_context(const LorrinSjLjContext *context, const void *thrownType, LorrinHandler &handler);
uintptr_t read_encoded_pointer(uint8_t encoding, const uint8_t **cursor);
uint64_t read_uleb128(const uint8_t **cursor);
int64_t read_sleb128(const uint8_t **cursor);
uint64_t read_unaligned(const uint8_t *address, unsigned count);

// The two phases of a throw; neither returns.
[[noreturn]] void raise_exception(LorrinExceptionHeader *header);
[[noreturn]] void continue_unwind(LorrinExceptionHeader *header);

void *object_from_header(LorrinExceptionHeader *header);
LorrinExceptionHeader *header_from_object(void *object);
// The object handlers of the exception receive: its own, or for an exception thrown
// again from an exception_ptr, the original object that it stands for.
void *thrown_object(LorrinExceptionHeader *header);
// Owners of an exception object: the throw (until the last catch of it ends) and each
// exception_ptr. Adding one beyond the count's range terminates; dropping the last
// destroys and frees the object.
void retain_exception(LorrinExceptionHeader *header);
void release_exception(LorrinExceptionHeader *header);
// Header to exception pointer, and back (a null exception pointer gives a null header).
void *exception_pointer(LorrinExceptionHeader *header);
LorrinExceptionHeader *header_from_exception_pointer(void *exception);
}

namespace std {
[[noreturn]] void terminate() noexcept;
}
