// Ending on a signal while the script does not come back: a watchdog thread,
// and the marks the main thread leaves as it moves between its own code, the
// script and the bindings.
//
// The main thread ends the program itself whenever it can: the frame
// routine's message pump turns SIGINT, SIGTERM and SIGHUP into a close, every
// binding looks for the request on entry, and under the Lua 5.1 interpreter a
// count hook looks for it inside the script. Compiled LuaJIT code never calls
// hooks, and a call below Lua may never return (a pipe nobody writes to, a
// driver that hangs), so the watchdog ends the program from its own thread
// when the main thread has not answered in time (end_watch.cpp says when that
// is safe).
#pragma once

#include <atomic>

#include "core/engine.h"
#include "platform/platform.h"

// Where the main thread is. Outside: the application's own code around the
// script (start-up, loading the script, the frame routine). Script: Lua code
// of the script, or a function of the Lua libraries, none of which touches
// the runtime's state. Binding: inside an engine binding.
enum class MainPlace : int { Outside, Script, Binding };

extern std::atomic<MainPlace> mainPlace;
// Set by the watchdog once it means to end the program: from then on the
// main thread leaves the script only into EndProgram.
extern std::atomic<bool> watchdogEnding;

// Starts the watchdog thread (once; later calls do nothing). `save` runs in
// the watchdog's end beside the runtime's exit saves; null for none.
void StartEndWatchdog(void (*save)());

// Called by the main thread before it runs the script's chunk.
inline void EnterScript() {
    if (watchdogEnding.load(std::memory_order_seq_cst) || PlatformEndRequested()) EndProgram();
    mainPlace.store(MainPlace::Script, std::memory_order_seq_cst);
}

// Called by the main thread when the script's chunk has returned or failed.
inline void LeaveScript() {
    mainPlace.store(MainPlace::Outside, std::memory_order_seq_cst);
    if (watchdogEnding.load(std::memory_order_seq_cst)) EndProgram();
}

// Called on entry to every binding: ends the program on a waiting request,
// and never runs a binding once the watchdog means to end the program.
inline void EnterBinding() {
    mainPlace.store(MainPlace::Binding, std::memory_order_seq_cst);
    if (watchdogEnding.load(std::memory_order_seq_cst) || PlatformEndRequested()) EndProgram();
}

// Called when a binding returns to the script.
inline void LeaveBinding() { mainPlace.store(MainPlace::Script, std::memory_order_release); }
