// The frame routine: present on a fixed grid of deadlines, dispatch window
// messages, honour pause and the keys that end the program, reset the 2D state.
#include "core/core_internal.h"

#include <GL/gl.h>

#include "gfx2d/gfx2d.h"
#include "gfx3d/gfx3d.h"
#include "input/input.h"
#include "platform/journal.h"

// ---------------------------------------------------------------------------
// State

static void (*frameHook)() = nullptr;
static void (*presentHook)() = nullptr;

// ---------------------------------------------------------------------------
// Internal helpers

// Refreshes the input state and marks it just refreshed.
static void RefreshInput() { InputRefresh(); }

static bool KeyDown(int key) { return InputKeyDown(key); }

// Ends the program from the frame routine: an ordinary end, no error number.
[[noreturn]] static void EndFromFrame() {
    engine.errorNumber = 0;
    engine.errorLine = engine.currentLine;
    EndProgram();
}

// The wait for the deadline sleeps while it is far off and spins only the
// last stretch, so frames leave on time without a core busy all frame long.
// Sleeps are short enough that window messages are still dispatched promptly.
static const double spinMilliseconds = 0.3;
static const double longestSleepMilliseconds = 4.0;

// True when it slept.
static bool WaitTowards(double remaining) {
    // A test clock moves only when read: sleeping real time would not bring
    // its deadline nearer.
    if (!ClockIsPlatform() || remaining <= spinMilliseconds) return false;
    double sleep = remaining - spinMilliseconds;
    if (sleep > longestSleepMilliseconds) sleep = longestSleepMilliseconds;
    PlatformSleepMicroseconds((int64_t)(sleep * 1000.0));
    return true;
}

// The reads inside share one ask of the window system for new events.
struct EventBatch {
    EventBatch() { PlatformBatchEventReads(true); }
    ~EventBatch() { PlatformBatchEventReads(false); }
    EventBatch(const EventBatch&) = delete;
    EventBatch& operator=(const EventBatch&) = delete;
};

static bool DispatchOne() {
    PlatformMessage message;
    if (!PlatformPeekMessage(message)) return false;
    WindowProcedure(message);
    return true;
}

// Dispatches every waiting message. Inside an open batch that has asked
// already, only what is queued, unless `ask`.
static void DispatchPass(bool ask = false) {
    EventBatch batch;
    if (ask) PlatformAskForEvents();
    while (DispatchOne()) {
    }
}

// ---------------------------------------------------------------------------
// Public

void SetFrameHook(void (*hook)()) { frameHook = hook; }

void SetPresentHook(void (*hook)()) { presentHook = hook; }

int MessagePump(OpenGLZadudedo&) {
    DispatchPass();
    return 1;
}

double Present(OpenGLZadudedo& screen) {
    // Queued sprites and text belong to this frame; a frame is never shown
    // while drawing goes into an off-screen surface.
    FlushDrawBatch();
    EndActiveSurface();
    if (presentHook) presentHook();
    PlatformSwapBuffers(screen.window);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    double start = PacingMilliseconds();
    double now = start;
    // How often the wait looks for messages depends on timing alone, so all
    // its fetches are one point of the journal; a replay takes that point's
    // events at once and paces by the recorded clock instead.
    JournalHoldFetches(true);
    if (JournalCurrentMode() == JournalMode::Replay) {
        DispatchPass();
        JournalPace();
        now = PacingMilliseconds();
    } else {
        // Inside the frame routine the input refresh has just asked for new
        // events; this pass then takes what that ask queued.
        DispatchPass();
        for (;;) {
            now = PacingMilliseconds();
            if (now > screen.nextFrameDeadline) break;
            // Asking costs reads of the window system's socket, so the wait
            // asks after each sleep and spins its last stretch on the clock.
            if (WaitTowards(screen.nextFrameDeadline - now)) DispatchPass(true);
        }
    }
    JournalHoldFetches(false);
    // The next deadline is the first grid point not in the past, so a late
    // frame is not followed by a burst of catch-up frames.
    double candidate = screen.nextFrameDeadline + screen.framePeriod;
    if (screen.framePeriod > 0) {
        while (now > candidate) candidate += screen.framePeriod;
    }
    screen.nextFrameDeadline = candidate;
    return now - start + 1.0;
}

void ShowScreen() {
    OpenGLZadudedo* screen = engine.screen;
    if (!screen) return;
    if (engine.debugMode) {
        PlatformShowWindow(engine.mainWindow, true);
        PlatformRaiseWindow(engine.mainWindow);
    }
    engine.frameTimePrevious = engine.frameTimeNow;
    engine.frameTimeNow = NowMilliseconds();

    while (engine.paused) {
        MessagePump(*screen);
        if (engine.paused) PlatformSleep(100);
    }

    {
        // One ask of the window system serves the input refresh and the first
        // dispatch after the present.
        EventBatch batch;
        RefreshInput();
        PlatformReapProcesses();
        if (engine.escapeEndsProgram && (KeyDown(1) || KeyDown(129))) EndFromFrame();
        if (KeyDown(56) && KeyDown(62)) EndFromFrame();

        // The 3D engine's stencil-shadow pass completes here.
        EndShadowPass();
        Present(*screen);
    }
    JournalFrameShown();

    glEnable(GL_BLEND);
    glDisable(GL_BLEND);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    // The sprite store's alpha factor resets and the background draws here.
    ResetFrameDrawing();
    ApplyGlDefaults(*screen, 0, 0, 0, 0);
    Reset3DFrameState();

    if (frameHook) frameHook();
}

double FrameDuration() {
    double duration = engine.frameTimeNow - engine.frameTimePrevious;
    return duration > 0 ? duration : 1.0;
}

double RunningTime() { return NowMilliseconds() - engine.startTime; }
