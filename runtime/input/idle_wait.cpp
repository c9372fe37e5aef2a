// The idle wait step of the waits: a few short passes that return as soon as
// any key, mouse change or joystick input is seen.
#include "input/input.h"

#include <cmath>

#include "core/engine.h"

// ---------------------------------------------------------------------------
// State

// The mouse as last seen by the idle wait: x, y, left and right button.
static double seenX = 0, seenY = 0, seenLeft = 0, seenRight = 0;

// ---------------------------------------------------------------------------
// Internal helpers

static bool AnyKeyDown() {
    for (int key = 0; key < 255; ++key) {
        if (InputKeyDown(key)) return true;
    }
    return false;
}

static bool MouseChanged() {
    double x, y, left, right;
    MouseState(x, y, left, right);
    if (x == seenX && y == seenY && left == seenLeft && right == seenRight) return false;
    seenX = x;
    seenY = y;
    seenLeft = left;
    seenRight = right;
    return true;
}

static bool JoystickActive() {
    InputDevices* in = engine.input;
    for (int n = in->joystickCount - 1; n >= 0; --n) {
        JoystickReading reading;
        ReadJoystick(n, reading);
        for (uint8_t button : reading.buttons) {
            if (button & 0x80) return true;
        }
        if (std::fabs(JoystickAxisUnit(reading.x)) > 0.1 || std::fabs(JoystickAxisUnit(reading.y)) > 0.1)
            return true;
        int32_t pov = reading.pov[0];
        if (pov == 9000 || pov == 27000 || pov == 0 || pov == 18000) return true;
    }
    return false;
}

// ---------------------------------------------------------------------------
// Public

void IdleWait() {
    if (!engine.input || !engine.screen) return;
    for (int pass = 0; pass < 8; ++pass) {
        // Each pass asks the window system for new events once.
        PlatformBatchEventReads(true);
        MessagePump(*engine.screen);
        InputRefresh();
        PlatformBatchEventReads(false);
        if (engine.escapeEndsProgram && (InputKeyDown(129) || InputKeyDown(1))) EndProgram();
        if (AnyKeyDown()) return;
        if (MouseChanged()) return;
        if (JoystickActive()) return;
        PlatformSleep(5);
    }
}
