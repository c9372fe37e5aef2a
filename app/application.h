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
    std::string workFolder;   // the folder to work in instead of the script's (a packed game's)
    std::string dataArchive;  // the data archive instead of start-up's records; empty: those
    bool errorBanner = true;  // in a window, the script's last error over the frame
};

// `revev GAME` (game_start.cpp): a folder runs its main.lua as --script does;
// a data archive runs its main.lua, unpacked into a private temporary folder
// removed at the end, with the archive's folder as the folder to work in and
// the archive as the data archive. False with a one-line reason when the
// game cannot be started.
bool ChooseGame(const std::string& game, ApplicationOptions& options, std::string& error);

// Whether the script file of --script can be read; false with the
// interpreter's "cannot open NAME: REASON" text.
bool ScriptFileReadable(const std::string& path, std::string& error);

// require (lua_require.cpp): registers require and the package table (loaded
// and preload only) in the state.
void OpenRequire(lua_State* L);
// The folder require looks in before the data archive; empty: the current
// directory.
void SetModuleFolder(const std::string& folder);

// Runs the program; returns only when start-up fails (with the exit code).
int RunApplication(const ApplicationOptions& options, const char* commandLine);

// Loads and runs a script file in protected mode (script_file.cpp). A read,
// load or run error is written to stderr once per distinct message; the
// stack is left as found. While the file's bytes are those of the last run,
// the chunk compiled then runs again.
void RunScriptFile(lua_State* L, const char* path);

// Creates the Lua state (lua_state.cpp) with the libraries string, table,
// math, debug and base opened in this order, require with its package table
// (lua_require.cpp), every binding registered, and,
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

// Compiles Lua text as the interpreter's file loader does (script_file.cpp):
// a first line starting with '#' is skipped but still counted, so that line
// numbers hold. Returns luaL_loadbuffer's status.
int LoadLuaText(lua_State* L, const std::string& text, const char* chunkName);
