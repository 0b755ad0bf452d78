#include "simhost/root_path.h"

#include "hostcore/path.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace lbw::simhost {

std::vector<std::string> components_below_root(const std::string &path) {
    std::string below(path.size() + 1, '\0'); // never longer than the path itself
    hostcore::path_below_root(path.c_str(), below.data(), below.size());
    below.resize(std::strlen(below.c_str()));
    std::vector<std::string> parts;
    for (size_t start = 0; start < below.size();) {
        size_t end = std::min(below.find('/', start), below.size());
        parts.push_back(below.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

int open_parent_below(int root, const std::vector<std::string> &parts) {
    int dir = openat(root, ".", O_PATH | O_DIRECTORY | O_CLOEXEC);
    for (size_t i = 0; i + 1 < parts.size() && dir >= 0; i++) {
        // O_NOFOLLOW with O_PATH opens a link itself, which O_DIRECTORY then refuses.
        int next = openat(dir, parts[i].c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        close(dir);
        dir = next;
    }
    return dir;
}

} // namespace lbw::simhost
