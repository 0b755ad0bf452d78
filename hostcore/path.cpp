#include "hostcore/path.h"

namespace lbw::hostcore {

namespace {

bool is_dot_dot(const char *start, size_t length) {
    return length == 2 && start[0] == '.' && start[1] == '.';
}

// Drops the last component of out[0, length) and the '/' before it.
size_t without_last_component(const char *out, size_t length) {
    while (length > 0 && out[length - 1] != '/')
        length--;
    return length > 0 ? length - 1 : 0;
}

} // namespace

bool path_below_root(const char *path, char *out, size_t capacity) {
    if (!path || capacity == 0)
        return false;
    size_t length = 0;
    for (const char *p = path; *p;) {
        while (*p == '/')
            p++;
        const char *start = p;
        while (*p && *p != '/')
            p++;
        size_t piece = static_cast<size_t>(p - start);
        if (piece == 0 || (piece == 1 && start[0] == '.'))
            continue;
        if (is_dot_dot(start, piece)) {
            length = without_last_component(out, length);
            continue;
        }
        size_t separator = length > 0 ? 1 : 0;
        if (length + separator + piece >= capacity)
            return false;
        if (separator)
            out[length++] = '/';
        for (size_t i = 0; i < piece; i++)
            out[length++] = start[i];
    }
    out[length] = 0;
    return true;
}

} // namespace lbw::hostcore
