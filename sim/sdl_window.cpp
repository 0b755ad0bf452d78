#include "sim/sdl_window.h"

#include "sim/key_words.h"
#include "simhost/display.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <thread>
#include <cstring>

namespace lbw::sim {

namespace {

// Mouse buttons as a PC mouse reports them: bit 0 left, bit 1 right, bit 2 middle.
uint32_t button_bit(uint8_t sdl_button) {
    switch (sdl_button) {
    case SDL_BUTTON_LEFT: return 1;
    case SDL_BUTTON_RIGHT: return 2;
    case SDL_BUTTON_MIDDLE: return 4;
    default: return 0;
    }
}

// The key word of a key without a character, or of Ctrl+letter; 0 for other keys
// (their characters arrive as text input).
uint32_t key_word_for_key(const SDL_KeyboardEvent &key) {
    SDL_Keycode code = key.keysym.sym;
    if ((key.keysym.mod & KMOD_CTRL) && code >= SDLK_a && code <= SDLK_z)
        return key_word_for_character(static_cast<unsigned char>(code - SDLK_a + 1));
    const char *name = nullptr;
    switch (code) {
    case SDLK_UP: name = "up"; break;
    case SDLK_DOWN: name = "down"; break;
    case SDLK_LEFT: name = "left"; break;
    case SDLK_RIGHT: name = "right"; break;
    case SDLK_ESCAPE: name = "esc"; break;
    case SDLK_RETURN: case SDLK_KP_ENTER: name = "enter"; break;
    case SDLK_BACKSPACE: name = "backspace"; break;
    case SDLK_DELETE: name = "delete"; break;
    case SDLK_TAB: name = "tab"; break;
    default: return 0;
    }
    return *key_word_for_name(name);
}

} // namespace

std::unique_ptr<SdlWindow> SdlWindow::open(const std::string &title, uint32_t width, uint32_t height,
                                           std::string &error) {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        error = SDL_GetError();
        return nullptr;
    }
    // SDL falls back to drivers that draw nowhere; those are no window.
    const char *driver = SDL_GetCurrentVideoDriver();
    if (!driver || std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0) {
        error = std::string("no screen to show a window on (video driver ") + (driver ? driver : "none") + ")";
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        SDL_Quit();
        return nullptr;
    }
    std::unique_ptr<SdlWindow> self(new SdlWindow);
    self->width_ = width;
    self->height_ = height;
    // A display larger than the screen is shown scaled down, proportions kept.
    int window_width = static_cast<int>(width), window_height = static_cast<int>(height);
    SDL_Rect usable;
    if (SDL_GetDisplayUsableBounds(0, &usable) == 0 && usable.w > 0 && usable.h > 0) {
        double scale = std::min({1.0, usable.w * 0.95 / width, usable.h * 0.9 / height});
        window_width = std::max(1, static_cast<int>(width * scale));
        window_height = std::max(1, static_cast<int>(height * scale));
    }
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
    self->window_ = SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, window_width,
                                     window_height, SDL_WINDOW_RESIZABLE);
    if (self->window_)
        self->renderer_ = SDL_CreateRenderer(self->window_, -1, 0);
    if (self->renderer_) {
        // Mouse positions then arrive in display pixels, whatever the window's size.
        SDL_RenderSetLogicalSize(self->renderer_, static_cast<int>(width), static_cast<int>(height));
        self->texture_ = SDL_CreateTexture(self->renderer_, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING,
                                           static_cast<int>(width), static_cast<int>(height));
    }
    if (!self->texture_) {
        error = SDL_GetError();
        return nullptr;
    }
    SDL_StartTextInput();
    SDL_SetRenderDrawColor(self->renderer_, 0, 0, 0, 255);
    SDL_RenderClear(self->renderer_);
    SDL_RenderPresent(self->renderer_);
    return self;
}

SdlWindow::~SdlWindow() {
    if (texture_)
        SDL_DestroyTexture(texture_);
    if (renderer_)
        SDL_DestroyRenderer(renderer_);
    if (window_)
        SDL_DestroyWindow(window_);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    SDL_Quit();
}

void SdlWindow::redraw() {
    SDL_RenderClear(renderer_);
    SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
}

void SdlWindow::show(const simhost::DisplayService &display) {
    // At most one frame per refresh of a 60 Hz screen: a program that draws in a tight
    // loop does not keep a processor busy for frames nobody can see.
    auto now = std::chrono::steady_clock::now();
    if (now < next_frame_)
        std::this_thread::sleep_until(next_frame_);
    next_frame_ = std::max(now, next_frame_) + std::chrono::microseconds(16667);
    if (display.width() == width_ && display.height() == height_) {
        const void *pixels = reinterpret_cast<const void *>(static_cast<uintptr_t>(display.description.address));
        SDL_UpdateTexture(texture_, nullptr, pixels, static_cast<int>(display.pitch()));
    }
    redraw();
    SDL_RenderPresent(renderer_);
}

RgbImage SdlWindow::read_back() {
    RgbImage image;
    int width = 0, height = 0;
    if (SDL_GetRendererOutputSize(renderer_, &width, &height) != 0 || width <= 0 || height <= 0)
        return image;
    image.width = static_cast<uint32_t>(width);
    image.height = static_cast<uint32_t>(height);
    image.rgb.resize(uint64_t{image.width} * image.height * 3);
    redraw();
    // Read from the whole output, not only the logical area.
    SDL_RenderSetLogicalSize(renderer_, 0, 0);
    SDL_RenderSetViewport(renderer_, nullptr);
    bool ok = SDL_RenderReadPixels(renderer_, nullptr, SDL_PIXELFORMAT_RGB24, image.rgb.data(), width * 3) == 0;
    SDL_RenderSetLogicalSize(renderer_, static_cast<int>(width_), static_cast<int>(height_));
    SDL_RenderPresent(renderer_);
    if (!ok)
        image = RgbImage{};
    return image;
}

void SdlWindow::pump(LiveInput &input) {
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        switch (event.type) {
        case SDL_QUIT:
            input.close_requests++;
            break;
        case SDL_WINDOWEVENT:
            if (event.window.event == SDL_WINDOWEVENT_EXPOSED || event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
                redraw();
                SDL_RenderPresent(renderer_);
            }
            break;
        case SDL_TEXTINPUT:
            for (const char *c = event.text.text; *c; c++)
                if (*c >= 0x20 && *c <= 0x7E)
                    input.keys.push_back(key_word_for_character(static_cast<unsigned char>(*c)));
            break;
        case SDL_KEYDOWN:
            if (uint32_t word = key_word_for_key(event.key))
                input.keys.push_back(word);
            break;
        case SDL_MOUSEMOTION:
            input.pointer.absolute_x = event.motion.x;
            input.pointer.absolute_y = event.motion.y;
            input.pointer_seen = true;
            if (input.last_change_is_motion)
                input.pointer_changes.back() = input.pointer;
            else if (!input.pointer_changes.empty())
                input.pointer_changes.push_back(input.pointer);
            input.last_change_is_motion = !input.pointer_changes.empty();
            break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            input.pointer.absolute_x = event.button.x;
            input.pointer.absolute_y = event.button.y;
            if (event.type == SDL_MOUSEBUTTONDOWN)
                input.pointer.buttons |= button_bit(event.button.button);
            else
                input.pointer.buttons &= ~button_bit(event.button.button);
            input.pointer_seen = true;
            input.pointer_changes.push_back(input.pointer);
            input.last_change_is_motion = false;
            break;
        default:
            break;
        }
    }
    input.pointer.flags = LM_POINTER_ABSOLUTE;
    input.pointer.range_x = width_ - 1;
    input.pointer.range_y = height_ - 1;
    for (auto &change : input.pointer_changes) {
        change.flags = LM_POINTER_ABSOLUTE;
        change.range_x = width_ - 1;
        change.range_y = height_ - 1;
    }
}

} // namespace lbw::sim
