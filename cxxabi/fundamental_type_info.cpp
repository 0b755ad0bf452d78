// The type_info objects of the fundamental types, and of pointers and pointers to const
// of each, which compiled programs reference without defining (`throw 1` needs
// `typeinfo for int`, `catch (const char *)` needs `typeinfo for char const*`).
#include "cxxabi/type_info.h"

#define LBW_FUNDAMENTAL_TYPE(id, code)                                                            \
    extern const LorrinTypeInfo id##_type __asm__("_ZTI" code);                                   \
    const LorrinTypeInfo id##_type = {gFundamentalTypeInfoVtable.address_point(), code};          \
    extern const LorrinPointerTypeInfo id##_pointer __asm__("_ZTIP" code);                        \
    const LorrinPointerTypeInfo id##_pointer = {                                                  \
        {gPointerTypeInfoVtable.address_point(), "P" code}, 0, &id##_type};                        \
    extern const LorrinPointerTypeInfo id##_const_pointer __asm__("_ZTIPK" code);                 \
    const LorrinPointerTypeInfo id##_const_pointer = {                                            \
        {gPointerTypeInfoVtable.address_point(), "PK" code}, kPointeeConst, &id##_type};

LBW_FUNDAMENTAL_TYPE(void, "v")
LBW_FUNDAMENTAL_TYPE(bool, "b")
LBW_FUNDAMENTAL_TYPE(char, "c")
LBW_FUNDAMENTAL_TYPE(signed_char, "a")
LBW_FUNDAMENTAL_TYPE(unsigned_char, "h")
LBW_FUNDAMENTAL_TYPE(wchar, "w")
LBW_FUNDAMENTAL_TYPE(char8, "Du")
LBW_FUNDAMENTAL_TYPE(char16, "Ds")
LBW_FUNDAMENTAL_TYPE(char32, "Di")
LBW_FUNDAMENTAL_TYPE(short, "s")
LBW_FUNDAMENTAL_TYPE(unsigned_short, "t")
LBW_FUNDAMENTAL_TYPE(int, "i")
LBW_FUNDAMENTAL_TYPE(unsigned_int, "j")
LBW_FUNDAMENTAL_TYPE(long, "l")
LBW_FUNDAMENTAL_TYPE(unsigned_long, "m")
LBW_FUNDAMENTAL_TYPE(long_long, "x")
LBW_FUNDAMENTAL_TYPE(unsigned_long_long, "y")
LBW_FUNDAMENTAL_TYPE(int128, "n")
LBW_FUNDAMENTAL_TYPE(unsigned_int128, "o")
LBW_FUNDAMENTAL_TYPE(float, "f")
LBW_FUNDAMENTAL_TYPE(double, "d")
LBW_FUNDAMENTAL_TYPE(long_double, "e")
LBW_FUNDAMENTAL_TYPE(nullptr, "Dn")
