#include "simhost/input.h"

#include "simhost/host.h"

#include <cstring>

namespace lbw::simhost {

void InputService::reset() {
    keys.clear();
    pointer_reports.clear();
    key_polls = 0;
    pointer_polls = 0;
    pointer_records_cleared = true;
}

uint32_t InputService::host_poll_key() {
    InputService &input = Host::instance().input();
    ++input.key_polls;
    if (input.keys.empty())
        return 0;
    uint32_t word = input.keys.front();
    input.keys.pop_front();
    return word;
}

int InputService::host_poll_pointer(LmBaremetalProgramPointerState *state) {
    InputService &input = Host::instance().input();
    ++input.pointer_polls;
    static const LmBaremetalProgramPointerState kCleared{};
    if (std::memcmp(state, &kCleared, sizeof kCleared) != 0)
        input.pointer_records_cleared = false;
    if (input.pointer_reports.empty())
        return 0;
    PointerReport report = input.pointer_reports.front();
    input.pointer_reports.pop_front();
    if (report.result)
        *state = report.state;
    return report.result;
}

} // namespace lbw::simhost
