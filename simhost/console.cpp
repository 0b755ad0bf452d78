#include "simhost/console.h"

#include "simhost/host.h"

#include <cstring>

namespace lbw::simhost {

void ConsoleService::reset() {
    lines.clear();
    reads.clear();
    queued_input.clear();
    input = nullptr;
    echo = nullptr;
    observer = nullptr;
    recording = false;
}

void ConsoleService::host_console_write_line(const char *text) {
    ConsoleService &console = Host::instance().console();
    if (console.recording)
        console.lines.emplace_back(text);
    if (console.observer)
        console.observer(text);
    if (console.echo) {
        std::fputs(text, console.echo);
        std::fputc('\n', console.echo);
        std::fflush(console.echo);
    }
}

bool ConsoleService::next_line(std::string &line) {
    if (!queued_input.empty()) {
        line = std::move(queued_input.front());
        queued_input.pop_front();
        return true;
    }
    if (!input)
        return false;
    line.clear();
    int c;
    while ((c = std::fgetc(input)) != EOF && c != '\n')
        line.push_back(static_cast<char>(c));
    if (c == EOF && line.empty())
        return false;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return true;
}

int ConsoleService::host_read_line(char *buffer, uint32_t capacity, const char *text, uint32_t flag) {
    ConsoleService &console = Host::instance().console();
    if (console.recording)
        console.reads.push_back({capacity, text ? text : "", flag});
    std::string line;
    if (capacity == 0 || !console.next_line(line))
        return 0;
    size_t n = line.size() < capacity - 1 ? line.size() : capacity - 1;
    std::memcpy(buffer, line.data(), n);
    buffer[n] = 0;
    return 1;
}

} // namespace lbw::simhost
