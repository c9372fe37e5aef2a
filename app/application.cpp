// The application loop: start-up, one Lua state, then load and run the script
// and show the frame, for ever.
#include "application.h"

#include <cstdio>
#include <cstdlib>

#include "core/engine.h"
#include "end_watch.h"
#include "error_banner.h"
#include "files/archive.h"
#include "gfx2d/gfx2d.h"
#include "platform/journal.h"
#include "platform/platform.h"
#include "script_place.h"

// ---------------------------------------------------------------------------
// State

static long frameLimit = 0;
static long framesShown = 0;

// --screenshot: every frame is read back just before it is shown (the swap
// leaves the back buffer undefined), and the last one is written at the end.
static std::string screenshotFile;
static ScreenPixels lastFrame;
static bool frameCaptured = false;

// ---------------------------------------------------------------------------
// Internal helpers

// With --script the script's folder becomes the current directory, so the
// names the script uses are taken from beside it.
static void EnterScriptFolder(const std::string& script) {
    size_t slash = script.rfind('/');
    if (slash == std::string::npos) return;
    std::string folder = slash == 0 ? "/" : script.substr(0, slash);
    if (!PlatformSetCurrentDirectory(folder.c_str()))
        std::fprintf(stderr, "revev: cannot enter the script's folder %s\n", folder.c_str());
}

// The folder require looks in: a packed game's folder, else the script's.
static std::string ModuleFolderOf(const ApplicationOptions& options) {
    if (!options.workFolder.empty()) return options.workFolder;
    const std::string& script = options.script;
    size_t slash = script.rfind('/');
    std::string folder = slash == std::string::npos ? std::string() : script.substr(0, slash + 1);
    if (!folder.empty() && folder[0] == '/') return folder;
    return PlatformGetCurrentDirectory() + "/" + folder;
}

static void CountFrame() {
    if (frameLimit > 0 && ++framesShown >= frameLimit) {
        engine.errorNumber = 0;
        engine.errorLine = engine.currentLine;
        EndProgram();
    }
}

// Just before each swap: the error banner goes over the script's frame, and
// the screenshot takes the frame as shown.
static void BeforePresent() {
    DrawErrorBanner();
    if (!screenshotFile.empty()) frameCaptured = ReadScreenPixels(lastFrame);
}

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
    if (!options.workFolder.empty()) {
        if (!PlatformSetCurrentDirectory(options.workFolder.c_str()))
            std::fprintf(stderr, "revev: cannot enter the game's folder %s\n", options.workFolder.c_str());
    } else if (options.scriptFolderIsCurrent) {
        EnterScriptFolder(options.script);
    }
    if (!options.dataArchive.empty()) SetDataArchives(options.dataArchive.c_str(), options.dataArchive.c_str());
    SetModuleFolder(ModuleFolderOf(options));

    lua_State* L = CreateLuaState();
    if (!L) {
        std::fprintf(stderr, "revev: cannot create the Lua state\n");
        return 1;
    }
    SetLuaMemoryLimit(L, options.luaMemoryLimit);

    // Every binding that is not a queued draw flushes the queue, and present
    // flushes it, so the program can batch its sprites and text.
    SetDrawBatching(true);
    frameLimit = options.frames;
    SetFrameHook(CountFrame);
    EnableErrorBanner(options.errorBanner && !PlatformIsHeadless());
    SetLoadFailureContext(LoadFailureContext);
    SetPresentHook(BeforePresent);
    if (!options.screenshot.empty()) {
        screenshotFile = options.screenshot;
        std::atexit(SaveScreenshot);
    }
    StartEndWatchdog(screenshotFile.empty() ? nullptr : SaveScreenshot);
    for (;;) {
        RuntimeString script(options.script.c_str());
        JournalScriptPass(true);
        RunScriptFile(L, script.Text());
        JournalScriptPass(false);
        ShowScreen();
    }
}
