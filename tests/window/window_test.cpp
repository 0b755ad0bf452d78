#include "tests/window/window_test.h"

namespace lbw::test {

const std::vector<std::string> kKeyFlags = [] {
    std::vector<std::string> names = {"keyup", "keydown", "keyleft", "keyright", "keyreturn",
                                      "keyback", "keydelete", "keyspace", "keyminus", "keyperiod"};
    for (char c = 'a'; c <= 'z'; ++c)
        names.push_back(std::string("key") + c);
    for (char c = '0'; c <= '9'; ++c)
        names.push_back(std::string("key") + c);
    return names;
}();

TestImage::TestImage(int width, int height, const std::function<Rgba(int x, int y)> &pixel) {
    bytes.resize(static_cast<size_t>(width) * height * 4);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            auto p = pixel(x, y);
            std::copy(p.begin(), p.end(), bytes.begin() + (static_cast<size_t>(y) * width + x) * 4);
        }
    record.width = width;
    record.height = height;
    record.pixels = bytes.data();
}

Rgba pattern(int x, int y) {
    return {static_cast<uint8_t>(x), static_cast<uint8_t>(y), static_cast<uint8_t>(((x >> 8) << 4) | ((y >> 8) & 15)),
            0};
}

void WindowTest::SetUp() {
    LibraryTest::SetUp();
#define LBW_BIND(name) name = fn<std::remove_pointer_t<decltype(name)>>(#name);
    LBW_WINDOW_API(LBW_BIND)
#undef LBW_BIND
    free_ = fn<void(void *)>("free");
}

std::vector<std::string> WindowTest::set_keys() {
    std::vector<std::string> names;
    for (const auto &name : kKeyFlags)
        if (key(name))
            names.push_back(name);
    return names;
}

Capture WindowTest::capture(BaremetalWindow *window) {
    Capture result;
    BaremetalImage *image = captureWindow(window);
    if (!image)
        return result;
    result.valid = true;
    result.width = image->width;
    result.height = image->height;
    result.pixels.assign(image->pixels, image->pixels + static_cast<size_t>(image->width) * image->height * 4);
    result.reserved[0] = image->reserved[0];
    result.reserved[1] = image->reserved[1];
    free_(image->pixels);
    free_(image);
    return result;
}

std::string WindowTest::title(BaremetalWindow *window) {
    char *copy = getWindowTitle(window);
    std::string text = copy;
    free_(copy);
    return text;
}

} // namespace lbw::test
