// Run-time type questions: does a catch clause accept a thrown type, does a
// dynamic_cast succeed. Types match by identity or by mangled name, and a class matches
// every ancestor along a chain of single public inheritance at offset zero. Classes with
// several or virtual bases match only themselves. A dynamic_cast also needs its source
// to be a public base subobject of the complete object, as the language demands.
#include "cxxabi/sjlj_abi.h"
#include "cxxabi/type_info.h"
#include "libc/library.h"

#include <stddef.h>

LorrinTypeInfoVtable gClassTypeInfoVtable;
LorrinTypeInfoVtable gSiClassTypeInfoVtable;
LorrinTypeInfoVtable gVmiClassTypeInfoVtable;
LorrinTypeInfoVtable gFundamentalTypeInfoVtable;
LorrinTypeInfoVtable gPointerTypeInfoVtable;
LorrinTypeInfoVtable gPointerToMemberTypeInfoVtable;
LorrinTypeInfoVtable gFunctionTypeInfoVtable;
LorrinTypeInfoVtable gEnumTypeInfoVtable;
LorrinTypeInfoVtable gArrayTypeInfoVtable;

namespace {

// Equal names: same bytes up to the NUL of both. Types of different modules are the same
// type exactly when their names are equal. A null name equals only a null name.
bool same_name(const char *a, const char *b) {
    if (a == nullptr || b == nullptr)
        return a == b;
    while (*a != '\0' && *a == *b) {
        ++a;
        ++b;
    }
    return *a == *b;
}

const LorrinTypeInfo *single_base_of(const LorrinTypeInfo *type) {
    if (type->vtable != gSiClassTypeInfoVtable.address_point())
        return nullptr;
    return reinterpret_cast<const LorrinSiClassTypeInfo *>(type)->base;
}

bool same_type(const LorrinTypeInfo *a, const LorrinTypeInfo *b) {
    return a == b || same_name(a->name, b->name);
}

// Whether the subobject at `target` of type `source` lies within the subobject at `here`
// of type `type` and is reached from it through public bases only. A virtual base's
// offset is read from the vtable of the subobject that holds it.
bool is_public_base(const LorrinTypeInfo *type, const char *here, const char *target, const LorrinTypeInfo *source) {
    if (here == target && same_type(type, source))
        return true;
    if (const LorrinTypeInfo *base = single_base_of(type))
        return is_public_base(base, here, target, source);
    if (type->vtable != gVmiClassTypeInfoVtable.address_point())
        return false;
    auto *vmi = reinterpret_cast<const LorrinVmiClassTypeInfo *>(type);
    for (uint32_t i = 0; i < vmi->baseCount; ++i) {
        const LorrinBaseClassInfo &base = vmi->bases()[i];
        if ((base.offsetFlags & kBaseIsPublic) == 0)
            continue;
        intptr_t offset = base.offsetFlags >> kBaseOffsetShift;
        if (base.offsetFlags & kBaseIsVirtual) {
            auto *vtable = *reinterpret_cast<const char *const *>(here);
            offset = *reinterpret_cast<const intptr_t *>(vtable + offset);
        }
        if (is_public_base(base.type, here + offset, target, source))
            return true;
    }
    return false;
}

} // namespace

bool type_matches(const void *candidate, const void *target) {
    if (target == nullptr)
        return true;
    auto *wanted = static_cast<const LorrinTypeInfo *>(target);
    for (auto *type = static_cast<const LorrinTypeInfo *>(candidate); type != nullptr; type = single_base_of(type)) {
        if (type == wanted || same_name(type->name, wanted->name))
            return true;
    }
    return false;
}

// The object's vtable holds, just before its address point, the dynamic type's
// type_info and before that the offset from this subobject to the complete object.
// A source that is a private or protected base gives null: the cast must not open a
// way around the access the program's types deny. Without a source type (no compiled
// cast passes none) the access is not checked.
LM_EXPORT void *__dynamic_cast(const void *object, const void *sourceType, const void *destinationType,
                               ptrdiff_t /*hint*/) {
    if (object == nullptr || destinationType == nullptr)
        return nullptr;
    auto *vtable = *static_cast<const intptr_t *const *>(object);
    auto *dynamicType = reinterpret_cast<const LorrinTypeInfo *>(vtable[-1]);
    intptr_t offsetToTop = vtable[-2];
    if (!type_matches(dynamicType, destinationType))
        return nullptr;
    auto *source = static_cast<const char *>(object);
    const char *complete = source + offsetToTop;
    if (sourceType != nullptr &&
        !is_public_base(dynamicType, complete, source, static_cast<const LorrinTypeInfo *>(sourceType)))
        return nullptr;
    return const_cast<char *>(complete);
}
