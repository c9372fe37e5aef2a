// The application: settings, start-up, the Lua state and the loop that runs
// the script every frame.
#pragma once

#include <cstddef>
#include <string>

struct lua_State;

// The script's Lua memory, unless --memory says otherwise: the address space
// the program had as a 32-bit one, so that a script that grows without end
// gets Lua's "not enough memory" error long before the system runs out.
constexpr size_t kDefaultLuaMemoryLimit = (size_t)2048 << 20;

struct ApplicationOptions {
    std::string script = "scripts/PrintTest.lua";  // absolute, or relative to the program
    bool scriptFolderIsCurrent = false;             // after start-up, work in the script's folder
    long frames = 0;                                // end after this many frames; 0: never
    std::string screenshot;                         // saved just before the end; empty: none
    size_t luaMemoryLimit = kDefaultLuaMemoryLimit;  // bytes the script's Lua may hold; 0: no limit
};

// Runs the program; returns only when start-up fails (with the exit code).
int RunApplication(const ApplicationOptions& options, const char* commandLine);

// Loads and runs a script file in protected mode (script_file.cpp). A read,
// load or run error is written to stderr once per distinct message; the
// stack is left as found. While the file's bytes are those of the last run,
// the chunk compiled then runs again.
void RunScriptFile(lua_State* L, const char* path);

// Creates the Lua state (lua_state.cpp) with the libraries string, table,
// math, debug and base opened in this order, every binding registered, and,
// under the Lua 5.1 interpreter, a count hook that ends the program from
// inside a running script when SIGINT, SIGTERM or SIGHUP asked for it. Under
// LuaJIT the compiler is on and its own libraries are out of reach.
lua_State* CreateLuaState();

// Limits the bytes the state's Lua heap may hold (0: no limit): growth past
// it fails with Lua's "not enough memory" error.
void SetLuaMemoryLimit(lua_State* L, size_t bytes);

// After the script's chunk has returned: when the memory limit refused a
// growth during the run, under LuaJIT the compiled code is dropped (it may
// not survive a second memory error); it is compiled again as it runs.
void SettleLuaMemory(lua_State* L);

// Writes a script failure to stderr as RunScriptFile does: once per distinct
// text.
void ReportScriptErrorText(const char* text);
