// The input object: its devices taken and released, the mouse mode, the
// keyboard refresh with the polling fallback, and the mouse read.
#include "input/input_internal.h"

#include <cstdint>

#include "core/engine.h"

// ---------------------------------------------------------------------------
// State

// Virtual key polled for each key number when there is no keyboard device.
// It follows a German layout (key 21 polls Z, key 44 polls Y).
static const struct {
    uint8_t key;
    uint8_t virtualKey;
} kPolledKeys[] = {
    {0, 13},    {1, 27},    {2, 49},    {3, 50},    {4, 51},    {5, 52},    {6, 53},
    {7, 54},    {8, 55},    {9, 56},    {10, 57},   {11, 48},   {12, 219},  {13, 221},
    {14, 8},    {15, 9},    {16, 81},   {17, 87},   {18, 69},   {19, 82},   {20, 84},
    {21, 90},   {22, 85},   {23, 73},   {24, 79},   {25, 80},   {26, 186},  {27, 187},
    {28, 13},   {29, 17},   {30, 65},   {31, 83},   {32, 68},   {33, 70},   {34, 71},
    {35, 72},   {36, 74},   {37, 75},   {38, 76},   {39, 192},  {40, 222},  {41, 220},
    {42, 16},   {43, 191},  {44, 89},   {45, 88},   {46, 67},   {47, 86},   {48, 66},
    {49, 78},   {50, 77},   {51, 188},  {52, 190},  {53, 189},  {54, 16},   {55, 106},
    {56, 18},   {57, 32},   {58, 0},    {59, 112},  {60, 113},  {61, 114},  {62, 115},
    {63, 116},  {64, 117},  {65, 118},  {66, 119},  {67, 120},  {68, 121},  {69, 144},
    {70, 145},  {71, 103},  {72, 104},  {73, 105},  {74, 109},  {75, 100},  {76, 101},
    {77, 102},  {78, 107},  {79, 97},   {80, 98},   {81, 99},   {82, 96},   {83, 110},
    {86, 226},  {87, 122},  {88, 123},  {156, 28},  {157, 17},  {181, 111}, {184, 18},
    {199, 36},  {200, 38},  {201, 33},  {203, 37},  {205, 39},  {207, 35},  {208, 40},
    {209, 34},  {210, 45},  {211, 46},  {219, 91},  {220, 92},  {221, 93},
};

// The cooperative levels of the mouse: exclusive and shared, both foreground.
constexpr int32_t kMouseExclusive = 5;
constexpr int32_t kMouseShared = 6;

// ---------------------------------------------------------------------------
// Internal helpers

static void FillPollingTable(InputDevices& in) {
    for (uint16_t& entry : in.keyTranslation) entry = 255;
    for (const auto& pair : kPolledKeys) in.keyTranslation[pair.key] = pair.virtualKey;
}

static void FillIdentityTable(InputDevices& in) {
    for (int key = 0; key < 256; ++key) in.keyTranslation[key] = (uint16_t)key;
}

static int16_t Sign(int value) { return (int16_t)(value > 0 ? 1 : (value < 0 ? -1 : 0)); }

static int16_t Clip16(int value) {
    if (value > 32767) return 32767;
    if (value < -32768) return -32768;
    return (int16_t)value;
}

// The runtime's mouse position holds whatever 32-bit value a script set, so
// sums and differences with it are taken in 64 bits and held to the range.
static int32_t Saturate(int64_t value) {
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return (int32_t)value;
}

// Movement measured from the system cursor: pinned at desktop (200, 200) and
// added to the runtime's mouse while hidden, followed while shown.
static void MeasureFromCursor(InputDevices& in, int& moveX, int& moveY) {
    int x, y;
    if (in.cursorShown == 0) {
        PlatformCursorScreenPosition(in.window, x, y);
        PlatformSetCursorScreenPosition(in.window, 200, 200);
        moveX = x - 200;
        moveY = y - 200;
        in.mouseX = Saturate((int64_t)in.mouseX + moveX);
        in.mouseY = Saturate((int64_t)in.mouseY + moveY);
    } else {
        PlatformCursorPosition(in.window, x, y);
        moveX = Saturate((int64_t)x - in.mouseX);
        moveY = Saturate((int64_t)y - in.mouseY);
        in.mouseX = x;
        in.mouseY = y;
    }
}

static void StoreMovement(InputDevices& in, MouseReading& reading, int moveX, int moveY, int wheel) {
    reading.moveX = Clip16(moveX);
    reading.moveY = Clip16(moveY);
    reading.wheel = (int16_t)wheel;
    in.lastMoveX = reading.moveX;
    in.lastMoveY = reading.moveY;
    in.lastWheel = reading.wheel;
}

// ---------------------------------------------------------------------------
// Public: life of the input object

InputDevices::InputDevices() { FillIdentityTable(*this); }

InputDevices::~InputDevices() {
    for (PlatformJoystick*& joystick : joystickDevices) {
        PlatformCloseJoystick(joystick);
        joystick = nullptr;
    }
}

void CreateInput() {
    if (!engine.input) engine.input = new InputDevices();
}

bool InitialiseInput(PlatformWindow* window, bool exclusive) {
    InputDevices* in = engine.input;
    if (!in) return false;
    in->directInput = PlatformInputOpen();
    if (!in->directInput) ErrorLogAppend("No DX_Input");

    in->window = window;
    int x, y;
    PlatformCursorPosition(window, x, y);
    in->mouseX = x;
    in->mouseY = y;

    if (!in->directInput) {
        EnumerateJoysticks();
        FillPollingTable(*in);
        in->keyboardDevice = false;
        // The program has no cursor of its own until the mouse mode shows one.
        PlatformShowCursor(in->cursorShown != 0);
        return true;
    }

    in->keyboardDevice = PlatformKeyboardAvailable();
    if (in->keyboardDevice) {
        if (!PlatformAcquireKeyboard()) ErrorLogAppend("No DX_KB");
        FillIdentityTable(*in);
    } else {
        FillPollingTable(*in);
    }

    in->cursorShown = 0;
    if (exclusive) {
        in->mouseDevice = PlatformMouseAvailable();
        if (in->mouseDevice) {
            in->mouseCooperation = kMouseExclusive;
            if (!PlatformAcquireMouse(window, true)) ErrorLogAppend("No DX_Mouse");
        }
    } else {
        in->cursorShown = 1;
        PlatformShowCursor(true);
    }

    EnumerateJoysticks();
    return true;
}

void InputSetWindow(PlatformWindow* window) {
    if (engine.input) engine.input->window = window;
}

void SetMouseMode(bool shown) {
    InputDevices* in = engine.input;
    if (!in) return;
    uint8_t wanted = shown ? 1 : 0;
    if (in->cursorShown == wanted) return;
    in->cursorShown = wanted;
    if (in->mouseDevice) {
        PlatformUnacquireMouse();
        in->mouseCooperation = shown ? kMouseShared : kMouseExclusive;
        PlatformAcquireMouse(in->window, !shown);
    }
    if (shown) {
        PlatformSetCursorPosition(in->window, in->mouseX, in->mouseY);
        PlatformShowCursor(true);
    } else if (!in->mouseDevice) {
        PlatformShowCursor(false);
    }
}

void DestroyInput() {
    InputDevices* in = engine.input;
    if (!in) return;
    // Shutdown destroys the screen object, and with it the window, first.
    if (!engine.screen || engine.screen->window != in->window) in->window = nullptr;
    SetMouseMode(true);
    PlatformUnacquireMouse();
    for (PlatformJoystick*& joystick : in->joystickDevices) {
        PlatformCloseJoystick(joystick);
        joystick = nullptr;
    }
    PlatformInputClose();
    delete in;
    engine.input = nullptr;
}

// ---------------------------------------------------------------------------
// Public: keyboard and mouse state

static void ReadKeys(InputDevices& in, KeyRead read) {
    // The state read and the changes filed from it come from one ask of the
    // window system.
    PlatformBatchEventReads(true);
    if (!in.keyboardDevice) {
        PlatformReadVirtualKeys(in.keyState);
    } else if (!PlatformReadKeyboard(in.keyState) && PlatformAcquireKeyboard()) {
        // A lost keyboard is taken again; if that fails too the last state stays.
        PlatformReadKeyboard(in.keyState);
    }
    FileKeyChanges(in, read);
    PlatformBatchEventReads(false);
}

void RefreshKeyboard() {
    if (engine.input) ReadKeys(*engine.input, KeyRead::Command);
}

void InputRefresh() {
    if (!engine.input) return;
    ReadKeys(*engine.input, KeyRead::Frame);
    engine.input->justRefreshed = 1;
}

bool InputKeyDown(int key) {
    InputDevices* in = engine.input;
    if (!in || key < 0 || key > 255) return false;
    if (in->keyboardDevice) return (in->keyState[key] & 0x80) != 0;
    // Without a keyboard device the refresh read the state by virtual key.
    uint16_t virtualKey = in->keyTranslation[key];
    return virtualKey < 256 && (in->keyState[virtualKey] & 0x80) != 0;
}

int ReadMouse(MouseReading& reading) {
    InputDevices* in = engine.input;
    reading = MouseReading();
    if (!in) return 1;
    if (!in->justRefreshed) {
        reading.moveX = in->lastMoveX;
        reading.moveY = in->lastMoveY;
        reading.wheel = in->lastWheel;
    }

    if (!in->mouseDevice) {
        if (in->justRefreshed) {
            in->justRefreshed = 0;
            int moveX, moveY;
            MeasureFromCursor(*in, moveX, moveY);
            StoreMovement(*in, reading, moveX, moveY, 0);
        }
        reading.left = PlatformVirtualKeyDown(1) ? 1 : 0;
        reading.right = PlatformVirtualKeyDown(2) ? 1 : 0;
        reading.middle = PlatformVirtualKeyDown(4) ? 1 : 0;
        return 1;
    }

    // A lost mouse is taken again; when that fails the reading is empty.
    bool exclusive = in->mouseCooperation == kMouseExclusive;
    PlatformMouseReading state;
    if (!PlatformReadMouse(state)) {
        if (!PlatformAcquireMouse(in->window, exclusive)) {
            PlatformAcquireMouse(in->window, exclusive);
            reading = MouseReading();
            return 0;
        }
        if (!PlatformReadMouse(state)) return 1;
    }
    if (in->justRefreshed) {
        in->justRefreshed = 0;
        int moveX = state.moveX, moveY = state.moveY;
        if (in->cursorShown == 0) {
            in->mouseX = Saturate((int64_t)in->mouseX + moveX);
            in->mouseY = Saturate((int64_t)in->mouseY + moveY);
        } else {
            MeasureFromCursor(*in, moveX, moveY);
        }
        StoreMovement(*in, reading, moveX, moveY, Sign(state.wheel));
    }
    reading.left = state.buttons[0];
    reading.right = state.buttons[1];
    reading.middle = state.buttons[2];
    return 1;
}
