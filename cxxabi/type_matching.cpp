// Run-time type questions: does a catch clause accept a thrown type, does a
// dynamic_cast succeed. Types match by identity or by mangled name, and a class matches
// every ancestor along a chain of single public inheritance at offset zero. Classes with
// several or virtual bases match only themselves.
#include "cxxabi/sjlj_abi.h"
#include "cxxabi/type_info.h"
#include "host/program_api.h"

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
LM_EXPORT void *__dynamic_cast(const void *object, const void * /*sourceType*/, const void *destinationType,
                               ptrdiff_t /*hint*/) {
    if (object == nullptr || destinationType == nullptr)
        return nullptr;
    auto *vtable = *static_cast<const intptr_t *const *>(object);
    auto *dynamicType = reinterpret_cast<const void *>(vtable[-1]);
    intptr_t offsetToTop = vtable[-2];
    if (!type_matches(dynamicType, destinationType))
        return nullptr;
    return const_cast<char *>(static_cast<const char *>(object)) + offsetToTop;
}
