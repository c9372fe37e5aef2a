// Mouse commands: the clamped mouse state, axes and wheel, the runtime's mouse
// position, the pointer's visibility, buttons and the mouse wait.
#include "input/input.h"

#include "core/engine.h"
#include "strings/script_numbers.h"

// ---------------------------------------------------------------------------
// Internal helpers

// The low bound last, so an empty screen leaves the mouse at 0.
static int32_t Clamp(int32_t value, int32_t low, int32_t high) {
    if (value > high) value = high;
    if (value < low) value = low;
    return value;
}

// ---------------------------------------------------------------------------
// Public

void MouseState(double& x, double& y, double& left, double& right) {
    MouseReading reading;
    ReadMouse(reading);
    InputDevices* in = engine.input;
    x = y = 0;
    if (in) {
        int32_t width = engine.screen ? engine.screen->width : 0;
        int32_t height = engine.screen ? engine.screen->height : 0;
        in->mouseX = Clamp(in->mouseX, 0, width - 1);
        in->mouseY = Clamp(in->mouseY, 0, height - 1);
        x = in->mouseX;
        y = in->mouseY;
    }
    left = reading.left != 0 ? 1.0 : 0.0;
    right = reading.right != 0 ? 1.0 : 0.0;
}

double MouseAxis(double n) {
    MouseReading reading;
    ReadMouse(reading);
    switch (TruncateToInt(n)) {
    case 0: return reading.moveX;
    case 1: return reading.moveY;
    case 2: return reading.wheel;
    case 3: return reading.left != 0 ? 1.0 : 0.0;
    case 4: return reading.right != 0 ? 1.0 : 0.0;
    case 5: return reading.middle != 0 ? 1.0 : 0.0;
    default: return 0.0;
    }
}

void SetMousePosition(double x, double y) {
    if (!engine.input) return;
    engine.input->mouseX = TruncateToInt(x);
    engine.input->mouseY = TruncateToInt(y);
}

void ShowPointer(double shown) { SetMouseMode(shown != 0.0); }

int AnyMouseButton() {
    MouseReading reading;
    ReadMouse(reading);
    return (reading.left != 0 || reading.right != 0 || reading.middle != 0) ? 1 : 0;
}

void MouseWait() {
    if (!engine.input || !engine.screen) return;
    while (AnyMouseButton()) {
    }
    if (AnyMouseButton()) return;
    do {
        IdleWait();
    } while (!AnyMouseButton());
}
