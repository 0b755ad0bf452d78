// Filling the program API table, the one way both hosts do it: a host names its
// function for each entry of LM_PROGRAM_API_ENTRIES, checked against the entry's
// signature, and the table is written from that.
#pragma once

#include "libc/include/lorrinboot/host.h"
#include "libc/include/lorrinboot/window_host.h"

#include <stdint.h>

namespace lbw::hostcore {

// A host's function for each entry, of the entry's own signature; a null one leaves the
// entry 0 (the service is absent). Members follow the table's order, so a host can
// name them with designated initializers.
struct HostEntries {
#define LBW_HOST_ENTRY_FUNCTION(NAME, offset, field, result, parameters) result(*field) parameters = nullptr;
    LM_PROGRAM_API_ENTRIES(LBW_HOST_ENTRY_FUNCTION)
#undef LBW_HOST_ENTRY_FUNCTION
};

// Fills `api` with every entry, as the 32-bit address `address_of` gives for its
// function, then the magic and the size, and the ready word last: the table is ready
// only once everything in it is in place.
void install_program_api(volatile LmBaremetalProgramApi &api, const HostEntries &entries,
                         uint32_t (*address_of)(void *function));

} // namespace lbw::hostcore
