// The host's keyboard and pointer: poll_key hands out queued key words, poll_pointer
// queued pointer reports.
#pragma once

#include "libc/include/lorrinboot/window_host.h"

#include <cstdint>
#include <deque>
#include <initializer_list>

namespace lbw::simhost {

class InputService {
public:
    struct PointerReport {
        LmBaremetalProgramPointerState state{};
        int result = 1; // 0: poll_pointer answers 0 and fills nothing
    };

    void reset();

    // Key words (character in bits 0-7, scan code in bits 8-15); poll_key answers 0
    // once the queue is empty.
    std::deque<uint32_t> keys;
    // Pointer reports, one per poll_pointer call; an empty queue answers 0.
    std::deque<PointerReport> pointer_reports;

    void queue_keys(std::initializer_list<uint32_t> words) { keys.insert(keys.end(), words); }
    void queue_pointer(const LmBaremetalProgramPointerState &state, int result = 1) {
        pointer_reports.push_back({state, result});
    }

    unsigned key_polls = 0;
    unsigned pointer_polls = 0;
    // False once poll_pointer was handed a record that was not all zero.
    bool pointer_records_cleared = true;

    static uint32_t host_poll_key();
    static int host_poll_pointer(LmBaremetalProgramPointerState *state);
};

} // namespace lbw::simhost
