// The journaled event fetches: SDL events the layer uses, to and from journal
// events, and the live events a replay drops so that it takes no live input.
#include "platform/journal_internal.h"

#include "platform/platform.h"

// ---------------------------------------------------------------------------
// Types

// Kind numbers in the journal; they are part of the file format.
enum EventKind : uint32_t {
    kKeyDown = 1,
    kKeyUp = 2,
    kTextInput = 3,
    kTextEditing = 4,
    kMouseMotion = 5,
    kMouseDown = 6,
    kMouseUp = 7,
    kMouseWheel = 8,
    kWindow = 9,
    kQuit = 10,
};

// ---------------------------------------------------------------------------
// Internal helpers

static void Put(JournalEvent& out, std::initializer_list<int64_t> values) {
    out.count = 0;
    for (int64_t value : values) out.values[out.count++] = value;
}

// False for events the layer does nothing with: they are neither kept nor
// handed on, which changes nothing for the layer.
static bool ToJournal(const SDL_Event& event, JournalEvent& out) {
    out = JournalEvent();
    switch (event.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        out.kind = event.type == SDL_KEYDOWN ? kKeyDown : kKeyUp;
        Put(out, {event.key.keysym.scancode, event.key.keysym.sym, event.key.keysym.mod, event.key.repeat});
        return true;
    case SDL_TEXTINPUT:
        out.kind = kTextInput;
        out.text = event.text.text;
        return true;
    case SDL_TEXTEDITING:
        out.kind = kTextEditing;
        out.text = event.edit.text;
        Put(out, {event.edit.start, event.edit.length});
        return true;
    case SDL_MOUSEMOTION:
        out.kind = kMouseMotion;
        Put(out, {event.motion.x, event.motion.y, event.motion.xrel, event.motion.yrel, event.motion.state});
        return true;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        out.kind = event.type == SDL_MOUSEBUTTONDOWN ? kMouseDown : kMouseUp;
        Put(out, {event.button.button, event.button.clicks, event.button.x, event.button.y});
        return true;
    case SDL_MOUSEWHEEL:
        out.kind = kMouseWheel;
        Put(out, {event.wheel.x, event.wheel.y, event.wheel.direction});
        return true;
    case SDL_WINDOWEVENT:
        out.kind = kWindow;
        Put(out, {event.window.event, event.window.data1, event.window.data2});
        return true;
    case SDL_QUIT:
        out.kind = kQuit;
        return true;
    default:
        return false;
    }
}

static int64_t Value(const JournalEvent& in, uint32_t index) { return index < in.count ? in.values[index] : 0; }

// False for a kind this program does not know (a damaged or foreign record).
static bool FromJournal(const JournalEvent& in, SDL_Event& event) {
    event = SDL_Event();
    event.common.timestamp = SDL_GetTicks();
    switch (in.kind) {
    case kKeyDown:
    case kKeyUp:
        event.type = in.kind == kKeyDown ? SDL_KEYDOWN : SDL_KEYUP;
        event.key.state = in.kind == kKeyDown ? SDL_PRESSED : SDL_RELEASED;
        event.key.keysym.scancode = (SDL_Scancode)Value(in, 0);
        event.key.keysym.sym = (SDL_Keycode)Value(in, 1);
        event.key.keysym.mod = (Uint16)Value(in, 2);
        event.key.repeat = (Uint8)Value(in, 3);
        return true;
    case kTextInput:
        event.type = SDL_TEXTINPUT;
        SDL_strlcpy(event.text.text, in.text.c_str(), sizeof event.text.text);
        return true;
    case kTextEditing:
        event.type = SDL_TEXTEDITING;
        SDL_strlcpy(event.edit.text, in.text.c_str(), sizeof event.edit.text);
        event.edit.start = (Sint32)Value(in, 0);
        event.edit.length = (Sint32)Value(in, 1);
        return true;
    case kMouseMotion:
        event.type = SDL_MOUSEMOTION;
        event.motion.x = (Sint32)Value(in, 0);
        event.motion.y = (Sint32)Value(in, 1);
        event.motion.xrel = (Sint32)Value(in, 2);
        event.motion.yrel = (Sint32)Value(in, 3);
        event.motion.state = (Uint32)Value(in, 4);
        return true;
    case kMouseDown:
    case kMouseUp:
        event.type = in.kind == kMouseDown ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
        event.button.state = in.kind == kMouseDown ? SDL_PRESSED : SDL_RELEASED;
        event.button.button = (Uint8)Value(in, 0);
        event.button.clicks = (Uint8)Value(in, 1);
        event.button.x = (Sint32)Value(in, 2);
        event.button.y = (Sint32)Value(in, 3);
        return true;
    case kMouseWheel:
        event.type = SDL_MOUSEWHEEL;
        event.wheel.x = (Sint32)Value(in, 0);
        event.wheel.y = (Sint32)Value(in, 1);
        event.wheel.direction = (Uint32)Value(in, 2);
        return true;
    case kWindow:
        event.type = SDL_WINDOWEVENT;
        event.window.event = (Uint8)Value(in, 0);
        event.window.data1 = (Sint32)Value(in, 1);
        event.window.data2 = (Sint32)Value(in, 2);
        return true;
    case kQuit:
        event.type = SDL_QUIT;
        return true;
    default:
        return false;
    }
}

// A replay takes no live input: whatever the system queued is dropped.
static void DropLiveEvents() {
    SDL_PumpEvents();
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
}

static bool NextReplayed(SDL_Event& event) {
    JournalEvent recorded;
    while (JournalReplayEvent(recorded)) {
        if (FromJournal(recorded, event)) return true;
    }
    return false;
}

// ---------------------------------------------------------------------------
// Public (layer-internal)

bool SdlJournalPollEvent(SDL_Event* event) {
    if (!JournalEventsActive()) return SDL_PollEvent(event) != 0;
    JournalFetchBegin();
    if (JournalCurrentMode() == JournalMode::Replay) {
        DropLiveEvents();
        return NextReplayed(*event);
    }
    JournalEvent kept;
    while (SDL_PollEvent(event)) {
        if (ToJournal(*event, kept)) {
            JournalRecordEvent(kept);
            return true;
        }
    }
    return false;
}

int SdlJournalPeepInput(SDL_Event* events, int max) {
    if (!JournalEventsActive()) {
        SDL_PumpEvents();
        return SDL_PeepEvents(events, max, SDL_GETEVENT, SDL_KEYDOWN, SDL_MOUSEWHEEL);
    }
    JournalFetchBegin();
    if (JournalCurrentMode() == JournalMode::Replay) {
        DropLiveEvents();
        int n = 0;
        while (n < max && NextReplayed(events[n])) ++n;
        return n;
    }
    SDL_PumpEvents();
    for (;;) {
        int n = SDL_PeepEvents(events, max, SDL_GETEVENT, SDL_KEYDOWN, SDL_MOUSEWHEEL);
        if (n <= 0) return n;
        int kept = 0;
        JournalEvent recorded;
        for (int i = 0; i < n; ++i) {
            if (!ToJournal(events[i], recorded)) continue;
            JournalRecordEvent(recorded);
            events[kept++] = events[i];
        }
        if (kept > 0) return kept;
    }
}

void SdlJournalNoteSignal() {
    if (!JournalEventsActive() || JournalCurrentMode() != JournalMode::Record) return;
    JournalFetchBegin();
    JournalEvent quit;
    quit.kind = kQuit;
    JournalRecordEvent(quit);
}

// ---------------------------------------------------------------------------
// Public

void JournalWaitWhileHeld() {
    for (;;) {
        if (PlatformEndRequested()) return;
        if (SDL_WasInit(SDL_INIT_EVENTS)) {
            SDL_Event event;
            while (SDL_PollEvent(&event)) {
                if (event.type == SDL_QUIT) return;
                if (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_CLOSE) return;
                if (event.type == SDL_KEYDOWN && event.key.keysym.scancode == SDL_SCANCODE_ESCAPE) return;
            }
        }
        PlatformSleep(20);
    }
}
