// The end-on-signal watchdog.
//
// When is it safe for another thread to end the program? The end that
// matters to the user is the saves: the configuration file, the line file,
// the file channels (the exit handlers of the files subsystem), and the data
// archives' temporary files. Bindings change that state; Lua code does not,
// nor do the Lua libraries' functions (print, string.format, the collector's
// finalizers of our arrays), which touch nothing of the runtime. So:
//
// 1. The main thread marks where it is (mainPlace) and, before each move out
//    of the script (into a binding, or back into the application), stores
//    the new place and then reads watchdogEnding, both sequentially
//    consistent. The watchdog sets watchdogEnding and then reads the place,
//    also sequentially consistent. In the single order of those operations,
//    if the watchdog reads Script, the main thread's next store of a place
//    comes after it, so its next read sees watchdogEnding and it goes into
//    EndProgram instead of the binding. A binding that has returned stored
//    Script with release order, so everything it did is visible to the
//    watchdog that reads Script.
// 2. Whoever ends claims the end first (ClaimProgramEnd); EndProgram waits
//    for good when the watchdog has it. So either the main thread runs its
//    own full end, or the watchdog runs the saves while the main thread is
//    confined to Lua code or waiting in EndProgram: never both, never a save
//    beside a binding.
// 3. The main thread gets the first chance (kGrace): the pump, the check on
//    every binding's entry and the Lua 5.1 count hook answer at once. Only
//    the watchdog can end a loop in compiled LuaJIT code.
// 4. A main thread still inside a binding or the application's code at the
//    deadline is stuck below Lua (a pipe nobody writes to, a driver that
//    never returns). The watchdog then claims the end and saves anyway: a
//    program that never ends on a signal, and loses its saves when it is
//    killed, is worse than a save beside a call that does not move. The
//    place also reads Binding after a binding raised a Lua error that the
//    script caught with pcall (a longjmp skips the mark); such a script
//    runs Lua code, and ends at the deadline too.
//
// The watchdog cannot run the rest of the end: the window, the GL context
// and the devices belong to the main thread, which may be inside them. The
// process exit releases them.
#include "end_watch.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "files/archive.h"
#include "files/files_exit.h"
#include "platform/journal.h"

// ---------------------------------------------------------------------------
// State

std::atomic<MainPlace> mainPlace{MainPlace::Outside};
std::atomic<bool> watchdogEnding{false};

static std::atomic<bool> started{false};
static void (*extraSave)() = nullptr;

// How often the watchdog looks for a request (kIdlePoll) and then for the
// main thread's answer (kPoll), and how long it leaves the main thread to
// answer before ending from outside a script (kGrace) and from outside a
// stuck call (kDeadline).
static const auto kIdlePoll = std::chrono::milliseconds(50);
static const auto kPoll = std::chrono::milliseconds(10);
static const auto kGrace = std::chrono::milliseconds(250);
static const auto kDeadline = std::chrono::milliseconds(1000);

// ---------------------------------------------------------------------------
// Internal helpers

// The end from the watchdog's thread. Returns only when the main thread has
// claimed the end itself.
static void EndFromWatchdog() {
    if (!ClaimProgramEnd()) return;
    WriteEndTrace();
    FilesAtExit();
    DataArchivesRelease();
    if (extraSave) extraSave();
    // A recording ends here too, so that its replay ends at the same place.
    int exitCode = JournalFinishFromWatchdog(0);
    std::fflush(stdout);
    std::fflush(stderr);
    // No exit handlers nor destructors: the handlers' work is done above, and
    // the main thread may still run over the objects they would destroy.
    std::_Exit(exitCode);
}

static void Watch() {
    using Clock = std::chrono::steady_clock;
    while (!PlatformEndRequested()) std::this_thread::sleep_for(kIdlePoll);
    const Clock::time_point asked = Clock::now();
    for (;;) {
        std::this_thread::sleep_for(kPoll);
        const Clock::duration waited = Clock::now() - asked;
        if (waited < kGrace) continue;
        watchdogEnding.store(true, std::memory_order_seq_cst);
        if (mainPlace.load(std::memory_order_seq_cst) == MainPlace::Script || waited >= kDeadline) {
            EndFromWatchdog();
            return;
        }
    }
}

// ---------------------------------------------------------------------------
// Public

void StartEndWatchdog(void (*save)()) {
    if (started.exchange(true)) return;
    extraSave = save;
    // Detached: the main thread's own end exits the process under it.
    std::thread(Watch).detach();
}
