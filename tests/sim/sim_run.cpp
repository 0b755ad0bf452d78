#include "tests/sim/sim_run.h"

#include <gtest/gtest.h>
#include <png.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace lbw::test {

std::string slurp(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string shell_quoted(const std::string &text) {
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

std::string fresh_folder(const std::string &name) {
    static int count = 0;
    std::string path = ::testing::TempDir() + "/" + name + "_" + std::to_string(getpid()) + "_" +
                       std::to_string(count++);
    std::filesystem::remove_all(path);
    std::filesystem::create_directories(path);
    return path;
}

SimRun simulate(const std::string &arguments, const std::string &input, const std::string &environment) {
    // Tests run in parallel: each simulation gets files of its own.
    std::string dir = fresh_folder("sim");
    std::string in_path = dir + "/in", out_path = dir + "/out", err_path = dir + "/err";
    std::ofstream(in_path) << input;
    std::string command = environment + " " + std::string(LBW_SIMULATOR) + " " + arguments + " <" + in_path + " >" +
                          out_path + " 2>" + err_path;
    int raw = std::system(command.c_str());
    SimRun run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = slurp(out_path);
    run.err = slurp(err_path);
    std::filesystem::remove_all(dir);
    return run;
}

uint32_t Png::at(uint32_t x, uint32_t y) const {
    const uint8_t *p = &rgb[(uint64_t{y} * width + x) * 3];
    return uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2];
}

Png read_png(const std::string &path) {
    Png png;
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return png;
    image.format = PNG_FORMAT_RGB;
    png.rgb.resize(PNG_IMAGE_SIZE(image));
    png.ok = png_image_finish_read(&image, nullptr, png.rgb.data(), 0, nullptr);
    png.width = image.width;
    png.height = image.height;
    png_image_free(&image);
    return png;
}

} // namespace lbw::test
