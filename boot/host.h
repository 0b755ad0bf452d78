// The boot host's shared state and its program API table.
#pragma once

#include "boot/file_store.h"
#include "hostcore/heap.h"

namespace lbw::boot {

hostcore::Heap &host_heap();
FileStore &file_store();

// Fills the program API table at 0x6800 with the host's entries; the ready word last.
void install_program_api(bool with_pointer);

// The program ended with `status` (main returned it, or it called exit): reports it on
// the serial port ("lorrinboot: HOW N") and ends QEMU with N (mod 64), or stops the
// processor.
[[noreturn]] void finish(const char *how, int status);

// Reports the failure on the serial port ("lorrinboot: [context: ]message[: detail]")
// and stops QEMU (or the processor).
[[noreturn]] void fatal(const char *message, const char *detail = nullptr, const char *context = nullptr);

} // namespace lbw::boot
