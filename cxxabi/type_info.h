// type_info objects as the Itanium C++ ABI lays them out, and the vtables that compiled
// type_info objects point at. The library is built without RTTI, so these are plain
// data; their vtables are never called into, only compared by address.
#pragma once

#include <stdint.h>

// Every type_info starts with these two words.
struct LorrinTypeInfo {
    const void *vtable;  // address point of one of the vtables below
    const char *name;    // mangled name, NUL-terminated
};

// __cxxabiv1::__si_class_type_info: a class with one public non-virtual base at offset 0.
struct LorrinSiClassTypeInfo {
    LorrinTypeInfo info;
    const LorrinTypeInfo *base;
};

// __cxxabiv1::__vmi_class_type_info: every other class with bases (several, virtual,
// not public, or not at offset 0). The base records follow the fixed part.
struct LorrinBaseClassInfo {
    const LorrinTypeInfo *type;
    intptr_t offsetFlags;  // offset << kBaseOffsetShift | kBaseIsVirtual | kBaseIsPublic
};
struct LorrinVmiClassTypeInfo {
    LorrinTypeInfo info;
    uint32_t flags;
    uint32_t baseCount;
    const LorrinBaseClassInfo *bases() const { return reinterpret_cast<const LorrinBaseClassInfo *>(this + 1); }
};
inline constexpr intptr_t kBaseIsVirtual = 0x1;
inline constexpr intptr_t kBaseIsPublic = 0x2;
// A non-virtual base's offset in the derived object; for a virtual base, the offset of
// the word in the derived object's vtable (from its address point) that holds it.
inline constexpr int kBaseOffsetShift = 8;

// __cxxabiv1::__pointer_type_info: flags say how the pointee is qualified.
struct LorrinPointerTypeInfo {
    LorrinTypeInfo info;
    uint32_t flags;
    const LorrinTypeInfo *pointee;
};
inline constexpr uint32_t kPointeeConst = 0x1;

// A type_info vtable: offset to top, type_info, two destructor slots. Zero-filled.
struct LorrinTypeInfoVtable {
    void *words[4];
    const void *address_point() const { return &words[2]; }
};

extern LorrinTypeInfoVtable gClassTypeInfoVtable __asm__("_ZTVN10__cxxabiv117__class_type_infoE");
extern LorrinTypeInfoVtable gSiClassTypeInfoVtable __asm__("_ZTVN10__cxxabiv120__si_class_type_infoE");
extern LorrinTypeInfoVtable gVmiClassTypeInfoVtable __asm__("_ZTVN10__cxxabiv121__vmi_class_type_infoE");
extern LorrinTypeInfoVtable gFundamentalTypeInfoVtable __asm__("_ZTVN10__cxxabiv123__fundamental_type_infoE");
extern LorrinTypeInfoVtable gPointerTypeInfoVtable __asm__("_ZTVN10__cxxabiv119__pointer_type_infoE");
extern LorrinTypeInfoVtable gPointerToMemberTypeInfoVtable
    __asm__("_ZTVN10__cxxabiv129__pointer_to_member_type_infoE");
extern LorrinTypeInfoVtable gFunctionTypeInfoVtable __asm__("_ZTVN10__cxxabiv120__function_type_infoE");
extern LorrinTypeInfoVtable gEnumTypeInfoVtable __asm__("_ZTVN10__cxxabiv116__enum_type_infoE");
extern LorrinTypeInfoVtable gArrayTypeInfoVtable __asm__("_ZTVN10__cxxabiv117__array_type_infoE");

inline bool is_pointer_type(const LorrinTypeInfo *type) {
    return type != nullptr && type->vtable == gPointerTypeInfoVtable.address_point();
}
