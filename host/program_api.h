// Access to the host: the program API table at 0x6800 and the boot hand-off area at
// 0x6000, read at their fixed addresses (low memory is identity-mapped).
#pragma once

#include "libc/library.h"

#include <lorrinboot/host.h>
#include <lorrinboot/window_host.h>
#include <stdint.h>

extern "C" bool lm_program_api_field_ready(const volatile LmBaremetalProgramApi *api, uint32_t offset);

namespace lm {

inline const volatile LmBaremetalProgramApi *program_api() {
    return reinterpret_cast<const volatile LmBaremetalProgramApi *>(uintptr_t{LM_PROGRAM_API_ADDRESS});
}

inline const volatile LmBootHandoff *boot_handoff() {
    return reinterpret_cast<const volatile LmBootHandoff *>(uintptr_t{LM_BOOT_HANDOFF_ADDRESS});
}

// The host entry at `offset` as a callable of type Fn, or null when the table is not
// ready for it or the entry is 0. The table is read afresh on every call.
template <class Fn>
inline Fn host_entry(uint32_t offset) {
    const volatile LmBaremetalProgramApi *api = program_api();
    if (!lm_program_api_field_ready(api, offset))
        return nullptr;
    uint32_t address = reinterpret_cast<const volatile uint32_t *>(api)[offset / 4];
    if (address == 0)
        return nullptr;
    return reinterpret_cast<Fn>(static_cast<uintptr_t>(address));
}

} // namespace lm

namespace lm::host {

template <uint32_t Offset, class Signature>
struct Entry;

template <uint32_t Offset, class Result, class... Parameters>
struct Entry<Offset, Result(Parameters...)> {
    static Result call(Parameters... arguments) {
        auto entry = host_entry<Result (*)(Parameters...)>(Offset);
        if (!entry)
            return Result();
        return entry(arguments...);
    }
};

// Every host entry of LM_PROGRAM_API_ENTRIES as a function of its own signature:
// lm::host::malloc(size), lm::host::poll_key() and so on. Each calls the entry when the
// table holds it, and otherwise gives its result's zero value (null, 0, nothing)
// without calling anything.
#define LM_HOST_ENTRY_WRAPPER(NAME, offset, field, result, parameters) \
    inline constexpr auto field = &Entry<offset, result parameters>::call;
LM_PROGRAM_API_ENTRIES(LM_HOST_ENTRY_WRAPPER)
#undef LM_HOST_ENTRY_WRAPPER

} // namespace lm::host

// Host file and image services; each returns the entry's result, or 0 when absent.
extern "C" int lm_lua_app_stat_file(const char *path, LmBaremetalProgramFileInfo *info);
extern "C" int lm_lua_app_write_file(const char *path, const void *data, uint32_t size);
extern "C" int lm_lua_app_delete_file(const char *path);
extern "C" int lm_program_png_decode_file(const char *path, LmBaremetalProgramImageInfo *info);
