// lm::string_view: a non-owning view of bytes. A null pointer reads as the empty text.
#pragma once

#include <stdint.h>

namespace lm {

// The result of a failed search.
inline constexpr uint64_t npos = ~uint64_t{0};

// Length of a NUL-terminated text; 0 for a null pointer.
inline uint64_t string_length(const char *text) {
    uint64_t n = 0;
    if (text)
        while (text[n])
            n++;
    return n;
}

struct string_view {
    static constexpr uint64_t npos = lm::npos;

    const char *data;
    uint64_t size;

    // First index i with from <= i < size whose byte is c, or npos.
    uint64_t find(char c, uint64_t from = 0) const {
        for (uint64_t i = from; i < size; i++)
            if (data[i] == c)
                return i;
        return npos;
    }
};

inline bool operator==(string_view a, string_view b) {
    if (a.size != b.size)
        return false;
    for (uint64_t i = 0; i < a.size; i++)
        if (a.data[i] != b.data[i])
            return false;
    return true;
}

} // namespace lm
