// Image files: the path clean-up, the retry with the path as given, the copy into memory
// the application owns and the release of the host's buffer, records the library
// refuses, and real PNG files decoded by the substitute host inside its storage folder.
#include "tests/window/png_files.h"
#include "tests/window/window_test.h"

#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace lbw::test {
namespace {

namespace fs = std::filesystem;

class ImageFileTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        static int count = 0;
        root = fs::path(::testing::TempDir()) /
               ("image_store_" + std::to_string(getpid()) + "_" + std::to_string(count++));
        fs::remove_all(root);
        fs::create_directories(root / "pics");
        images().root = (root / "store").string();
        fs::create_directories(images().root);
    }
    void TearDown() override {
        fs::remove_all(root);
        WindowTest::TearDown();
    }

    fs::path store() { return fs::path(images().root); }

    // Writes a PNG of `width` x `height` pattern pixels (alpha 255 - x) under the store.
    PngImage put_png(const std::string &name, uint32_t width, uint32_t height, bool with_alpha = true) {
        PngImage png;
        png.width = width;
        png.height = height;
        for (uint32_t y = 0; y < height; ++y)
            for (uint32_t x = 0; x < width; ++x) {
                auto p = pattern(static_cast<int>(x * 37), static_cast<int>(y * 11));
                png.rgba.insert(png.rgba.end(), {p[0], p[1], p[2], static_cast<uint8_t>(with_alpha ? 255 - x : 255)});
            }
        fs::create_directories((store() / name).parent_path());
        EXPECT_TRUE(write_png((store() / name).string(), png, with_alpha));
        return png;
    }

    struct Loaded {
        std::vector<uint8_t> bytes;
        bool valid = false;
        int width = -1, height = -1;
    };
    // Loads through the library; the returned buffer is copied and released.
    Loaded load(const char *path, size_t expected_bytes) {
        Loaded loaded;
        unsigned char *pixels = baremetal_load_raw_image(path, &loaded.width, &loaded.height);
        if (pixels) {
            loaded.valid = true;
            loaded.bytes.assign(pixels, pixels + expected_bytes);
            free_(pixels);
        }
        return loaded;
    }

    // Whether the library gave `buffer` back through the host's free entry (it is no
    // longer a live block, and free was called with it).
    bool handed_back(void *buffer) {
        const auto &freed = host().heap().freed;
        return !host().heap().owns(buffer) && std::find(freed.begin(), freed.end(), buffer) != freed.end();
    }

    fs::path root;
};

// A host answer: `bytes` in a fresh buffer of the host heap, with the given sizes.
struct HostAnswer {
    std::vector<uint8_t> bytes;
    uint32_t size_bytes, width, height;
    bool null_pixels = false;
    int result = 1;
};
HostAnswer gAnswer;
void *gHostBuffer = nullptr;

int answer_from_heap(const char *, LmBaremetalProgramImageInfo *info) {
    gHostBuffer = nullptr;
    if (!gAnswer.null_pixels) {
        gHostBuffer = sim::Host::instance().heap().allocate(gAnswer.bytes.size() ? gAnswer.bytes.size() : 1);
        std::memcpy(gHostBuffer, gAnswer.bytes.data(), gAnswer.bytes.size());
    }
    info->pixels = reinterpret_cast<uintptr_t>(gHostBuffer);
    info->sizeBytes = gAnswer.size_bytes;
    info->width = gAnswer.width;
    info->height = gAnswer.height;
    return gAnswer.result;
}

TEST_F(ImageFileTest, PathsAreCleanedUpBeforeTheHostSeesThem) {
    const std::pair<const char *, const char *> table[] = {
        {"a/./b//c/", "a/b/c"}, {"/usr/../img.png", "/img.png"}, {"/../x", "/x"}, {"a/../../x", "../x"},
        {"../..", "../.."},     {"a/..", "."},                    {"/", "/"},       {"", "."},
        {"./pics/cat.png", "pics/cat.png"}, {"//a//..//..//b", "/b"}, {"a/b/../../..", ".."},
        {"../a/../../b", "../../b"}, {".", "."}, {"/./", "/"}, {"x/.../y", "x/.../y"},
    };
    images().answer = [](const char *, LmBaremetalProgramImageInfo *) { return 0; };
    for (const auto &[path, cleaned] : table) {
        images().requests.clear();
        int width = 7, height = 7;
        EXPECT_EQ(baremetal_load_raw_image(path, &width, &height), nullptr);
        ASSERT_FALSE(images().requests.empty());
        EXPECT_EQ(images().requests[0], cleaned) << "from " << path;
        EXPECT_EQ(width, 0);
        EXPECT_EQ(height, 0);
    }
}

TEST_F(ImageFileTest, AFailedCleanPathIsRetriedAsGivenOnlyWhenItDiffers) {
    images().answer = [](const char *, LmBaremetalProgramImageInfo *) { return 0; };
    EXPECT_EQ(baremetal_load_raw_image("pics/cat.png", nullptr, nullptr), nullptr);
    EXPECT_EQ(images().requests, (std::vector<std::string>{"pics/cat.png"}));
    images().requests.clear();
    EXPECT_EQ(baremetal_load_raw_image("./pics/cat.png", nullptr, nullptr), nullptr);
    EXPECT_EQ(images().requests, (std::vector<std::string>{"pics/cat.png", "./pics/cat.png"}));
    // A host that only knows the literal path is served by the retry.
    images().requests.clear();
    images().answer = [](const char *path, LmBaremetalProgramImageInfo *info) {
        if (std::string(path) != "./odd//name.png")
            return 0;
        gAnswer = {{1, 2, 3, 4}, 4, 1, 1};
        return answer_from_heap(path, info);
    };
    Loaded loaded = load("./odd//name.png", 4);
    ASSERT_TRUE(loaded.valid);
    EXPECT_EQ(images().requests, (std::vector<std::string>{"odd/name.png", "./odd//name.png"}));
    EXPECT_EQ(loaded.bytes, (std::vector<uint8_t>{1, 2, 3, 4}));
}

TEST_F(ImageFileTest, DecodedPixelsAreCopiedAndTheHostBufferHandedBack) {
    HostAnswer answers[] = {{{}, 24, 2, 3}, {{1, 2, 3, 4, 5, 6}, 6, 1, 1}}; // spare bytes are copied too
    for (uint8_t i = 0; i < 24; ++i)
        answers[0].bytes.push_back(static_cast<uint8_t>(i * 7 + 1));
    images().answer = answer_from_heap;
    for (const HostAnswer &answer : answers) {
        gAnswer = answer;
        int width = 0, height = 0;
        unsigned char *pixels = baremetal_load_raw_image("img.png", &width, &height);
        ASSERT_NE(pixels, nullptr);
        EXPECT_NE(static_cast<void *>(pixels), gHostBuffer);
        EXPECT_EQ(std::vector<uint8_t>(pixels, pixels + answer.size_bytes), answer.bytes);
        EXPECT_EQ(std::pair(width, height), std::pair(int(answer.width), int(answer.height)));
        EXPECT_EQ(host().heap().malloc_sizes.back(), answer.size_bytes);
        EXPECT_TRUE(handed_back(gHostBuffer));
        free_(pixels);
    }
}

TEST_F(ImageFileTest, RefusedRecordsHandTheHostBufferBack) {
    struct Case {
        const char *what;
        HostAnswer answer;
    };
    const Case cases[] = {
        {"zero size", {{1, 2, 3, 4}, 0, 1, 1}},
        {"zero width", {{1, 2, 3, 4}, 4, 0, 1}},
        {"zero height", {{1, 2, 3, 4}, 4, 1, 0}},
        // Sizes beyond the largest int, and fewer bytes than width x height x 4: pushImage
        // of such a result would read past the buffer.
        {"width beyond int", {{1, 2, 3, 4}, 4, 0x80000000u, 1}},
        {"height beyond int", {{1, 2, 3, 4}, 4, 1, 0xFFFFFFFFu}},
        {"too few bytes", {std::vector<uint8_t>(23, 9), 23, 2, 3}},
        {"product beyond 32 bits", {std::vector<uint8_t>(16, 9), 16, 0x10000, 0x4000}},
    };
    images().answer = answer_from_heap;
    for (const Case &c : cases) {
        gAnswer = c.answer;
        host().heap().freed.clear();
        int width = 5, height = 5;
        EXPECT_EQ(baremetal_load_raw_image("x.png", &width, &height), nullptr) << c.what;
        EXPECT_EQ(width, 0) << c.what;
        EXPECT_EQ(height, 0) << c.what;
        EXPECT_TRUE(handed_back(gHostBuffer)) << c.what;
    }
    // Without pixels there is nothing to hand back.
    gAnswer = {{}, 4, 1, 1, true};
    EXPECT_EQ(baremetal_load_raw_image("x.png", nullptr, nullptr), nullptr);
    EXPECT_EQ(host().heap().bytes_in_use(), 0u);
}

TEST_F(ImageFileTest, SavingIsNotSupported) {
    uint8_t pixel[4] = {};
    EXPECT_EQ(baremetal_save_raw_image("out.png", pixel, 1, 1), 0);
    EXPECT_EQ(baremetal_save_raw_image(nullptr, nullptr, -1, -1), 0);
    EXPECT_FALSE(fs::exists(store() / "out.png"));
}

// ---- Real PNG files through the substitute host ----

TEST_F(ImageFileTest, RealPngFilesDecodeToRgbaRows) {
    PngImage rgba = put_png("pics/cat.png", 5, 3);
    Loaded loaded = load("./pics/../pics/cat.png", rgba.rgba.size());
    ASSERT_TRUE(loaded.valid);
    EXPECT_EQ(loaded.width, 5);
    EXPECT_EQ(loaded.height, 3);
    EXPECT_EQ(loaded.bytes, rgba.rgba);
    EXPECT_EQ(host().heap().bytes_in_use(), 0u) << "the host buffer went back, the copy was released";

    PngImage rgb = put_png("rgb.png", 4, 4, false);
    loaded = load("/rgb.png", rgb.rgba.size());
    ASSERT_TRUE(loaded.valid) << "a leading '/' names the storage folder";
    EXPECT_EQ(loaded.bytes, rgb.rgba) << "images without alpha read as opaque";

    // Loaded pixels go straight into a window.
    PngImage png = put_png("tile.png", 2, 2);
    BaremetalWindow *w = createWindow("t", 4, 4);
    BaremetalImage image{};
    image.pixels = baremetal_load_raw_image("tile.png", &image.width, &image.height);
    ASSERT_NE(image.pixels, nullptr);
    pushImage(w, &image);
    free_(image.pixels);
    Capture c = capture(w);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            const uint8_t *p = &png.rgba[((y / 2) * 2 + x / 2) * 4];
            EXPECT_EQ(c.at(x, y), (Rgba{p[0], p[1], p[2], 255}));
        }
}

TEST_F(ImageFileTest, FailuresLeaveBothSizesZero) {
    put_png("a.png", 1, 1);
    std::ofstream(store() / "broken.png") << "\x89PNG\r\n\x1a\n not really";
    std::ofstream(store() / "text.png") << "hello";
    fs::create_directories(store() / "folder.png");
    for (const char *path : {(const char *)nullptr, "broken.png", "text.png", "folder.png", "missing.png", "/", "."}) {
        int width = 5, height = 5;
        EXPECT_EQ(baremetal_load_raw_image(path, &width, &height), nullptr) << (path ? path : "null");
        EXPECT_EQ(std::pair(width, height), std::pair(0, 0));
    }
    EXPECT_EQ(images().requests.size(), 6u) << "a null path reaches no host";
    host().set_entry(LM_ENTRY_PNG_DECODE_FILE, nullptr);
    int width = 5, height = 5;
    EXPECT_EQ(baremetal_load_raw_image("a.png", &width, &height), nullptr);
    EXPECT_EQ(std::pair(width, height), std::pair(0, 0));
    EXPECT_EQ(host().heap().bytes_in_use(), 0u);
}

TEST_F(ImageFileTest, TheHostNeverLooksOutsideItsStorageFolder) {
    // A real PNG right beside the store, and symbolic links inside it pointing out and in.
    PngImage outside;
    outside.width = outside.height = 1;
    outside.rgba = {1, 2, 3, 255};
    ASSERT_TRUE(write_png((root / "outside.png").string(), outside));
    ASSERT_TRUE(write_png((root / "pics" / "outside.png").string(), outside));
    put_png("inside.png", 1, 1);
    fs::create_symlink(root / "outside.png", store() / "link_out.png");
    fs::create_symlink(store() / "inside.png", store() / "link_in.png");
    fs::create_directory_symlink(root / "pics", store() / "dir_out");
    for (const char *path : {"../outside.png", "/../outside.png", "a/../../outside.png", "../pics/outside.png",
                             "link_out.png", "link_in.png", "dir_out/outside.png"}) {
        EXPECT_EQ(baremetal_load_raw_image(path, nullptr, nullptr), nullptr) << path;
    }
    const std::string absolute = (root / "outside.png").string();
    EXPECT_EQ(baremetal_load_raw_image(absolute.c_str(), nullptr, nullptr), nullptr)
        << "an absolute host path is taken inside the store";
    EXPECT_NE(baremetal_load_raw_image("inside.png", nullptr, nullptr), nullptr);
}

TEST_F(ImageFileTest, OversizedImagesAreRefusedByTheHost) {
    // A valid header claiming 100000 x 100000 pixels: 40 GB, more than the host heap.
    PngImage small;
    small.width = small.height = 1;
    small.rgba = {0, 0, 0, 255};
    ASSERT_TRUE(write_png((store() / "huge.png").string(), small));
    // The header chunk: length at 8, "IHDR" at 12, width and height at 16, CRC at 29.
    std::fstream file(store() / "huge.png", std::ios::in | std::ios::out | std::ios::binary);
    unsigned char chunk[17];
    file.seekg(12);
    file.read(reinterpret_cast<char *>(chunk), 17);
    const unsigned char size[8] = {0, 1, 0x86, 0xA0, 0, 1, 0x86, 0xA0};
    std::memcpy(chunk + 4, size, 8);
    uLong crc = crc32(crc32(0, nullptr, 0), chunk, 17);
    const unsigned char crc_bytes[4] = {static_cast<unsigned char>(crc >> 24), static_cast<unsigned char>(crc >> 16),
                                        static_cast<unsigned char>(crc >> 8), static_cast<unsigned char>(crc)};
    file.seekp(12);
    file.write(reinterpret_cast<const char *>(chunk), 17);
    file.write(reinterpret_cast<const char *>(crc_bytes), 4);
    file.close();
    EXPECT_EQ(baremetal_load_raw_image("huge.png", nullptr, nullptr), nullptr);
    EXPECT_EQ(host().heap().bytes_in_use(), 0u);
}

} // namespace
} // namespace lbw::test
