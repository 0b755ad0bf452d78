#include "hostcore/program_api.h"

namespace lbw::hostcore {

void install_program_api(volatile LmBaremetalProgramApi &api, const HostEntries &entries,
                         uint32_t (*address_of)(void *function)) {
    api.ready = 0;
#define LBW_INSTALL_ENTRY(NAME, offset, field, result, parameters) \
    api.field = entries.field ? address_of(reinterpret_cast<void *>(entries.field)) : 0;
    LM_PROGRAM_API_ENTRIES(LBW_INSTALL_ENTRY)
#undef LBW_INSTALL_ENTRY
    api.magic = LM_PROGRAM_API_MAGIC;
    api.size = sizeof(LmBaremetalProgramApi);
    api.ready = 1; // volatile stores stay in this order
}

} // namespace lbw::hostcore
