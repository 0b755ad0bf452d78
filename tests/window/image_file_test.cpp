// Image files: the path clean-up, the retry with the path as given, the copy into memory
// the application owns and the release of the host's buffer, and the records the library
// refuses. (Real PNG files through the substitute host's decoder are loaded by the
// viewer example in the simulator.)
#include "tests/window/window_test.h"

#include <algorithm>
#include <cstring>

namespace lbw::test {
namespace {

// A host answer: `bytes` in a fresh buffer of the host heap, with the given sizes.
struct HostAnswer {
    std::vector<uint8_t> bytes;
    uint32_t size_bytes, width, height;
    bool null_pixels = false;
};
HostAnswer gAnswer;
void *gHostBuffer = nullptr;

int answer_from_heap(const char *, LmBaremetalProgramImageInfo *info) {
    gHostBuffer = gAnswer.null_pixels ? nullptr : simhost::Host::instance().heap().allocate(gAnswer.bytes.size() + 1);
    if (gHostBuffer)
        std::memcpy(gHostBuffer, gAnswer.bytes.data(), gAnswer.bytes.size());
    info->pixels = reinterpret_cast<uintptr_t>(gHostBuffer);
    info->sizeBytes = gAnswer.size_bytes;
    info->width = gAnswer.width;
    info->height = gAnswer.height;
    return 1;
}

class ImageFileTest : public WindowTest {
protected:
    // Loads through the library; the pixels are copied and the buffer released.
    std::vector<uint8_t> load(const char *path, std::pair<int, int> *size = nullptr) {
        int width = 5, height = 5;
        unsigned char *pixels = baremetal_load_raw_image(path, &width, &height);
        std::vector<uint8_t> bytes;
        if (pixels)
            bytes.assign(pixels, pixels + host().heap().malloc_sizes.back());
        free_(pixels);
        if (size)
            *size = {width, height};
        return bytes;
    }

    // Whether `buffer` went back through the host's free entry.
    bool handed_back(void *buffer) {
        const auto &freed = host().heap().freed;
        return !host().heap().owns(buffer) && std::find(freed.begin(), freed.end(), buffer) != freed.end();
    }
};

TEST_F(ImageFileTest, PathsAreCleanedUpAndRetriedAsGivenOnlyWhenTheyDiffer) {
    const std::pair<const char *, const char *> rows[] = {
        {"a/./b//c/", "a/b/c"}, {"/usr/../img.png", "/img.png"}, {"/../x", "/x"}, {"a/../../x", "../x"},
        {"../..", "../.."}, {"a/..", "."}, {"/", "/"}, {"", "."}, {"./pics/cat.png", "pics/cat.png"},
        {"pics/cat.png", "pics/cat.png"}, {"//a//..//..//b", "/b"}, {"a/b/../../..", ".."},
        {"../a/../../b", "../../b"}, {".", "."}, {"/./", "/"}, {"x/.../y", "x/.../y"},
    };
    images().answer = [](const char *, LmBaremetalProgramImageInfo *) { return 0; };
    for (const auto &[path, cleaned] : rows) {
        images().requests.clear();
        std::pair<int, int> size;
        EXPECT_TRUE(load(path, &size).empty());
        EXPECT_EQ(size, std::pair(0, 0));
        std::vector<std::string> expected = {cleaned};
        if (std::string(path) != cleaned)
            expected.push_back(path);
        EXPECT_EQ(images().requests, expected) << "from " << path;
    }
    // A host that only knows the literal path is served by the retry.
    images().answer = [](const char *path, LmBaremetalProgramImageInfo *info) {
        gAnswer = {{1, 2, 3, 4}, 4, 1, 1};
        return std::string(path) == "./odd//name.png" ? answer_from_heap(path, info) : 0;
    };
    EXPECT_EQ(load("./odd//name.png"), (std::vector<uint8_t>{1, 2, 3, 4}));
}

TEST_F(ImageFileTest, DecodedPixelsAreCopiedAndTheHostBufferHandedBack) {
    std::vector<uint8_t> ramp(24);
    for (uint8_t i = 0; i < 24; ++i)
        ramp[i] = static_cast<uint8_t>(i * 7 + 1);
    const struct {
        const char *what;
        HostAnswer answer;
        bool valid;
    } rows[] = {
        {"2 x 3", {ramp, 24, 2, 3}, true},
        {"spare bytes are copied too", {{1, 2, 3, 4, 5, 6}, 6, 1, 1}, true},
        {"zero size", {{1, 2, 3, 4}, 0, 1, 1}, false},
        {"zero width", {{1, 2, 3, 4}, 4, 0, 1}, false},
        {"zero height", {{1, 2, 3, 4}, 4, 1, 0}, false},
        // Sizes beyond the largest int, and fewer bytes than width x height x 4: pushImage
        // of such a result would read past the buffer.
        {"width beyond int", {{1, 2, 3, 4}, 4, 0x80000000u, 1}, false},
        {"height beyond int", {{1, 2, 3, 4}, 4, 1, 0xFFFFFFFFu}, false},
        {"too few bytes", {std::vector<uint8_t>(23, 9), 23, 2, 3}, false},
        {"product beyond 32 bits", {std::vector<uint8_t>(16, 9), 16, 0x10000, 0x4000}, false},
    };
    images().answer = answer_from_heap;
    for (const auto &row : rows) {
        gAnswer = row.answer;
        std::pair<int, int> size;
        std::vector<uint8_t> loaded = load("img.png", &size);
        EXPECT_EQ(loaded, row.valid ? row.answer.bytes : std::vector<uint8_t>{}) << row.what;
        EXPECT_EQ(size, (row.valid ? std::pair<int, int>(row.answer.width, row.answer.height) : std::pair(0, 0)))
            << row.what;
        EXPECT_TRUE(handed_back(gHostBuffer)) << row.what;
    }
    gAnswer = {{}, 4, 1, 1, true}; // without pixels there is nothing to hand back
    EXPECT_TRUE(load("x.png").empty());
    EXPECT_EQ(host().heap().bytes_in_use(), 0u);
    std::pair<int, int> size;
    images().requests.clear();
    EXPECT_TRUE(load(nullptr, &size).empty());
    EXPECT_TRUE(images().requests.empty()) << "a null path reaches no host";
    host().set_entry(LM_ENTRY_PNG_DECODE_FILE, nullptr);
    EXPECT_TRUE(load("x.png").empty());
    EXPECT_EQ(size, std::pair(0, 0));
    uint8_t pixel[4] = {};
    EXPECT_EQ(baremetal_save_raw_image("out.png", pixel, 1, 1) + baremetal_save_raw_image(nullptr, nullptr, -1, -1), 0)
        << "saving is not supported";
}

} // namespace
} // namespace lbw::test
