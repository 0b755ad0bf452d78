// Processor exceptions: a fault in the program (an invalid instruction, a protection
// fault, an access above the mapped 4 GiB) is reported on the serial port with the
// faulting address, and QEMU ends, instead of the machine resetting silently.
#pragma once

namespace lbw::boot {

void install_exception_handlers();

} // namespace lbw::boot
