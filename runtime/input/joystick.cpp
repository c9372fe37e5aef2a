// Joysticks: up to 10 devices taken at start-up, the polling service for
// joysticks 0 and 1 without one, the reading commands and force feedback.
#include "input/input.h"

#include <cmath>
#include <cstring>
#include <string>

#include "core/engine.h"
#include "strings/script_numbers.h"

// ---------------------------------------------------------------------------
// Internal helpers

static void StoreName(char* record, const std::string& name) {
    size_t n = name.size() < kJoystickNameSize - 1 ? name.size() : kJoystickNameSize - 1;
    std::memcpy(record, name.data(), n);
    record[n] = 0;
}

static void FromPlatform(const PlatformJoystickState& state, JoystickReading& reading) {
    reading.x = state.axes[0];
    reading.y = state.axes[1];
    reading.z = state.axes[2];
    reading.rotationX = state.axes[3];
    reading.rotationY = state.axes[4];
    reading.rotationZ = state.axes[5];
    reading.sliders[0] = state.sliders[0];
    reading.sliders[1] = state.sliders[1];
    for (int i = 0; i < 4; ++i) reading.pov[i] = state.hats[i];
    std::memcpy(reading.buttons, state.buttons, sizeof reading.buttons);
}

// The polling service reports x, y, z, one hat and eight buttons.
static void FromPollingService(const PlatformJoystickState& state, JoystickReading& reading) {
    reading = JoystickReading();
    reading.x = state.axes[0];
    reading.y = state.axes[1];
    reading.z = state.axes[2];
    reading.pov[0] = state.hats[0];
    for (int i = 0; i < 8; ++i) reading.buttons[i] = state.buttons[i];
}

static int JoystickNumber(double n) { return TruncateToInt(n); }

static PlatformJoystick* Device(int n) {
    InputDevices* in = engine.input;
    if (!in || n < 0 || n >= kMaxJoysticks) return nullptr;
    return in->joystickDevices[n];
}

static JoystickReading Read(double n) {
    JoystickReading reading;
    ReadJoystick(JoystickNumber(n), reading);
    return reading;
}

static double Limit(double value) {
    if (value > 1.0) return 1.0;
    if (value < -1.0) return -1.0;
    return value;
}

// ---------------------------------------------------------------------------
// Public

void EnumerateJoysticks() {
    InputDevices* in = engine.input;
    if (!in) return;
    for (auto& name : in->joystickNames) name[0] = 0;
    if (!in->directInput) {
        in->joystickCount = PlatformJoystickCount();
        for (int i = 0; i < in->joystickCount && i < kMaxJoysticks; ++i)
            StoreName(in->joystickNames[i], PlatformJoystickIndexName(i));
        return;
    }
    int stored = 0;
    int attached = PlatformJoystickCount();
    for (int i = 0; i < attached && stored < kMaxJoysticks; ++i) {
        PlatformJoystick* joystick = PlatformOpenJoystick(i);
        if (!joystick) continue;
        in->joystickDevices[stored] = joystick;
        StoreName(in->joystickNames[stored], PlatformJoystickInstanceName(joystick) + ", " +
                                                 PlatformJoystickProductName(joystick));
        ++stored;
    }
    in->joystickCount = stored;
}

int ReadJoystick(int n, JoystickReading& reading) {
    PlatformJoystickState state;
    if (PlatformJoystick* joystick = Device(n)) {
        if (PlatformReadJoystick(joystick, state)) FromPlatform(state, reading);
        return 1;
    }
    if (n == 0 || n == 1) {
        if (PlatformReadJoystickIndex(n, state)) FromPollingService(state, reading);
        else reading = JoystickReading();
        return 1;
    }
    return 0;
}

double JoystickAxisUnit(int32_t raw) { return Limit(raw / 32767.0); }

double JoystickAxis(double n, int axis) {
    JoystickReading reading = Read(n);
    switch (axis) {
    case 0: return JoystickAxisUnit(reading.x);
    case 1: return JoystickAxisUnit(reading.y);
    case 2: return JoystickAxisUnit(reading.z);
    case 3: return JoystickAxisUnit(reading.rotationX);
    case 4: return JoystickAxisUnit(reading.rotationY);
    case 5: return JoystickAxisUnit(reading.rotationZ);
    default: return 0.0;
    }
}

double JoystickHatX(double n) {
    int32_t pov = Read(n).pov[0];
    return pov == 9000 ? 1.0 : (pov == 27000 ? -1.0 : 0.0);
}

double JoystickHatY(double n) {
    int32_t pov = Read(n).pov[0];
    return pov == 0 ? -1.0 : (pov == 18000 ? 1.0 : 0.0);
}

void JoystickDigital(double& x, double& y, double& button1, double& button2) {
    JoystickReading reading = Read(0);
    x = reading.x / 30000;
    y = reading.y / 30000;
    button1 = reading.buttons[0];
    button2 = reading.buttons[1];
}

RuntimeString JoystickName(double n) {
    int number = JoystickNumber(n);
    InputDevices* in = engine.input;
    if (!in || number < 0 || number >= kMaxJoysticks) return RuntimeString();
    return RuntimeString(in->joystickNames[number]);
}

double JoystickCount() { return engine.input ? engine.input->joystickCount : 0; }

void JoystickForce(double n, double duration, double x, double y) {
    PlatformJoystick* joystick = Device(JoystickNumber(n));
    if (!joystick || !PlatformJoystickHasForce(joystick)) return;
    x = Limit(x);
    y = Limit(y);
    // NaN limits to nothing; it gives no direction and no force.
    if (!(x == x)) x = 0;
    if (!(y == y)) y = 0;
    int level = (int)std::lround((x * x + y * y) * 10000 * 0.5);
    int milliseconds = TruncateToInt(duration);
    PlatformJoystickPlayForce(joystick, (int)(x * 32767), (int)(y * 32767), level, milliseconds);
}
