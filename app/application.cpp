// The application loop: start-up, one Lua state, then load and run the script
// and show the frame, for ever.
#include "application.h"

extern "C" {
#include <lauxlib.h>
#include <lua.h>
#include <lualib.h>
}

#include <cstdio>
#include <cstdlib>
#include <set>

#include "core/engine.h"
#include "gfx2d/gfx2d.h"
#include "lua_register.h"
#include "platform/platform.h"

// ---------------------------------------------------------------------------
// State

// How often a running script looks for a request to end: a flag test every
// this many Lua instructions costs nothing measurable and answers in well
// under a second even in a tight loop.
static const int kEndCheckInstructions = 10000;

static std::set<std::string> reportedErrors;
static long frameLimit = 0;
static long framesShown = 0;

// --screenshot: every frame is read back just before it is shown (the swap
// leaves the back buffer undefined), and the last one is written at the end.
static std::string screenshotFile;
static ScreenPixels lastFrame;
static bool frameCaptured = false;

// ---------------------------------------------------------------------------
// Internal helpers

static void ReportScriptError(lua_State* L) {
    const char* message = lua_tostring(L, -1);
    std::string text = message ? message : "(error object is not a string)";
    // A broken script fails every frame; report each distinct failure once.
    if (reportedErrors.size() < 1000 && reportedErrors.insert(text).second)
        std::fprintf(stderr, "revev: script: %s\n", text.c_str());
}

// A script caught in a loop never reaches the frame routine, whose message
// pump turns SIGINT, SIGTERM and SIGHUP into a close; so the script checks
// for them itself. Ending here is safe: the end of program exits the process
// without returning into Lua, and its exit handlers save the configuration
// and line files, as after a close.
static void CheckEndRequest(lua_State*, lua_Debug*) {
    if (PlatformEndRequested()) EndProgram();
}

// With --script the script's folder becomes the current directory, so the
// names the script uses are taken from beside it.
static void EnterScriptFolder(const std::string& script) {
    size_t slash = script.rfind('/');
    if (slash == std::string::npos) return;
    std::string folder = slash == 0 ? "/" : script.substr(0, slash);
    if (!PlatformSetCurrentDirectory(folder.c_str()))
        std::fprintf(stderr, "revev: cannot enter the script's folder %s\n", folder.c_str());
}

static void CountFrame() {
    if (frameLimit > 0 && ++framesShown >= frameLimit) {
        engine.errorNumber = 0;
        engine.errorLine = engine.currentLine;
        EndProgram();
    }
}

static void CaptureFrame() { frameCaptured = ReadScreenPixels(lastFrame); }

// Runs at the program's end, whichever way it ends (the runtime's end of
// program exits the process).
static void SaveScreenshot() {
    if (!frameCaptured) {
        std::fprintf(stderr, "revev: no frame was shown; no screenshot saved\n");
    } else if (WriteScreenPixels(screenshotFile.c_str(), lastFrame) != 1.0) {
        std::fprintf(stderr, "revev: cannot write the screenshot %s\n", screenshotFile.c_str());
    }
}

// ---------------------------------------------------------------------------
// Public

void RunScriptFile(lua_State* L, const char* path) {
    int top = lua_gettop(L);
    if (luaL_loadfile(L, path) != 0) {
        ReportScriptError(L);
    } else if (lua_pcall(L, 0, LUA_MULTRET, 0) != 0) {
        ReportScriptError(L);
    }
    lua_settop(L, top);
}

lua_State* CreateLuaState() {
    lua_State* L = luaL_newstate();
    if (!L) return nullptr;
    // Each opener is called through Lua so that it runs with a proper stack.
    const lua_CFunction openers[] = {luaopen_string, luaopen_table, luaopen_math, luaopen_debug,
                                     luaopen_base};
    for (lua_CFunction open : openers) {
        lua_pushcfunction(L, open);
        lua_call(L, 0, 0);
    }
    lua_settop(L, 0);
    RegisterBindings(L);
    lua_sethook(L, CheckEndRequest, LUA_MASKCOUNT, kEndCheckInstructions);
    return L;
}

int RunApplication(const ApplicationOptions& options, const char* commandLine) {
    engine.screenHeight = 240;
    engine.screenWidth = 320;
    engine.fullscreen = 0;
    engine.multisampleCount = 0;
    engine.frameRateLimit = 60;
    engine.debugMode = 0;
    engine.exclusiveMouse = 0;

    if (!StartUp(commandLine, 1, "ReVev")) {
        std::fprintf(stderr, "revev: start-up failed: no window with an OpenGL context could be made\n");
        return 1;
    }
    engine.errorLine = 0;
    engine.errorNumber = 0;
    engine.currentLine = 0;
    SetAutoPause(0);
    // Start-up has found the program's own files (the font, the archive
    // records) beside the program; from here on names are the script's.
    if (options.scriptFolderIsCurrent) EnterScriptFolder(options.script);

    lua_State* L = CreateLuaState();
    if (!L) {
        std::fprintf(stderr, "revev: cannot create the Lua state\n");
        return 1;
    }

    // Every binding that is not a queued draw flushes the queue, and present
    // flushes it, so the program can batch its sprites and text.
    SetDrawBatching(true);
    frameLimit = options.frames;
    SetFrameHook(CountFrame);
    if (!options.screenshot.empty()) {
        screenshotFile = options.screenshot;
        SetPresentHook(CaptureFrame);
        std::atexit(SaveScreenshot);
    }
    for (;;) {
        RuntimeString script(options.script.c_str());
        RunScriptFile(L, script.Text());
        ShowScreen();
    }
}
