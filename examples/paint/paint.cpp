// paint: a small drawing program on the window API.
//
// The left mouse button paints with the chosen tool, the right one erases; the arrow
// keys move a cross-hair cursor and Space paints there. Keys 1 to 4 choose a tool, C
// clears the canvas, Escape closes. Each frame the canvas, a tool bar and the cursor are
// drawn into an image that is pushed to the window.
#include <lorrinboot.h>
#include <stdio.h>
#include <string.h>

namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 180;
constexpr int kToolBarHeight = 14;
constexpr int kCursorStep = 4;

struct Colour {
    unsigned char red, green, blue;
};

constexpr Colour kPaper{250, 248, 240};
constexpr Colour kInk{20, 20, 28};

void say(const char *text) {
    lm_lua_write(text, strlen(text));
    lm_lua_writeline();
}

// Pixels in the window's layout: 4 bytes each (red, green, blue, alpha), rows top to
// bottom. Writes outside the image are dropped, so tools can paint over the edge.
class Image {
public:
    Image(int width, int height) : width_(width), height_(height), pixels_(new unsigned char[width * height * 4]) {}
    ~Image() { delete[] pixels_; }
    Image(const Image &) = delete;
    Image &operator=(const Image &) = delete;

    int width() const { return width_; }
    int height() const { return height_; }
    bool contains(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }

    void set(int x, int y, Colour c) {
        if (!contains(x, y))
            return;
        unsigned char *p = pixels_ + (y * width_ + x) * 4;
        p[0] = c.red;
        p[1] = c.green;
        p[2] = c.blue;
        p[3] = 255;
    }
    void fill_rect(int x, int y, int w, int h, Colour c) {
        for (int row = y; row < y + h; row++)
            for (int col = x; col < x + w; col++)
                set(col, row, c);
    }
    void copy_from(const Image &other) { memcpy(pixels_, other.pixels_, width_ * height_ * 4); }
    BaremetalImage view() { return BaremetalImage{width_, height_, pixels_, {0, 0}}; }

private:
    int width_, height_;
    unsigned char *pixels_;
};

// What a mouse button or the Space key does at a point of the canvas.
class Tool {
public:
    virtual ~Tool() = default;
    virtual const char *name() const = 0;
    virtual void apply(Image &canvas, int x, int y) const = 0;
};

// A round brush of one colour.
class Brush : public Tool {
public:
    Brush(const char *name, Colour colour, int radius) : name_(name), colour_(colour), radius_(radius) {}
    const char *name() const override { return name_; }
    Colour colour() const { return colour_; }
    void apply(Image &canvas, int x, int y) const override {
        for (int dy = -radius_; dy <= radius_; dy++)
            for (int dx = -radius_; dx <= radius_; dx++)
                if (dx * dx + dy * dy <= radius_ * radius_ + radius_)
                    canvas.set(x + dx, y + dy, colour_);
    }

private:
    const char *name_;
    Colour colour_;
    int radius_;
};

// A wide brush in the paper's colour.
class Eraser : public Brush {
public:
    Eraser() : Brush("eraser", kPaper, 5) {}
};

// A small star, whatever the stroke.
class Stamp : public Tool {
public:
    const char *name() const override { return "star stamp"; }
    void apply(Image &canvas, int x, int y) const override {
        constexpr Colour kGold{235, 170, 20};
        for (int i = -4; i <= 4; i++) {
            canvas.set(x + i, y, kGold);
            canvas.set(x, y + i, kGold);
            if (i >= -2 && i <= 2) {
                canvas.set(x + i, y + i, kGold);
                canvas.set(x + i, y - i, kGold);
            }
        }
    }
};

// Asking for a tool that is not there.
class PaintError {
public:
    virtual ~PaintError() = default;
    virtual void explain(char *text, size_t size) const = 0;
};

class NoSuchTool : public PaintError {
public:
    explicit NoSuchTool(int key) : key_(key) {}
    void explain(char *text, size_t size) const override { snprintf(text, size, "paint: no tool on key %d", key_); }

private:
    int key_;
};

// The tools on keys 1 to 4; the eraser lives on the right mouse button.
class ToolBox {
public:
    ToolBox()
        : red_("red brush", {220, 40, 40}, 2), blue_("blue brush", {40, 80, 220}, 2),
          green_("fat green brush", {40, 170, 60}, 4), chosen_(&red_) {}

    const Tool &chosen() const { return *chosen_; }
    const Tool &eraser() const { return eraser_; }

    // The tool on digit key `key`; throws NoSuchTool for a digit without one.
    const Tool &choose(int key) {
        const Tool *tools[] = {&red_, &blue_, &green_, &stamp_};
        if (key < 1 || key > 4)
            throw NoSuchTool(key);
        chosen_ = tools[key - 1];
        return *chosen_;
    }

    // The tool bar: one swatch per tool, the chosen one framed.
    void draw_bar(Image &frame) const {
        const Tool *tools[] = {&red_, &blue_, &green_, &stamp_};
        frame.fill_rect(0, 0, frame.width(), kToolBarHeight, {60, 60, 70});
        for (int i = 0; i < 4; i++) {
            int x = 4 + i * 16;
            if (tools[i] == chosen_)
                frame.fill_rect(x - 2, 1, 14, 12, {255, 255, 255});
            // Brushes show their colour; any other tool draws its own mark.
            if (const Brush *brush = dynamic_cast<const Brush *>(tools[i])) {
                frame.fill_rect(x, 3, 10, 8, brush->colour());
            } else {
                frame.fill_rect(x, 3, 10, 8, kPaper);
                tools[i]->apply(frame, x + 5, 7);
            }
        }
    }

private:
    Brush red_, blue_, green_;
    Stamp stamp_;
    Eraser eraser_;
    const Tool *chosen_;
};

// Applies `tool` at every point of the line from (x0, y0) to (x1, y1).
void stroke(Image &canvas, const Tool &tool, int x0, int y0, int x1, int y1) {
    int dx = x1 > x0 ? x1 - x0 : x0 - x1, dy = y1 > y0 ? y0 - y1 : y1 - y0;
    int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1, error = dx + dy;
    for (;;) {
        tool.apply(canvas, x0, y0);
        if (x0 == x1 && y0 == y1)
            return;
        int twice = 2 * error;
        if (twice >= dy) {
            error += dy;
            x0 += sx;
        }
        if (twice <= dx) {
            error += dx;
            y0 += sy;
        }
    }
}

void draw_cursor(Image &frame, int x, int y) {
    for (int i = 3; i <= 6; i++) {
        frame.set(x - i, y, kInk);
        frame.set(x + i, y, kInk);
        frame.set(x, y - i, kInk);
        frame.set(x, y + i, kInk);
    }
}

int clamp(int value, int low, int high) {
    return value < low ? low : value > high ? high : value;
}

// Which digit key was pressed this frame, or -1.
int digit_pressed() {
    const unsigned char *digits[] = {&key0, &key1, &key2, &key3, &key4, &key5, &key6, &key7, &key8, &key9};
    for (int d = 0; d < 10; d++)
        if (*digits[d])
            return d;
    return -1;
}

} // namespace

int main() {
    say("paint: left button paints, right button erases, arrows and Space paint at the cursor,");
    say("paint: keys 1-4 choose a tool, C clears, Escape closes");

    BaremetalWindow *window = createWindow("paint", kWidth, kHeight);
    Image canvas(kWidth, kHeight), frame(kWidth, kHeight);
    canvas.fill_rect(0, 0, kWidth, kHeight, kPaper);
    ToolBox tools;
    int cursor_x = kWidth / 2, cursor_y = kHeight / 2;
    int last_x = -1, last_y = -1, strokes = 0, frames = 0;
    bool was_down = false;
    char text[96];

    while (!windowShouldClose(window)) {
        updateWindow(window);
        frames++;

        int digit = digit_pressed();
        if (digit >= 0) {
            try {
                snprintf(text, sizeof text, "paint: %s", tools.choose(digit).name());
            } catch (const PaintError &error) {
                error.explain(text, sizeof text);
            }
            say(text);
        }
        if (keyc)
            canvas.fill_rect(0, 0, kWidth, kHeight, kPaper);
        cursor_x = clamp(cursor_x + (keyright - keyleft) * kCursorStep, 0, kWidth - 1);
        cursor_y = clamp(cursor_y + (keydown - keyup) * kCursorStep, kToolBarHeight, kHeight - 1);
        if (keyspace)
            tools.chosen().apply(canvas, cursor_x, cursor_y);

        int x, y;
        getMousePosition(window, &x, &y);
        bool paint = getMouseButtonState(window, 0), erase = getMouseButtonState(window, 1);
        if ((paint || erase) && y >= kToolBarHeight) {
            const Tool &tool = paint ? tools.chosen() : tools.eraser();
            if (!was_down) {
                strokes++;
                last_x = x;
                last_y = y;
            }
            stroke(canvas, tool, last_x, last_y, x, y);
        }
        was_down = (paint || erase) && y >= kToolBarHeight;
        last_x = x;
        last_y = y;

        frame.copy_from(canvas);
        tools.draw_bar(frame);
        draw_cursor(frame, cursor_x, cursor_y);
        BaremetalImage image = frame.view();
        pushImage(window, &image);
        consumeKeyboardState();
    }
    destroyWindow(window);
    snprintf(text, sizeof text, "paint: closed after %d frames and %d strokes", frames, strokes);
    say(text);
    return 0;
}
