#include "simhost/host.h"

#include "hostcore/program_api.h"
#include "simhost/console.h"
#include "simhost/files.h"
#include "simhost/display.h"
#include "simhost/heap.h"
#include "simhost/images.h"
#include "simhost/input.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

namespace lbw::simhost {

namespace {

constexpr uintptr_t kAreaPage = 0x6000;
constexpr size_t kStubSize = 16;

[[noreturn]] void fail(const char *what) {
    std::fprintf(stderr, "substitute host: %s: %s\n", what, std::strerror(errno));
    std::abort();
}

void map_fixed(uintptr_t address, size_t length) {
    void *p = mmap(reinterpret_cast<void *>(address), length, PROT_READ | PROT_WRITE,
                   MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED_NOREPLACE | MAP_NORESERVE, -1, 0);
    if (p == MAP_FAILED || reinterpret_cast<uintptr_t>(p) != address)
        fail("cannot map the fixed low-memory areas (is this a PIE executable?)");
}

// Jump stubs below 4 GiB: `jmp [rip+0]` followed by the 8-byte target. They touch no
// register, so %al still carries the vector-register count into variadic targets.
class StubPages {
public:
    uint32_t stub_for(void *fn) {
        auto found = stubs_.find(fn);
        if (found != stubs_.end())
            return found->second;
        if (!page_ || used_ + kStubSize > page_size()) {
            void *page = mmap(nullptr, page_size(), PROT_READ | PROT_WRITE,
                              MAP_PRIVATE | MAP_ANONYMOUS | MAP_32BIT, -1, 0);
            if (page == MAP_FAILED)
                fail("cannot map a stub page below 4 GiB");
            page_ = static_cast<unsigned char *>(page);
            used_ = 0;
        } else if (mprotect(page_, page_size(), PROT_READ | PROT_WRITE) != 0) {
            fail("cannot reopen the stub page");
        }
        unsigned char *stub = page_ + used_;
        const unsigned char jmp[6] = {0xFF, 0x25, 0, 0, 0, 0};
        std::memcpy(stub, jmp, sizeof jmp);
        std::memcpy(stub + sizeof jmp, &fn, sizeof fn);
        used_ += kStubSize;
        if (mprotect(page_, page_size(), PROT_READ | PROT_EXEC) != 0)
            fail("cannot seal the stub page");
        uint32_t address = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(stub));
        stubs_[fn] = address;
        return address;
    }

private:
    static size_t page_size() { return static_cast<size_t>(sysconf(_SC_PAGESIZE)); }
    std::map<void *, uint32_t> stubs_;
    unsigned char *page_ = nullptr;
    size_t used_ = 0;
};

StubPages &stub_pages() {
    static StubPages pages;
    return pages;
}

HostHeap &the_heap() {
    static HostHeap heap;
    return heap;
}

ConsoleService &the_console() {
    static ConsoleService console;
    return console;
}

FileService &the_files() {
    static FileService files;
    return files;
}

// The program ends with `status`, as if main had returned it: what the process wrote is
// flushed and nothing else of it runs. The simulator ends its session here instead.
[[noreturn]] void host_exit(int32_t status) {
    std::fflush(nullptr);
    std::_Exit(status);
}

const hostcore::HostEntries kEntries{
    .create_window = &DisplayService::host_create_window,
    .destroy_window = &DisplayService::host_destroy_window,
    .poll_key = &InputService::host_poll_key,
    .stat_file = &FileService::host_stat_file,
    .write_file = &FileService::host_write_file,
    .delete_file = &FileService::host_delete_file,
    .console_write_line = &ConsoleService::host_console_write_line,
    .read_line = &ConsoleService::host_read_line,
    .malloc = &HostHeap::host_malloc,
    .free = &HostHeap::host_free,
    .realloc = &HostHeap::host_realloc,
    .png_decode_file = &ImageDecoder::host_png_decode_file,
    .query_framebuffer = &DisplayService::host_query_framebuffer,
    .poll_pointer = &InputService::host_poll_pointer,
    .exit = &host_exit,
};

} // namespace

uint32_t stub_for(void *fn) {
    return stub_pages().stub_for(fn);
}

Host &Host::instance() {
    static Host host;
    return host;
}

Host::Host() {
    map_fixed(kAreaPage, 0x1000);
    map_fixed(kProbeMemoryStart, kProbeMemoryEnd - kProbeMemoryStart);
    the_heap();
    reset();
}

LmBaremetalProgramApi &Host::api() {
    return *reinterpret_cast<LmBaremetalProgramApi *>(uintptr_t{LM_PROGRAM_API_ADDRESS});
}

LmBootHandoff &Host::handoff() {
    return *reinterpret_cast<LmBootHandoff *>(uintptr_t{LM_BOOT_HANDOFF_ADDRESS});
}

uint32_t &Host::entry_word(uint32_t offset) {
    return reinterpret_cast<uint32_t *>(&api())[offset / 4];
}

void Host::set_entry(uint32_t offset, void *fn) {
    entry_word(offset) = fn ? stub_for(fn) : 0;
}

void Host::add_reset_hook(std::function<void(Host &)> hook) {
    reset_hooks_.push_back(std::move(hook));
}

HostHeap &Host::heap() {
    return the_heap();
}

ConsoleService &Host::console() {
    return the_console();
}

FileService &Host::files() {
    return the_files();
}

DisplayService &Host::display() {
    static DisplayService display;
    return display;
}

InputService &Host::input() {
    static InputService input;
    return input;
}

ImageDecoder &Host::images() {
    static ImageDecoder images;
    return images;
}

void Host::record_calls(bool on) {
    record_calls_ = on;
    heap().recording = on;
    console().recording = on;
    files().recording = on;
    images().recording = on;
}

void Host::reset() {
    std::memset(reinterpret_cast<void *>(kAreaPage), 0, 0x1000);
    // Probe-heap memory holds block headers of an earlier run: give back zero pages.
    madvise(reinterpret_cast<void *>(kProbeMemoryStart), kProbeMemoryEnd - kProbeMemoryStart, MADV_DONTNEED);

    heap().reset();
    console().reset();
    files().reset();
    display().reset();
    input().reset();
    images().reset();
    hostcore::install_program_api(api(), kEntries, &stub_for);
    record_calls(record_calls_);

    for (auto &hook : reset_hooks_)
        hook(*this);
}

} // namespace lbw::simhost
