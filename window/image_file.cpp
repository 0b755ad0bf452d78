// Image files: the host decodes them; the library cleans up the path, retries with the
// path as given, and copies the pixels into memory the application owns, handing the
// host's buffer straight back.
#include "host/program_api.h"
#include "window/window.h"

#include <string.h>

namespace lm {

namespace {

// Lexical clean-up: empty and "." components go, ".." folds into its parent. Nothing
// lies above the root of an absolute path; a relative path may start with any number of
// "..". An empty result is "/" or ".".
string cleanImagePath(const char *path) {
    const string text(path);
    const bool absolute = text.size > 0 && text.data[0] == '/';
    vector<string> parts;
    uint64_t start = 0;
    for (;;) {
        const uint64_t slash = text.find('/', start);
        const uint64_t end = slash == npos ? text.size : slash;
        string piece = text.substr(start, end - start);
        if (piece == "" || piece == ".") {
            // skipped
        } else if (piece == "..") {
            if (parts.size > 0 && parts.data[parts.size - 1] != "..")
                parts.pop_back();
            else if (!absolute)
                parts.emplace_back(piece);
        } else {
            parts.emplace_back(piece);
        }
        if (slash == npos)
            break;
        start = slash + 1;
    }

    string cleaned;
    if (absolute)
        cleaned.push_back('/');
    for (uint64_t i = 0; i < parts.size; ++i) {
        if (i > 0)
            cleaned.push_back('/');
        cleaned += parts.data[i];
    }
    if (cleaned.size == 0)
        cleaned = absolute ? "/" : ".";
    return cleaned;
}

void releaseHostPixels(uint64_t pixels) {
    if (!pixels)
        return;
    host::free(reinterpret_cast<void *>(pixels));
}

// Whether the host's record describes pixels that pushImage can read in full.
bool usableImage(const LmBaremetalProgramImageInfo &info) {
    const uint32_t kLargestInt = 0x7FFFFFFF;
    if (info.pixels == 0 || info.sizeBytes == 0 || info.width == 0 || info.height == 0)
        return false;
    if (info.width > kLargestInt || info.height > kLargestInt)
        return false;
    return info.sizeBytes >= static_cast<uint64_t>(info.width) * info.height * 4;
}

} // namespace

} // namespace lm

LM_EXPORT unsigned char *baremetal_load_raw_image(const char *path, int *width, int *height) {
    // First, so that every failure leaves both at 0.
    if (width)
        *width = 0;
    if (height)
        *height = 0;
    if (!path)
        return nullptr;

    const lm::string cleaned = lm::cleanImagePath(path);
    LmBaremetalProgramImageInfo info;
    memset(&info, 0, sizeof info);
    if (!lm_program_png_decode_file(cleaned.data, &info)) {
        // The host resolves paths itself: the path as given may still name the file.
        if (cleaned == path || !lm_program_png_decode_file(path, &info))
            return nullptr;
    }
    if (!lm::usableImage(info)) {
        lm::releaseHostPixels(info.pixels);
        return nullptr;
    }

    unsigned char *pixels = new unsigned char[info.sizeBytes];
    memcpy(pixels, reinterpret_cast<const void *>(info.pixels), info.sizeBytes);
    lm::releaseHostPixels(info.pixels);
    if (width)
        *width = static_cast<int>(info.width);
    if (height)
        *height = static_cast<int>(info.height);
    return pixels;
}

// Saving images is not supported.
LM_EXPORT int baremetal_save_raw_image(const char *, const unsigned char *, int, int) {
    return 0;
}
