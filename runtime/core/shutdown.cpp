// The one end of the program: shutdown in the fixed order, the end trace, exit.
#include "core/engine.h"
#include "files/archive.h"
#include "platform/journal.h"
#include "gfx3d/gfx3d.h"
#include "sound/sound.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "input/input.h"
#include "net/net.h"
#include "strings/script_numbers.h"

// ---------------------------------------------------------------------------
// State

static std::atomic<bool> endClaimed{false};
static thread_local bool endClaimedHere = false;

// ---------------------------------------------------------------------------
// Internal helpers

static void TraceNumber(double value) {
    char line[32];
    std::snprintf(line, sizeof line, "%d", TruncateToInt(value));
    ErrorLogAppend(line);
}

// ---------------------------------------------------------------------------
// Public

void SetPosition(double file, double line) {
    engine.currentFile = file;
    engine.currentLine = line;
}

double FatalError(double number) {
    engine.errorNumber = number;
    engine.errorLine = engine.currentLine;
    return number;
}

void RuntimeError(int number) {
    FatalError(number);
    EndProgram();
}

void Shutdown() {
    // Step 1: the timer resolution taken at start-up.
    PlatformTimerEndPeriod(1);
    // Step 2: a video still playing (the program ended from inside its
    // message dispatch); the music stops here too.
    StopVideo();
    StopMusic();
    // The 3D engine object goes while the context still exists, so its vertex
    // buffers, textures and shader programs are released with it.
    Destroy3DEngine();
    // Step 3: the screen object with its surfaces, textures, window and context.
    delete engine.screen;
    engine.screen = nullptr;
    // Step 4: the input object.
    DestroyInput();
    // Step 5: the 256 sound-buffer slots, last first.
    SoundSlotsDestroy();
    // Step 6: the sound object.
    SoundRelease();
    // Step 7: the network record, after its thread has stopped.
    NetworkDestroy();
    // Step 8: the two data-archive records with their temporary files.
    DataArchivesRelease();
    // Step 9: the main window went with the screen object.
    engine.mainWindow = nullptr;
}

bool ClaimProgramEnd() {
    if (endClaimedHere) return true;
    bool expected = false;
    if (!endClaimed.compare_exchange_strong(expected, true)) return false;
    return endClaimedHere = true;
}

void WriteEndTrace() {
    if (!engine.debugMode) return;
    ErrorLogAppend("-End On Line");
    TraceNumber(engine.errorNumber);
    TraceNumber((double)((int64_t)TruncateToInt(engine.errorLine) - 1));
    TraceNumber(engine.currentLine);
    TraceNumber(engine.currentFile);
}

void EndProgram() {
    // Another thread is ending the program and will exit the process; this
    // one must not shut down what that end may still be saving.
    while (!ClaimProgramEnd()) std::this_thread::sleep_for(std::chrono::seconds(1));
    Shutdown();
    WriteEndTrace();
    PlatformShutdown();
    std::fflush(stdout);
    std::exit(JournalFinish(0));
}

void BreakpointReport(int number) {
    if (!PlatformDebuggerAttached()) return;
    char text[32];
    std::snprintf(text, sizeof text, "BP%x", (unsigned)number);
    PlatformShowWindow(engine.mainWindow, false);
    PlatformDebugOutput(text);
    engine.paused = 0;
    // The input state refreshes here, as in the frame routine.
    InputRefresh();
}
