// The host's console: console_write_line and read_line.
#pragma once

#include <cstdint>
#include <cstdio>
#include <deque>
#include <string>
#include <vector>

namespace lbw::simhost {

class ConsoleService {
public:
    struct ReadLineCall {
        uint32_t capacity;
        std::string text;
        uint32_t flag;
    };

    void reset();

    // While `recording`: every line the library sent, and every read_line call, in order.
    std::vector<std::string> lines;
    std::vector<ReadLineCall> reads;
    // Lines that read_line hands out, first to last; when empty and `input` is set,
    // lines are read from that file instead (the simulator uses stdin).
    std::deque<std::string> queued_input;
    std::FILE *input = nullptr;
    // When set, every line is also printed there (the simulator uses stdout).
    std::FILE *echo = nullptr;
    // When set, called with every line (the simulator keeps the last one).
    void (*observer)(const char *text) = nullptr;
    bool recording = false;

    static void host_console_write_line(const char *text);
    static int host_read_line(char *buffer, uint32_t capacity, const char *text, uint32_t flag);

private:
    bool next_line(std::string &line);
};

} // namespace lbw::simhost
