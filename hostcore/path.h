// The hosts' one rule for the paths of their files and images: a path names a place
// below the root of the host's storage, and nothing above it. Empty components and "."
// are dropped, ".." takes back the component before it and does nothing at the root,
// and a leading "/" means the root itself; so "/a/b", "a//b", "./x/../a/b" and
// "../a/b" all name "a/b".
#pragma once

#include <stddef.h>

namespace lbw::hostcore {

// Writes the path of `path` below the root into `out` (`capacity` bytes with the
// terminator) as its components joined by "/": "a/b", or "" for the root itself. False,
// with `out` unusable, for a null path or one whose result does not fit; the result is
// never longer than `path`, so strlen(path) + 1 bytes always suffice.
bool path_below_root(const char *path, char *out, size_t capacity);

} // namespace lbw::hostcore
