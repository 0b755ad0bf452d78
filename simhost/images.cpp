#include "simhost/images.h"

#include "simhost/heap.h"
#include "simhost/host.h"
#include "simhost/root_path.h"

#include <fcntl.h>
#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace lbw::simhost {

void ImageDecoder::reset() {
    root.clear();
    recording = false;
    requests.clear();
    answer = nullptr;
    edit = nullptr;
}

int ImageDecoder::open_inside(const std::string &root, const std::string &path) {
    std::vector<std::string> parts = components_below_root(path);
    if (root.empty() || parts.empty())
        return -1;
    int top = open(root.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (top < 0)
        return -1;
    int dir = open_parent_below(top, parts);
    close(top);
    if (dir < 0)
        return -1;
    int fd = openat(dir, parts.back().c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    close(dir);
    struct stat st;
    if (fd >= 0 && (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
        close(fd);
        fd = -1;
    }
    return fd;
}

bool ImageDecoder::decode_png(int fd, uint64_t max_bytes, std::vector<uint8_t> &rgba, uint32_t &width,
                              uint32_t &height) {
    std::FILE *file = fdopen(fd, "rb");
    if (!file) {
        close(fd);
        return false;
    }
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    bool ok = png_image_begin_read_from_stdio(&image, file);
    if (ok) {
        image.format = PNG_FORMAT_RGBA;
        // Refused before anything is allocated: larger than the heap could hold, or than
        // the record's 32-bit size can say.
        uint64_t size = uint64_t{image.width} * image.height * 4;
        ok = size <= max_bytes && size <= 0xFFFFFFFFu;
        if (ok) {
            rgba.assign(size, 0);
            ok = png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr);
        }
    }
    png_image_free(&image);
    std::fclose(file);
    width = image.width;
    height = image.height;
    return ok;
}

int ImageDecoder::host_png_decode_file(const char *path, LmBaremetalProgramImageInfo *info) {
    Host &host = Host::instance();
    ImageDecoder &decoder = host.images();
    if (decoder.recording)
        decoder.requests.emplace_back(path ? path : "");
    if (decoder.answer)
        return decoder.answer(path, info);
    if (!path)
        return 0;
    int fd = open_inside(decoder.root, path);
    if (fd < 0)
        return 0;
    std::vector<uint8_t> rgba;
    uint32_t width = 0, height = 0;
    if (!decode_png(fd, host.heap().limit(), rgba, width, height))
        return 0;
    void *pixels = host.heap().allocate(rgba.size());
    if (!pixels)
        return 0;
    std::memcpy(pixels, rgba.data(), rgba.size());
    info->pixels = reinterpret_cast<uintptr_t>(pixels);
    info->sizeBytes = static_cast<uint32_t>(rgba.size());
    info->width = width;
    info->height = height;
    if (decoder.edit)
        decoder.edit(info);
    return 1;
}

} // namespace lbw::simhost
