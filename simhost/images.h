// The host's image decoder: png_decode_file decodes a PNG file from the host's storage
// (a folder on this machine) into red, green, blue, alpha rows in a buffer of the host
// heap, which the library hands back through free.
#pragma once

#include "libc/include/lorrinboot/window_host.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace lbw::simhost {

class ImageDecoder {
public:
    // Default: no storage folder, so every decode fails.
    void reset();

    // The storage folder. Paths are resolved inside it by the hosts' path rule
    // (hostcore/path.h), and symbolic links are refused.
    std::string root;
    // While `recording`: every path png_decode_file was asked for, in order.
    bool recording = false;
    std::vector<std::string> requests;
    // When set, answers png_decode_file instead of decoding (for hosts that misbehave).
    std::function<int(const char *path, LmBaremetalProgramImageInfo *info)> answer;
    // Called after a successful decode, before the record is returned: may spoil it.
    std::function<void(LmBaremetalProgramImageInfo *info)> edit;

    // Opens `path` inside `root` for reading; -1 when it does not resolve to a regular
    // file there.
    static int open_inside(const std::string &root, const std::string &path);
    // Decodes a PNG file (and closes `fd`) into 4-byte RGBA rows; false when it is no
    // readable PNG or its pixels would take more than `max_bytes`.
    static bool decode_png(int fd, uint64_t max_bytes, std::vector<uint8_t> &rgba, uint32_t &width,
                           uint32_t &height);

    static int host_png_decode_file(const char *path, LmBaremetalProgramImageInfo *info);
};

} // namespace lbw::simhost
