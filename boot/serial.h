// The first serial port (COM1): the console of the boot host.
#pragma once

#include <stdint.h>

namespace lbw::boot::serial {

void init();
void write(const char *text);
void write_byte(uint8_t byte);
void write_decimal(int64_t value);
void write_hex(uint64_t value);
// The next received byte, or -1 when none is waiting.
int read_byte();

} // namespace lbw::boot::serial
