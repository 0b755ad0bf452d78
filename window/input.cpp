// Keyboard and pointer input: the host's key words (characters, character-less scan
// codes and the escape sequences of a serial terminal) become latched key flags, and one
// pointer report per poll moves the active window's pointer.
#include "host/program_api.h"
#include "window/window.h"

#include <string.h>

// The key flags: 1 once their key was pressed since the last consumeKeyboardState.
unsigned char keyup, keydown, keyleft, keyright;
unsigned char keyreturn, keyback, keydelete, keyspace;
unsigned char keya, keyb, keyc, keyd, keye, keyf, keyg, keyh, keyi, keyj, keyk, keyl, keym;
unsigned char keyn, keyo, keyp, keyq, keyr, keys, keyt, keyu, keyv, keyw, keyx, keyy, keyz;
unsigned char key0, key1, key2, key3, key4, key5, key6, key7, key8, key9;
unsigned char keyminus, keyperiod;
// The last printable character received, with its case.
char keylastchar;

namespace lm {

// Where the terminal escape decoder stands; kept across polls, so that a sequence split
// between two polls is still decoded.
enum : uint32_t { kEscapeIdle = 0, kEscapeSeen = 1, kEscapeBracketSeen = 2 };
uint32_t gSerialEscapeState;

namespace {

// Digits at 0-9, letters at 10-35.
unsigned char *const kKeyTable[36] = {
    &key0, &key1, &key2, &key3, &key4, &key5, &key6, &key7, &key8, &key9,
    &keya, &keyb, &keyc, &keyd, &keye, &keyf, &keyg, &keyh, &keyi, &keyj, &keyk, &keyl, &keym,
    &keyn, &keyo, &keyp, &keyq, &keyr, &keys, &keyt, &keyu, &keyv, &keyw, &keyx, &keyy, &keyz,
};

unsigned char *const kOtherKeys[10] = {
    &keyup, &keydown, &keyleft, &keyright, &keyreturn, &keyback, &keydelete, &keyspace, &keyminus, &keyperiod,
};

void resetKeyState() {
    for (unsigned char *flag : kKeyTable)
        *flag = 0;
    for (unsigned char *flag : kOtherKeys)
        *flag = 0;
    keylastchar = 0;
}

void setLetterKey(char letter) {
    const uint8_t index = static_cast<uint8_t>(letter - 'a');
    if (index <= 25)
        *kKeyTable[10 + index] = 1;
}

void closeActiveWindow() {
    gActiveWindow->shouldClose = 1;
}

void characterStep(uint8_t ch) {
    if (gSerialEscapeState == kEscapeBracketSeen) {
        // ESC [ A ... ESC [ D: the cursor keys of a VT100-style terminal.
        gSerialEscapeState = kEscapeIdle;
        if (ch == 'A')
            keyup = 1;
        else if (ch == 'B')
            keydown = 1;
        else if (ch == 'C')
            keyright = 1;
        else if (ch == 'D')
            keyleft = 1;
        return;
    }
    if (gSerialEscapeState == kEscapeSeen) {
        // The character after a lone ESC is swallowed.
        gSerialEscapeState = ch == '[' ? kEscapeBracketSeen : kEscapeIdle;
        return;
    }
    if (ch == 0x1B) {
        gSerialEscapeState = kEscapeSeen;
        return;
    }
    if (ch >= 0x20 && ch <= 0x7E) {
        keylastchar = static_cast<char>(ch);
        if (ch >= 'a' && ch <= 'z')
            setLetterKey(static_cast<char>(ch));
        else if (ch >= 'A' && ch <= 'Z')
            setLetterKey(static_cast<char>(ch - 'A' + 'a'));
        else if (ch >= '0' && ch <= '9')
            *kKeyTable[ch - '0'] = 1;
        else if (ch == ' ')
            keyspace = 1;
        else if (ch == '-')
            keyminus = 1;
        else if (ch == '.')
            keyperiod = 1;
        return;
    }
    switch (ch) {
    case 0x03: // Ctrl-C
    case 0x04: // Ctrl-D
        closeActiveWindow();
        break;
    case 0x08:
    case 0x7F:
        keyback = 1;
        break;
    case 0x0A:
    case 0x0D:
        keyreturn = 1;
        break;
    default:
        break;
    }
}

// Make codes of PC scan code set 1.
void scanCodeStep(uint8_t sc) {
    switch (sc) {
    case 0x48: keyup = 1; break;
    case 0x4B: keyleft = 1; break;
    case 0x4D: keyright = 1; break;
    case 0x50: keydown = 1; break;
    case 0x53: keydelete = 1; break;
    case 0x01: closeActiveWindow(); break;
    case 0x0E: keyback = 1; break;
    case 0x1C: keyreturn = 1; break;
    default: break;
    }
}

// One keystroke word: character in bits 0-7, scan code in bits 8-15.
void decodeKeyWord(uint32_t word) {
    const uint8_t ch = static_cast<uint8_t>(word);
    const uint8_t sc = static_cast<uint8_t>(word >> 8);
    if (ch != 0) {
        characterStep(ch);
        // The Escape key only starts an escape sequence; it never closes the window.
        if ((word & 0xFFFF) == 0x011B)
            return;
    } else {
        // Scan codes of the UEFI simple text input protocol, for keys without a character.
        switch (sc) {
        case 0x01: keyup = 1; return;
        case 0x02: keydown = 1; return;
        case 0x03: keyright = 1; return;
        case 0x04: keyleft = 1; return;
        case 0x17: closeActiveWindow(); return;
        default: break;
        }
    }
    scanCodeStep(sc);
}

int32_t clampInto(int64_t value, int32_t size) {
    const int64_t last = (size > 1 ? size : 1) - 1;
    if (value < 0)
        return 0;
    return static_cast<int32_t>(value > last ? last : value);
}

// A host coordinate in pointer space [0, size - 1]. With a range, [0, range] is scaled
// onto it; without, the value is already in pointer space.
int32_t mapPointerCoordinate(int32_t value, uint32_t range, int32_t size) {
    if (size < 2)
        return 0;
    if (range != 0) {
        uint32_t v = value <= 0 ? 0 : static_cast<uint32_t>(value);
        if (v > range)
            v = range;
        return static_cast<int32_t>(static_cast<uint64_t>(size - 1) * v / range);
    }
    if (value < 0)
        return 0;
    return value < size - 1 ? value : size - 1;
}

void pollPointer(BaremetalWindow *window) {
    LmBaremetalProgramPointerState state;
    memset(&state, 0, sizeof state);
    if (host::poll_pointer(&state) == 0)
        return;
    if ((state.flags & LM_POINTER_RELATIVE) && (state.relative_x != 0 || state.relative_y != 0)) {
        // Summed in 64 bits and clamped: a large motion stops at the edge, never wraps.
        window->mouseX = clampInto(static_cast<int64_t>(window->mouseX) + state.relative_x, window->pointerWidth);
        window->mouseY = clampInto(static_cast<int64_t>(window->mouseY) + state.relative_y, window->pointerHeight);
    } else if (state.flags & LM_POINTER_ABSOLUTE) {
        window->mouseX = mapPointerCoordinate(state.absolute_x, state.range_x, window->pointerWidth);
        window->mouseY = mapPointerCoordinate(state.absolute_y, state.range_y, window->pointerHeight);
    }
    const uint8_t buttons = static_cast<uint8_t>(state.buttons);
    for (int i = 0; i < 3; ++i)
        window->mouseButtons[i] = (buttons >> i) & 1;
}

} // namespace

void clampMouse(BaremetalWindow *window) {
    if (!window)
        return;
    window->mouseX = clampInto(window->mouseX, window->pointerWidth);
    window->mouseY = clampInto(window->mouseY, window->pointerHeight);
}

} // namespace lm

using lm::gActiveWindow;

LM_EXPORT void updateKeyboardState() {
    if (!gActiveWindow) {
        // Keys stay queued at the host until there is a window to receive them.
        lm::resetKeyState();
        return;
    }
    // The entry is looked up again before every call: a host may withdraw its key
    // service between two keys, and the loop ends there as at the first zero word.
    while (const uint32_t word = lm::host::poll_key())
        lm::decodeKeyWord(word);
    lm::clampMouse(gActiveWindow);
    lm::pollPointer(gActiveWindow);
    lm::clampMouse(gActiveWindow);
}

LM_EXPORT void consumeKeyboardState() {
    lm::resetKeyState();
}

LM_EXPORT void getMousePosition(BaremetalWindow *window, int *x, int *y) {
    if (x)
        *x = window ? window->mouseX : -1;
    if (y)
        *y = window ? window->mouseY : -1;
}

LM_EXPORT bool getMouseButtonState(BaremetalWindow *window, int button) {
    if (!window || static_cast<unsigned>(button) > 2)
        return false;
    return window->mouseButtons[button] != 0;
}
