// The event half of the layer: SDL events become window messages, and key
// events update the layer's own key state (numbered as DirectInput scan codes).
#include "platform/platform.h"
#include "platform/sdl_internal.h"

#include <csignal>
#include <deque>

// ---------------------------------------------------------------------------
// State

static bool keys[256];
static std::deque<PlatformMessage> injected;
static volatile std::sig_atomic_t signalled = 0;

// ---------------------------------------------------------------------------
// Internal helpers

static void OnSignal(int) { signalled = 1; }

// Turns one SDL event into a message; false when it carries none.
static bool Translate(const SDL_Event& event, PlatformMessage& message) {
    switch (event.type) {
    case SDL_QUIT:
        message = {PlatformMessageKind::Close, 0};
        return true;
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
        int key = SdlScancodeToKey(event.key.keysym.scancode);
        if (key > 0) keys[key] = event.type == SDL_KEYDOWN;
        return false;
    }
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
// Public

void SdlInstallSignalHandlers() {
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
}

bool PlatformPeekMessage(PlatformMessage& message) {
    if (signalled) {
        signalled = 0;
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
    while (SDL_PollEvent(&event)) {
        if (Translate(event, message)) return true;
    }
    return false;
}

bool PlatformKeyDown(int scanCode) {
    return scanCode >= 0 && scanCode < 256 && keys[scanCode];
}

void PlatformInjectKey(int scanCode, bool down) {
    if (scanCode >= 0 && scanCode < 256) keys[scanCode] = down;
}

void PlatformInjectMessage(const PlatformMessage& message) { injected.push_back(message); }
