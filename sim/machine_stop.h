// Turns the library's halt (cli/hlt, which faults in user space) into a clear report.
#pragma once

namespace lbw::sim {

// Exit status of the simulator when the program stopped the machine.
inline constexpr int kMachineStoppedStatus = 250;

// From now on a fault on cli or hlt prints "program stopped the machine" with the last
// console line and exits with kMachineStoppedStatus; any other fault is reported as a
// crash and ends the process with the signal.
void report_machine_stops();

// The last console line, kept where the fault handler can read it without allocating.
void remember_console_line(const char *text);

} // namespace lbw::sim
