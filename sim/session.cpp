#include "sim/session.h"

#include "sim/key_words.h"
#include "simhost/console.h"
#include "simhost/display.h"
#include "simhost/host.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace lbw::sim {

Session *Session::current_ = nullptr;

namespace {

bool has_screen() {
    const char *x11 = std::getenv("DISPLAY");
    const char *wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 && *x11) || (wayland && *wayland);
}

} // namespace

Session::Session(const Options &options, simhost::Host &host) : options_(options), host_(host) {
    std::string error;
    auto keys = parse_keys(options.keys, error);
    auto pointer = keys ? parse_pointer(options.pointer, error) : std::nullopt;
    if (!keys || !pointer)
        throw std::runtime_error(error);
    scripted_keys_ = std::move(*keys);
    scripted_pointer_ = std::move(*pointer);

    host.display().set_mode(options.display_width, options.display_height, simhost::kLayoutRgb888);
    host.set_entry(LM_ENTRY_QUERY_FRAMEBUFFER, &Session::host_query_framebuffer);
    host.set_entry(LM_ENTRY_POLL_KEY, &Session::host_poll_key);
    host.set_entry(LM_ENTRY_POLL_POINTER, &Session::host_poll_pointer);
    host.set_entry(LM_ENTRY_CREATE_WINDOW, &Session::host_create_window);
    host.set_entry(LM_ENTRY_DESTROY_WINDOW, &Session::host_destroy_window);
    host.set_entry(LM_ENTRY_READ_LINE, &Session::host_read_line);
    host.set_entry(LM_ENTRY_EXIT, &Session::host_exit);

    // Asked for a window: open it now, so that a missing screen is reported before the
    // program runs.
    if (options.display_mode == DisplayMode::window && !ensure_window())
        throw std::runtime_error("cannot open a window: " + error_);
    current_ = this;
}

Session::~Session() {
    current_ = nullptr;
}

bool Session::ensure_window() {
    if (window_)
        return true;
    if (window_tried_ || options_.display_mode == DisplayMode::headless)
        return false;
    window_tried_ = true;
    if (options_.display_mode == DisplayMode::automatic && !has_screen())
        return false;
    std::string title = "lorrinboot-sim: " + std::filesystem::path(options_.program).filename().string();
    window_ = SdlWindow::open(title, options_.display_width, options_.display_height, error_);
    if (!window_ && options_.display_mode == DisplayMode::automatic)
        std::fprintf(stderr, "lorrinboot-sim: no window (%s); running headless\n", error_.c_str());
    return window_ != nullptr;
}

bool Session::finish_present() {
    if (!present_pending_)
        return false;
    present_pending_ = false;
    presents_++;
    if (window_)
        window_->show(host_.display());
    if (options_.screenshot_every && presents_ % options_.screenshot_every == 0)
        screenshot(numbered_path(options_.screenshot, presents_));
    return options_.frames && presents_ >= options_.frames;
}

void Session::pump() {
    if (!window_)
        return;
    window_->pump(live_);
    // The first press of the window's close button asks the program to close, as Escape
    // does; a second one ends the simulation.
    if (live_.close_requests == 1 && !close_asked_) {
        close_asked_ = true;
        live_.keys.push_back(*key_word_for_name("esc"));
    } else if (live_.close_requests > 1) {
        std::fprintf(stderr, "lorrinboot-sim: window closed\n");
        stop(0);
    }
}

bool Session::screenshot(const std::string &path) {
    RgbImage image = window_ ? window_->read_back() : capture_display(host_.display());
    std::string error;
    if (!write_png(path, image, error)) {
        std::fprintf(stderr, "lorrinboot-sim: screenshot: %s\n", error.c_str());
        return false;
    }
    std::error_code ignored;
    std::fprintf(stderr, "lorrinboot-sim: screenshot written to %s\n",
                 std::filesystem::absolute(path, ignored).c_str());
    return true;
}

int Session::finish(int status) {
    finish_present();
    if (!options_.screenshot.empty() && !screenshot(options_.screenshot))
        status = 2;
    window_.reset();
    return status;
}

void Session::stop(int status) {
    std::fflush(stdout);
    if (options_.frames && presents_ >= options_.frames)
        std::fprintf(stderr, "lorrinboot-sim: stopped after %llu presents\n",
                     static_cast<unsigned long long>(presents_));
    status = finish(status);
    std::fflush(nullptr);
    std::exit(status);
}

// The entries the session watches: each first finishes a present that is pending.

int Session::host_query_framebuffer(LmBaremetalProgramFramebufferInfo *info) {
    Session &s = *current_;
    if (s.finish_present())
        s.stop(0);
    s.ensure_window();
    int result = simhost::DisplayService::host_query_framebuffer(info);
    s.present_pending_ = result != 0;
    return result;
}

// Scripted keys go one per round of polls (the library polls until it gets 0), so each
// frame sees the next one; keys of the window come all at once, as a keyboard's would.
uint32_t Session::host_poll_key() {
    Session &s = *current_;
    if (s.finish_present())
        s.stop(0);
    s.pump();
    if (s.key_round_done_) {
        s.key_round_done_ = false;
        return 0;
    }
    if (!s.scripted_keys_.empty()) {
        uint32_t word = s.scripted_keys_.front();
        s.scripted_keys_.pop_front();
        s.key_round_done_ = word != 0;
        return word;
    }
    if (!s.live_.keys.empty()) {
        uint32_t word = s.live_.keys.front();
        s.live_.keys.pop_front();
        return word;
    }
    return 0;
}

int Session::host_poll_pointer(LmBaremetalProgramPointerState *state) {
    Session &s = *current_;
    if (s.finish_present())
        s.stop(0);
    s.pump();
    if (!s.scripted_pointer_.empty()) {
        PointerEvent event = s.scripted_pointer_.front();
        s.scripted_pointer_.pop_front();
        if (!event.report)
            return 0;
        *state = {};
        state->flags = LM_POINTER_ABSOLUTE;
        state->buttons = event.buttons;
        state->absolute_x = event.x;
        state->absolute_y = event.y;
        state->range_x = s.options_.display_width - 1;
        state->range_y = s.options_.display_height - 1;
        return 1;
    }
    if (!s.live_.pointer_changes.empty()) {
        *state = s.live_.pointer_changes.front();
        s.live_.pointer_changes.pop_front();
        if (s.live_.pointer_changes.empty())
            s.live_.last_change_is_motion = false;
        return 1;
    }
    if (s.live_.pointer_seen) {
        *state = s.live_.pointer;
        return 1;
    }
    return 0;
}

void Session::host_create_window() {
    Session &s = *current_;
    if (s.finish_present())
        s.stop(0);
    s.ensure_window();
    simhost::DisplayService::host_create_window();
}

void Session::host_destroy_window() {
    Session &s = *current_;
    if (s.finish_present())
        s.stop(0);
    simhost::DisplayService::host_destroy_window();
}

int Session::host_read_line(char *buffer, uint32_t capacity, const char *text, uint32_t flag) {
    Session &s = *current_;
    if (s.finish_present())
        s.stop(0);
    return simhost::ConsoleService::host_read_line(buffer, capacity, text, flag);
}

// The program called exit: the simulation ends as it does when main returns the status.
void Session::host_exit(int32_t status) {
    current_->stop(status);
}

} // namespace lbw::sim
