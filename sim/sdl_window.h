// The display shown in a window of the desktop (SDL2), and the keyboard and mouse of
// that window as the host's input.
#pragma once

#include "libc/include/lorrinboot/window_host.h"
#include "sim/screenshot.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>

struct SDL_Window;
struct SDL_Renderer;
struct SDL_Texture;

namespace lbw::sim {

// What the window's keyboard and mouse did, waiting for the program's polls.
struct LiveInput {
    std::deque<uint32_t> keys; // key words
    // A report per button change, so that a click between two frames is not lost, and
    // after one the movement that follows it (merged into one report until the next
    // change), so that a drag keeps its path; `pointer` is the latest state, for polls
    // with nothing queued.
    std::deque<LmBaremetalProgramPointerState> pointer_changes;
    bool last_change_is_motion = false;
    LmBaremetalProgramPointerState pointer{};
    bool pointer_seen = false;
    unsigned close_requests = 0; // the window's close button
};

class SdlWindow {
public:
    // A window showing a `width` x `height` display (scaled down to fit the screen
    // when larger); null with `error` set when no window can be opened.
    static std::unique_ptr<SdlWindow> open(const std::string &title, uint32_t width, uint32_t height,
                                           std::string &error);
    ~SdlWindow();
    SdlWindow(const SdlWindow &) = delete;
    SdlWindow &operator=(const SdlWindow &) = delete;

    // Puts the display's current pixels (32-bit, red at bit 16) on the window.
    void show(const simhost::DisplayService &display);
    // Takes the window's pending events into `input`.
    void pump(LiveInput &input);
    // The pixels the window shows, at the size it shows them.
    RgbImage read_back();

private:
    SdlWindow() = default;
    void redraw();

    SDL_Window *window_ = nullptr;
    SDL_Renderer *renderer_ = nullptr;
    SDL_Texture *texture_ = nullptr;
    uint32_t width_ = 0, height_ = 0;
    std::chrono::steady_clock::time_point next_frame_{};
};

} // namespace lbw::sim
