// Fills the record of container operations for the hosted tests; every allocation
// reaches the substitute host's heap through the library's operator new.
#include "tests/core/core_entries.h"

using namespace lbw::test;

extern "C" __attribute__((visibility("default"))) void lbwt_core_entries(CoreEntries *e) {
#define LBWT_FILL(name, result, parameters, body) e->name = [] parameters -> result { body; };
    LBWT_CORE_OPERATIONS(LBWT_FILL)
#undef LBWT_FILL
}
