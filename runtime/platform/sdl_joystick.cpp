// Joysticks and force feedback of the layer: devices opened by index, read by
// polling, constant forces through the haptic service; virtual joysticks for tests.
// Every answer a device gives goes through the journal: a replay reads the
// recording's and touches no device.
#include "platform/journal.h"
#include "platform/platform.h"
#include "platform/sdl_input_internal.h"

#include <vector>

// ---------------------------------------------------------------------------
// Types and state

struct PlatformJoystick {
    SDL_Joystick* joystick = nullptr;
    SDL_Haptic* haptic = nullptr;
    int effect = -1;
};

static bool joysticksUp = false;
// Joysticks read by index without a device of the program's own.
static SDL_Joystick* indexed[16] = {};
// Handles of the virtual joysticks the test hooks attached.
static std::vector<SDL_Joystick*> virtuals;

// ---------------------------------------------------------------------------
// Internal helpers

static bool JoysticksUp() {
    if (joysticksUp) return true;
    // A program reading its joysticks in a window without focus (or without
    // any display) must still see them move.
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0) return false;
    // Reads poll the devices; their events would only pile up in the queue.
    SDL_JoystickEventState(SDL_IGNORE);
    joysticksUp = true;
    return true;
}

static int32_t HatToHundredths(Uint8 hat) {
    switch (hat) {
    case SDL_HAT_UP: return 0;
    case SDL_HAT_RIGHTUP: return 4500;
    case SDL_HAT_RIGHT: return 9000;
    case SDL_HAT_RIGHTDOWN: return 13500;
    case SDL_HAT_DOWN: return 18000;
    case SDL_HAT_LEFTDOWN: return 22500;
    case SDL_HAT_LEFT: return 27000;
    case SDL_HAT_LEFTUP: return 31500;
    default: return -1;
    }
}

static Uint8 HundredthsToHat(int position) {
    switch (position) {
    case 0: return SDL_HAT_UP;
    case 4500: return SDL_HAT_RIGHTUP;
    case 9000: return SDL_HAT_RIGHT;
    case 13500: return SDL_HAT_RIGHTDOWN;
    case 18000: return SDL_HAT_DOWN;
    case 22500: return SDL_HAT_LEFTDOWN;
    case 27000: return SDL_HAT_LEFT;
    case 31500: return SDL_HAT_LEFTUP;
    default: return SDL_HAT_CENTERED;
    }
}

static bool ReadSdl(SDL_Joystick* joystick, PlatformJoystickState& state) {
    SDL_JoystickUpdate();
    if (!joystick || !SDL_JoystickGetAttached(joystick)) return false;
    state = PlatformJoystickState();
    int axes = SDL_JoystickNumAxes(joystick);
    for (int i = 0; i < axes && i < 8; ++i) {
        int32_t value = SDL_JoystickGetAxis(joystick, i);
        if (i < 6) state.axes[i] = value;
        else state.sliders[i - 6] = value;
    }
    int hats = SDL_JoystickNumHats(joystick);
    for (int i = 0; i < hats && i < 4; ++i) state.hats[i] = HatToHundredths(SDL_JoystickGetHat(joystick, i));
    int buttons = SDL_JoystickNumButtons(joystick);
    for (int i = 0; i < buttons && i < 32; ++i)
        state.buttons[i] = SDL_JoystickGetButton(joystick, i) ? 0x80 : 0;
    return true;
}

static void PutState(JournalBytes& data, const PlatformJoystickState& state) {
    for (int32_t axis : state.axes) data.Int(axis);
    for (int32_t slider : state.sliders) data.Int(slider);
    for (int32_t hat : state.hats) data.Int(hat);
    uint32_t down = 0;
    for (int i = 0; i < 32; ++i)
        if (state.buttons[i]) down |= 1u << i;
    data.Int(down);
}

static void TakeState(JournalBytes& data, PlatformJoystickState& state) {
    for (int32_t& axis : state.axes) axis = (int32_t)data.TakeInt();
    for (int32_t& slider : state.sliders) slider = (int32_t)data.TakeInt();
    for (int32_t& hat : state.hats) hat = (int32_t)data.TakeInt();
    uint32_t down = (uint32_t)data.TakeInt();
    for (int i = 0; i < 32; ++i) state.buttons[i] = (down >> i & 1) ? 0x80 : 0;
}

// A reading, live or from the journal: false when the device is gone.
static bool Read(SDL_Joystick* joystick, bool absent, PlatformJoystickState& state) {
    JournalBytes data;
    if (JournalReplayed(JournalChannel::JoystickRead, data)) {
        bool present = data.TakeInt() != 0;
        PlatformJoystickState read;
        if (present) TakeState(data, read);
        if (data.Failed()) JournalDataUnreadable();
        if (present) state = read;
        return present;
    }
    bool present = !absent && ReadSdl(joystick, state);
    data.Int(present ? 1 : 0);
    if (present) PutState(data, state);
    JournalKeep(JournalChannel::JoystickRead, data);
    return present;
}

// Answers that are one number or one text.
static int64_t JournaledNumber(JournalChannel channel, int64_t (*live)(void*), void* context) {
    JournalBytes data;
    if (JournalReplayed(channel, data)) {
        int64_t value = data.TakeInt();
        if (data.Failed()) JournalDataUnreadable();
        return value;
    }
    int64_t value = live(context);
    data.Int(value);
    JournalKeep(channel, data);
    return value;
}

static std::string JournaledName(const char* (*live)(void*), void* context) {
    JournalBytes data;
    if (JournalReplayed(JournalChannel::JoystickName, data)) {
        std::string name = data.TakeText();
        if (data.Failed()) JournalDataUnreadable();
        return name;
    }
    const char* name = live(context);
    data.Text(name ? name : "");
    JournalKeep(JournalChannel::JoystickName, data);
    return name ? name : "";
}

static SDL_Joystick* Virtual(int id) {
    return id >= 0 && id < (int)virtuals.size() ? virtuals[id] : nullptr;
}

// ---------------------------------------------------------------------------
// Public

int PlatformJoystickCount() {
    int64_t n = JournaledNumber(
        JournalChannel::JoystickCount,
        [](void*) -> int64_t { return JoysticksUp() ? SDL_NumJoysticks() : 0; }, nullptr);
    return n > 0 && n < 1 << 16 ? (int)n : 0;
}

// A replay's device holds no joystick: its answers come from the journal.
PlatformJoystick* PlatformOpenJoystick(int index) {
    struct Opening {
        int index;
        SDL_Joystick* joystick = nullptr;
    } opening{index};
    bool opened = JournaledNumber(
        JournalChannel::JoystickOpen,
        [](void* at) -> int64_t {
            Opening& opening = *(Opening*)at;
            if (JoysticksUp()) opening.joystick = SDL_JoystickOpen(opening.index);
            return opening.joystick ? 1 : 0;
        },
        &opening) != 0;
    if (!opened) return nullptr;
    PlatformJoystick* device = new PlatformJoystick();
    device->joystick = opening.joystick;
    return device;
}

void PlatformCloseJoystick(PlatformJoystick* device) {
    if (!device) return;
    if (device->haptic) SDL_HapticClose(device->haptic);
    if (device->joystick) SDL_JoystickClose(device->joystick);
    delete device;
}

std::string PlatformJoystickInstanceName(PlatformJoystick* device) {
    return JournaledName(
        [](void* at) -> const char* {
            PlatformJoystick* device = (PlatformJoystick*)at;
            return device && device->joystick ? SDL_JoystickName(device->joystick) : nullptr;
        },
        device);
}

// SDL knows one name per device; it serves as the product name too.
std::string PlatformJoystickProductName(PlatformJoystick* device) {
    return PlatformJoystickInstanceName(device);
}

std::string PlatformJoystickIndexName(int index) {
    return JournaledName(
        [](void* at) -> const char* { return JoysticksUp() ? SDL_JoystickNameForIndex(*(int*)at) : nullptr; },
        &index);
}

bool PlatformReadJoystick(PlatformJoystick* device, PlatformJoystickState& state) {
    return device && Read(device->joystick, false, state);
}

bool PlatformReadJoystickIndex(int index, PlatformJoystickState& state) {
    if (index < 0 || index >= 16) return false;
    if (JournalReplaying()) return Read(nullptr, true, state);
    if (!JoysticksUp()) return Read(nullptr, true, state);
    if (indexed[index] && !SDL_JoystickGetAttached(indexed[index])) {
        SDL_JoystickClose(indexed[index]);
        indexed[index] = nullptr;
    }
    if (!indexed[index]) {
        if (index >= SDL_NumJoysticks()) return Read(nullptr, true, state);
        indexed[index] = SDL_JoystickOpen(index);
    }
    return Read(indexed[index], false, state);
}

static bool HasForce(PlatformJoystick* device);

bool PlatformJoystickHasForce(PlatformJoystick* device) {
    return JournaledNumber(
        JournalChannel::JoystickForce, [](void* at) -> int64_t { return HasForce((PlatformJoystick*)at); },
        device) != 0;
}

static bool HasForce(PlatformJoystick* device) {
    if (!device || !device->joystick) return false;
    if (!device->haptic) {
        if (!SDL_WasInit(SDL_INIT_HAPTIC) && SDL_InitSubSystem(SDL_INIT_HAPTIC) != 0) return false;
        if (SDL_JoystickIsHaptic(device->joystick) != 1) return false;
        device->haptic = SDL_HapticOpenFromJoystick(device->joystick);
        if (!device->haptic) return false;
    }
    return (SDL_HapticQuery(device->haptic) & SDL_HAPTIC_CONSTANT) != 0;
}

static bool PlayForce(PlatformJoystick* device, int dx, int dy, int level, int durationMs);

bool PlatformJoystickPlayForce(PlatformJoystick* device, int dx, int dy, int level, int durationMs) {
    struct Force {
        PlatformJoystick* device;
        int dx, dy, level, durationMs;
    } force{device, dx, dy, level, durationMs};
    return JournaledNumber(
        JournalChannel::JoystickForce,
        [](void* at) -> int64_t {
            Force& f = *(Force*)at;
            return PlayForce(f.device, f.dx, f.dy, f.level, f.durationMs);
        },
        &force) != 0;
}

static bool PlayForce(PlatformJoystick* device, int dx, int dy, int level, int durationMs) {
    if (!HasForce(device)) return false;
    SDL_Haptic* haptic = device->haptic;
    SDL_HapticStopAll(haptic);
    if (device->effect >= 0) SDL_HapticDestroyEffect(haptic, device->effect);
    device->effect = -1;

    SDL_HapticEffect effect = {};
    effect.type = SDL_HAPTIC_CONSTANT;
    effect.constant.direction.type = SDL_HAPTIC_CARTESIAN;
    effect.constant.direction.dir[0] = dx;
    effect.constant.direction.dir[1] = dy;
    effect.constant.length = durationMs > 0 ? (Uint32)durationMs : 0;
    if (level < 0) level = 0;
    if (level > 10000) level = 10000;
    effect.constant.level = (Sint16)(level * 32767 / 10000);
    if (SDL_HapticQuery(haptic) & SDL_HAPTIC_GAIN) SDL_HapticSetGain(haptic, 100);
    device->effect = SDL_HapticNewEffect(haptic, &effect);
    return device->effect >= 0 && SDL_HapticRunEffect(haptic, device->effect, 1) == 0;
}

// Closes what the layer opened by index; the program closes its own devices.
void SdlJoysticksDown() {
    for (SDL_Joystick*& joystick : indexed) {
        if (joystick) SDL_JoystickClose(joystick);
        joystick = nullptr;
    }
    // Quitting would also drop the virtual joysticks a test still holds.
    if (!joysticksUp || !virtuals.empty()) return;
    if (SDL_WasInit(SDL_INIT_HAPTIC)) SDL_QuitSubSystem(SDL_INIT_HAPTIC);
    SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
    joysticksUp = false;
}

// ---------------------------------------------------------------------------
// Test hooks

int PlatformAttachVirtualJoystick(const char* name) {
    if (!JoysticksUp()) return -1;
    SDL_VirtualJoystickDesc desc;
    SDL_zero(desc);
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.type = SDL_JOYSTICK_TYPE_FLIGHT_STICK;
    desc.naxes = 8;
    desc.nbuttons = 32;
    desc.nhats = 4;
    desc.name = name;
    int index = SDL_JoystickAttachVirtualEx(&desc);
    if (index < 0) return -1;
    SDL_Joystick* joystick = SDL_JoystickOpen(index);
    if (!joystick) return -1;
    virtuals.push_back(joystick);
    return (int)virtuals.size() - 1;
}

void PlatformSetVirtualAxis(int id, int axis, int value) {
    if (value > 32767) value = 32767;
    if (value < -32768) value = -32768;
    if (SDL_Joystick* joystick = Virtual(id)) SDL_JoystickSetVirtualAxis(joystick, axis, (Sint16)value);
}

void PlatformSetVirtualButton(int id, int button, bool down) {
    if (SDL_Joystick* joystick = Virtual(id))
        SDL_JoystickSetVirtualButton(joystick, button, down ? SDL_PRESSED : SDL_RELEASED);
}

void PlatformSetVirtualHat(int id, int hat, int position) {
    if (SDL_Joystick* joystick = Virtual(id))
        SDL_JoystickSetVirtualHat(joystick, hat, HundredthsToHat(position));
}

void PlatformDetachVirtualJoysticks() {
    for (SDL_Joystick* joystick : virtuals) {
        SDL_JoystickID id = SDL_JoystickInstanceID(joystick);
        SDL_JoystickClose(joystick);
        for (int i = 0; i < SDL_NumJoysticks(); ++i) {
            if (SDL_JoystickGetDeviceInstanceID(i) == id) {
                SDL_JoystickDetachVirtual(i);
                break;
            }
        }
    }
    virtuals.clear();
}
