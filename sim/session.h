// One run of a program as the simulator's user sees it: the display shown in a window
// or kept headless, screenshots, scripted and live input, and the frame limit.
//
// The library presents by asking for the display (query_framebuffer) and then writing
// the display memory itself, without telling the host when it is done. A present is
// therefore taken as finished at the program's next call of a host service that comes
// after drawing (polling input, asking for the display again, creating or destroying a
// window, reading a console line) or when the program ends; only presents write the display,
// so what is shown then is exactly what the present drew.
#pragma once

#include "sim/options.h"
#include "sim/scripted_input.h"
#include "sim/sdl_window.h"
#include "simhost/host.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <string>

namespace lbw::sim {

class Session {
public:
    // Sets up the host's display and replaces the entries the session watches. Throws
    // std::runtime_error when a script is malformed.
    Session(const Options &options, simhost::Host &host);
    ~Session();
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    // The program ended with `status`: finishes its last present, writes the final
    // screenshot and closes the window. Returns the simulator's exit status (2 when the
    // screenshot could not be written).
    int finish(int status);

    uint64_t presents() const { return presents_; }

private:
    static Session *current_;

    static int host_query_framebuffer(LmBaremetalProgramFramebufferInfo *info);
    static uint32_t host_poll_key();
    static int host_poll_pointer(LmBaremetalProgramPointerState *state);
    static void host_create_window();
    static void host_destroy_window();
    static int host_read_line(char *buffer, uint32_t capacity, const char *text, uint32_t flag);
    [[noreturn]] static void host_exit(int32_t status);

    // Opens the window on first need, unless headless; false when none is shown.
    bool ensure_window();
    // Counts a pending present, shows it and takes its screenshot; true when it was
    // the last one the frame limit allows.
    bool finish_present();
    void pump();
    bool screenshot(const std::string &path);
    [[noreturn]] void stop(int status);

    Options options_;
    simhost::Host &host_;
    std::deque<uint32_t> scripted_keys_;
    std::deque<PointerEvent> scripted_pointer_;
    bool key_round_done_ = false; // a scripted key was given in this round of polls
    std::unique_ptr<SdlWindow> window_;
    bool window_tried_ = false;
    std::string error_; // why the window did not open
    bool close_asked_ = false;
    LiveInput live_;
    bool present_pending_ = false;
    uint64_t presents_ = 0;
};

} // namespace lbw::sim
