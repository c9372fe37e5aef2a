// The application: settings, start-up, the Lua state and the loop that runs
// the script every frame.
#pragma once

#include <string>

struct lua_State;

struct ApplicationOptions {
    std::string script = "scripts/PrintTest.lua";  // absolute, or relative to the program
    bool scriptFolderIsCurrent = false;             // after start-up, work in the script's folder
    long frames = 0;                                // end after this many frames; 0: never
    std::string screenshot;                         // saved just before the end; empty: none
};

// Runs the program; returns only when start-up fails (with the exit code).
int RunApplication(const ApplicationOptions& options, const char* commandLine);

// Loads and runs a script file in protected mode. A load or run error is
// written to stderr once per distinct message; the stack is left as found.
void RunScriptFile(lua_State* L, const char* path);

// Creates the Lua state with the libraries string, table, math, debug and base
// opened in this order, every binding registered, and a count hook that ends
// the program from inside a running script when SIGINT, SIGTERM or SIGHUP
// asked for it.
lua_State* CreateLuaState();
