// Paths of the host's storage resolved inside a root folder of the Linux machine, by the
// hosts' path rule (hostcore/path.h): the file store and the image decoder share it, so
// no path reaches outside.
#pragma once

#include <string>
#include <vector>

namespace lbw::simhost {

// The components of `path` below the root; empty when it names the root itself.
std::vector<std::string> components_below_root(const std::string &path);

// The folder holding the last of `parts`, opened from `root` (a folder descriptor)
// without following any symbolic link; -1 when it cannot be reached. The caller closes it.
int open_parent_below(int root, const std::vector<std::string> &parts);

} // namespace lbw::simhost
