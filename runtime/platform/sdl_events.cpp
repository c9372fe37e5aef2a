// The event half of the layer: SDL events become window messages, and keyboard
// and mouse events feed the layer's own input state (keys numbered as
// DirectInput scan codes), whether the message pump or an input read takes them.
#include "platform/journal_internal.h"
#include "platform/platform.h"
#include "platform/sdl_input_internal.h"
#include "platform/sdl_internal.h"

#include <atomic>
#include <csignal>
#include <deque>

// ---------------------------------------------------------------------------
// State

static SdlInputState inputState;
static std::deque<PlatformMessage> injected;
// Key changes not yet taken, oldest first, and the presses counted so far.
static constexpr size_t kKeyChangesKept = 1024;
static std::deque<PlatformKeyChange> keyChanges;
static uint64_t pressCount = 0;
// Set by the signal handler, read by the main thread and the end watchdog.
static std::atomic<int> signalled{0};
static_assert(std::atomic<int>::is_always_lock_free, "a signal handler may store only a lock-free flag");

// Each ask makes the window system's connection read its socket, which costs
// more than the rest of a small frame's own work; an open batch asks once.
static int batchDepth = 0;
static bool askedInBatch = false;
static uint64_t asks = 0;

// ---------------------------------------------------------------------------
// Internal helpers

static void OnSignal(int) { signalled.store(1); }

static void Ask() {
    SDL_PumpEvents();
    ++asks;
    if (batchDepth > 0) askedInBatch = true;
}

// A journaled run reads through its fetch points as recorded, batch or not.
static bool Batched() { return !JournalEventsActive(); }

static void AskUnlessAsked() {
    if (batchDepth == 0 || !askedInBatch) Ask();
}

static uint32_t ButtonBit(uint8_t button) {
    switch (button) {
    case SDL_BUTTON_LEFT: return 1u;
    case SDL_BUTTON_RIGHT: return 2u;
    case SDL_BUTTON_MIDDLE: return 4u;
    case SDL_BUTTON_X1: return 8u;
    case SDL_BUTTON_X2: return 16u;
    default: return 0u;
    }
}

static void RecordKeyChange(int key, bool down) {
    if (keyChanges.size() == kKeyChangesKept) keyChanges.pop_front();
    PlatformKeyChange change;
    change.key = (uint8_t)key;
    change.down = down;
    keyChanges.push_back(change);
}

// Turns one SDL event into a message; false when it carries none.
static bool Translate(const SDL_Event& event, PlatformMessage& message) {
    if (SdlApplyInputEvent(event)) return false;
    switch (event.type) {
    case SDL_QUIT:
        message = {PlatformMessageKind::Close, 0};
        return true;
    case SDL_WINDOWEVENT:
        switch (event.window.event) {
        case SDL_WINDOWEVENT_CLOSE:
            message = {PlatformMessageKind::Close, 0};
            return true;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
            message = {PlatformMessageKind::Activate, 1};
            return true;
        case SDL_WINDOWEVENT_FOCUS_LOST:
            message = {PlatformMessageKind::Activate, 0};
            return true;
        case SDL_WINDOWEVENT_EXPOSED:
            message = {PlatformMessageKind::EraseBackground, 0};
            return true;
        default:
            return false;
        }
    default:
        return false;
    }
}

// ---------------------------------------------------------------------------
// Public (layer-internal)

SdlInputState& SdlInput() { return inputState; }

bool SdlApplyInputEvent(const SDL_Event& event) {
    SdlInputState& s = inputState;
    switch (event.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
        int key = SdlScancodeToKey(event.key.keysym.scancode);
        bool down = event.type == SDL_KEYDOWN;
        if (key > 0 && !(down && event.key.repeat)) {
            RecordKeyChange(key, down);
            if (down) ++pressCount;
        }
        if (key > 0) s.keys[key] = down;
        return true;
    }
    case SDL_TEXTEDITING:
    case SDL_TEXTINPUT:
    case SDL_KEYMAPCHANGED:
        return true;
    case SDL_MOUSEMOTION:
        // Relative mode reports no meaningful position, only movement.
        if (!SDL_GetRelativeMouseMode()) {
            s.cursorX = event.motion.x;
            s.cursorY = event.motion.y;
        }
        s.moveX += event.motion.xrel;
        s.moveY += event.motion.yrel;
        return true;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        if (event.type == SDL_MOUSEBUTTONDOWN) {
            s.buttons |= ButtonBit(event.button.button);
            ++pressCount;
        } else {
            s.buttons &= ~ButtonBit(event.button.button);
        }
        return true;
    case SDL_MOUSEWHEEL: {
        int notches = event.wheel.y;
        if (event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) notches = -notches;
        s.wheel += notches;
        return true;
    }
    default:
        return false;
    }
}

void SdlDrainInputEvents() {
    if (!SDL_WasInit(SDL_INIT_EVENTS)) return;
    SDL_Event events[64];
    if (Batched()) {
        AskUnlessAsked();
        int n;
        while ((n = SDL_PeepEvents(events, 64, SDL_GETEVENT, SDL_KEYDOWN, SDL_MOUSEWHEEL)) > 0) {
            for (int i = 0; i < n; ++i) SdlApplyInputEvent(events[i]);
        }
        return;
    }
    for (;;) {
        int n = SdlJournalPeepInput(events, 64);
        if (n <= 0) break;
        for (int i = 0; i < n; ++i) SdlApplyInputEvent(events[i]);
    }
}

void SdlInstallSignalHandlers() {
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    // A closed terminal: the user is gone, but what the program keeps is not.
    std::signal(SIGHUP, OnSignal);
    // Past a file-size limit a write fails with an error, as on a full disk,
    // so a save removes its partial file and the old one stays, instead of
    // the program being killed halfway.
    std::signal(SIGXFSZ, SIG_IGN);
}

// ---------------------------------------------------------------------------
// Public

bool PlatformPeekMessage(PlatformMessage& message) {
    if (signalled.load() && signalled.exchange(0)) {
        SdlJournalNoteSignal();
        message = {PlatformMessageKind::Close, 0};
        return true;
    }
    if (!injected.empty()) {
        message = injected.front();
        injected.pop_front();
        return true;
    }
    if (!SDL_WasInit(SDL_INIT_EVENTS)) return false;
    SDL_Event event;
    if (Batched()) {
        AskUnlessAsked();
        while (SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0) {
            if (Translate(event, message)) return true;
        }
        return false;
    }
    while (SdlJournalPollEvent(&event)) {
        if (Translate(event, message)) return true;
    }
    return false;
}

void PlatformBatchEventReads(bool open) {
    if (open) {
        if (batchDepth++ == 0) askedInBatch = false;
    } else if (batchDepth > 0) {
        --batchDepth;
    }
}

void PlatformAskForEvents() {
    if (SDL_WasInit(SDL_INIT_EVENTS) && Batched()) Ask();
}

uint64_t PlatformEventAsks() { return asks; }

bool PlatformEndRequested() { return signalled.load() != 0; }

bool PlatformKeyDown(int scanCode) {
    return scanCode >= 0 && scanCode < 256 && inputState.keys[scanCode];
}

void PlatformInjectKey(int scanCode, bool down) {
    if (scanCode >= 0 && scanCode < 256) inputState.keys[scanCode] = down;
}

void PlatformInjectMessage(const PlatformMessage& message) { injected.push_back(message); }

int PlatformTakeKeyChanges(PlatformKeyChange* changes, int max) {
    SdlDrainInputEvents();
    int n = 0;
    while (n < max && !keyChanges.empty()) {
        changes[n++] = keyChanges.front();
        keyChanges.pop_front();
    }
    return n;
}

uint64_t PlatformPressCount() {
    SdlDrainInputEvents();
    return pressCount;
}

void PlatformPushKeyEvent(int key, bool down, bool repeat) {
    SDL_Scancode scancode = SdlKeyToScancode(key);
    if (scancode == SDL_SCANCODE_UNKNOWN) return;
    SDL_Event event = {};
    event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    event.key.repeat = repeat ? 1 : 0;
    event.key.keysym.scancode = scancode;
    event.key.keysym.sym = SDL_GetKeyFromScancode(scancode);
    SDL_PushEvent(&event);
}

static Uint32 WindowId(PlatformWindow* window) {
    return window ? SDL_GetWindowID(SdlWindow(window)) : 0;
}

void PlatformPushMouseMotion(PlatformWindow* window, int x, int y, int dx, int dy) {
    SDL_Event event = {};
    event.type = SDL_MOUSEMOTION;
    event.motion.windowID = WindowId(window);
    event.motion.x = x;
    event.motion.y = y;
    event.motion.xrel = dx;
    event.motion.yrel = dy;
    SDL_PushEvent(&event);
}

void PlatformPushMouseButton(PlatformWindow* window, int button, bool down) {
    SDL_Event event = {};
    event.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    event.button.windowID = WindowId(window);
    event.button.button = (Uint8)button;
    event.button.state = down ? SDL_PRESSED : SDL_RELEASED;
    event.button.clicks = 1;
    SDL_PushEvent(&event);
}

void PlatformPushMouseWheel(PlatformWindow* window, int notches) {
    SDL_Event event = {};
    event.type = SDL_MOUSEWHEEL;
    event.wheel.windowID = WindowId(window);
    event.wheel.y = notches;
    event.wheel.direction = SDL_MOUSEWHEEL_NORMAL;
    SDL_PushEvent(&event);
}
