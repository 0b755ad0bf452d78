// The substitute host: plays LorrinBoot inside a Linux process. It maps the page that
// holds the boot hand-off area (0x6000) and the program API table (0x6800), serves the
// host entries through jump stubs below 4 GiB, and keeps a heap below 4 GiB. The same
// code backs the tests (everything settable, calls recorded when asked) and the
// simulator (which records nothing: a program may run for hours).
#pragma once

#include "libc/include/lorrinboot/host.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace lbw::simhost {

class HostHeap;
class ConsoleService;
class FileService;
class DisplayService;
class InputService;
class ImageDecoder;

class Host {
public:
    // The one host of this process; the first call maps the fixed areas and the
    // probe-heap memory (0x300000 to 0x4000000) and resets.
    static Host &instance();

    // Back to the default state: a ready table of full size with every service of this
    // host installed (hostcore/program_api.h), an empty hand-off area, a fresh heap, no recordings, no queued
    // input. Reset hooks of further services run last. Whether calls are recorded
    // stays as record_calls last set it.
    void reset();

    // Makes the heap, the console, the file entries and the image decoder keep a record
    // of every call (for tests), or none. Off until switched on.
    void record_calls(bool on);

    LmBaremetalProgramApi &api();
    LmBootHandoff &handoff();
    uint32_t &entry_word(uint32_t offset);

    // Makes `fn` the entry at `offset` (through a stub below 4 GiB); null stores 0.
    void set_entry(uint32_t offset, void *fn);
    template <class R, class... A>
    void set_entry(uint32_t offset, R (*fn)(A...)) {
        set_entry(offset, reinterpret_cast<void *>(fn));
    }

    // Services register here to be put back in their default state by reset().
    void add_reset_hook(std::function<void(Host &)> hook);

    HostHeap &heap();
    ConsoleService &console();
    FileService &files();
    DisplayService &display();
    InputService &input();
    ImageDecoder &images();

    // The probe-heap memory the host owns: [kProbeMemoryStart, kProbeMemoryEnd).
    static constexpr uint64_t kProbeMemoryStart = 0x300000;
    static constexpr uint64_t kProbeMemoryEnd = 0x4000000;

private:
    Host();
    std::vector<std::function<void(Host &)>> reset_hooks_;
    bool record_calls_ = false;
};

// A 32-bit address through which `fn` can be called (a jmp stub below 4 GiB).
uint32_t stub_for(void *fn);

} // namespace lbw::simhost
