// The input devices of the layer: keyboard and mouse taken and read from the
// state that events feed, the polling path by virtual key, and the cursor.
#include "platform/platform.h"
#include "platform/sdl_input_internal.h"
#include "platform/sdl_internal.h"

#include <algorithm>
#include <cstdint>
#include <limits>

// ---------------------------------------------------------------------------
// State

static bool keyboardAcquired = false;
static bool mouseAcquired = false;

// ---------------------------------------------------------------------------
// Internal helpers

static SDL_Window* Sdl(PlatformWindow* window) { return SdlWindow(window); }

static bool Fault(unsigned flag) { return (SdlInput().faults & flag) != 0; }

// Moving the real cursor only makes sense with a display; the offscreen
// driver would answer a warp with a made-up motion event.
static bool CanWarp() { return SDL_WasInit(SDL_INIT_VIDEO) && !PlatformIsHeadless(); }

static void WindowOrigin(PlatformWindow* window, int& x, int& y) {
    int w, h;
    x = y = 0;
    if (window && !PlatformGetWindowRect(window, x, y, w, h)) x = y = 0;
}

// The polling path's answer for one virtual-key code, from the current state.
static bool VirtualDown(int virtualKey) {
    const SdlInputState& s = SdlInput();
    switch (virtualKey) {
    case 1: return (s.buttons & 1u) != 0;
    case 2: return (s.buttons & 2u) != 0;
    case 4: return (s.buttons & 4u) != 0;
    case 5: return (s.buttons & 8u) != 0;
    case 6: return (s.buttons & 16u) != 0;
    default: break;
    }
    int keys[2] = {0, 0};
    int n = SdlVirtualKeyToKeys(virtualKey, keys);
    for (int i = 0; i < n; ++i) {
        if (keys[i] > 0 && keys[i] < 256 && s.keys[keys[i]]) return true;
    }
    return false;
}

// ---------------------------------------------------------------------------
// Public: life of the devices

bool PlatformInputOpen() {
    if (Fault(kInputFaultNoInputSystem)) return false;
    return true;
}

void PlatformInputClose() {
    PlatformUnacquireMouse();
    keyboardAcquired = false;
    SdlJoysticksDown();
}

bool PlatformKeyboardAvailable() { return !Fault(kInputFaultNoKeyboard); }
bool PlatformMouseAvailable() { return true; }

void PlatformSimulateInputFaults(unsigned faults) { SdlInput().faults = faults; }

// ---------------------------------------------------------------------------
// Public: keyboard

bool PlatformAcquireKeyboard() {
    keyboardAcquired = !Fault(kInputFaultKeyboardAcquire);
    return keyboardAcquired;
}

bool PlatformReadKeyboard(uint8_t state[256]) {
    SdlDrainInputEvents();
    if (!keyboardAcquired) return false;
    const SdlInputState& s = SdlInput();
    for (int key = 0; key < 256; ++key) state[key] = s.keys[key] ? 0x80 : 0;
    return true;
}

bool PlatformVirtualKeyDown(int virtualKey) {
    SdlDrainInputEvents();
    return VirtualDown(virtualKey);
}

void PlatformReadVirtualKeys(uint8_t state[256]) {
    SdlDrainInputEvents();
    for (int code = 0; code < 256; ++code) state[code] = VirtualDown(code) ? 0x80 : 0;
}

// ---------------------------------------------------------------------------
// Public: mouse and cursor

bool PlatformAcquireMouse(PlatformWindow*, bool exclusive) {
    if (Fault(kInputFaultMouseAcquire)) {
        mouseAcquired = false;
        return false;
    }
    if (SDL_WasInit(SDL_INIT_VIDEO)) {
        // Relative mode is missing on some drivers; the movement then still
        // comes from the motion events, with the cursor merely hidden.
        if (SDL_SetRelativeMouseMode(exclusive ? SDL_TRUE : SDL_FALSE) != 0 || !exclusive)
            SDL_ShowCursor(exclusive ? SDL_DISABLE : SDL_ENABLE);
    }
    if (!mouseAcquired) {
        // Movement from before the mouse was taken is not the program's.
        SdlInputState& s = SdlInput();
        s.moveX = s.moveY = s.wheel = 0;
    }
    mouseAcquired = true;
    return true;
}

void PlatformUnacquireMouse() {
    if (mouseAcquired && SDL_WasInit(SDL_INIT_VIDEO)) SDL_SetRelativeMouseMode(SDL_FALSE);
    mouseAcquired = false;
}

bool PlatformReadMouse(PlatformMouseReading& reading) {
    SdlDrainInputEvents();
    if (!mouseAcquired) return false;
    SdlInputState& s = SdlInput();
    reading.moveX = s.moveX;
    reading.moveY = s.moveY;
    reading.wheel = s.wheel;
    s.moveX = s.moveY = s.wheel = 0;
    reading.buttons[0] = (s.buttons & 1u) ? 0x80 : 0;
    reading.buttons[1] = (s.buttons & 2u) ? 0x80 : 0;
    reading.buttons[2] = (s.buttons & 4u) ? 0x80 : 0;
    return true;
}

// Window origin plus a position the script may have set anywhere in the
// 32-bit range: the sum is taken in 64 bits and held to the range.
static int ClampToInt(int64_t value) {
    return (int)std::clamp<int64_t>(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
}

void PlatformCursorPosition(PlatformWindow*, int& x, int& y) {
    SdlDrainInputEvents();
    x = SdlInput().cursorX;
    y = SdlInput().cursorY;
}

void PlatformCursorScreenPosition(PlatformWindow* window, int& x, int& y) {
    SdlDrainInputEvents();
    int ox, oy;
    WindowOrigin(window, ox, oy);
    x = ClampToInt((int64_t)ox + SdlInput().cursorX);
    y = ClampToInt((int64_t)oy + SdlInput().cursorY);
}

void PlatformSetCursorPosition(PlatformWindow* window, int x, int y) {
    SdlDrainInputEvents();
    SdlInput().cursorX = x;
    SdlInput().cursorY = y;
    if (window && CanWarp()) SDL_WarpMouseInWindow(Sdl(window), x, y);
}

void PlatformSetCursorScreenPosition(PlatformWindow* window, int x, int y) {
    int ox, oy;
    WindowOrigin(window, ox, oy);
    PlatformSetCursorPosition(window, ClampToInt((int64_t)x - ox), ClampToInt((int64_t)y - oy));
}

void PlatformShowCursor(bool shown) {
    if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_ShowCursor(shown ? SDL_ENABLE : SDL_DISABLE);
}
