// Start-up: the settings become a window with its context, then the run-time
// objects are created in their fixed order and a first frame is shown.
#include <cstdio>

#include "core/core_internal.h"
#include "files/archive.h"
#include "gfx2d/gfx2d.h"
#include "gfx3d/gfx3d.h"
#include "input/input.h"
#include "net/net.h"
#include "platform/journal.h"
#include "sound/sound.h"
#include "strings/mathematics.h"
#include "strings/script_numbers.h"

// ---------------------------------------------------------------------------
// Internal helpers

// The program's directory: the program path cut before its last separator,
// searched from the end down to the second character.
static std::string ProgramDirectory(const std::string& programPath) {
    for (size_t i = programPath.size(); i-- > 1;) {
        if (programPath[i] == '/' || programPath[i] == '\\') return programPath.substr(0, i);
    }
    return programPath;
}

// ---------------------------------------------------------------------------
// Public

void SetAutoPause(double on) { engine.autoPause = on != 0.0 ? 1 : 0; }
void SetEscapeEndsProgram(double on) { engine.escapeEndsProgram = on != 0.0 ? 1 : 0; }
PlatformWindow* GetMainWindow() { return engine.mainWindow; }

bool StartUp(const char* commandLine, int showCommand, const char* title) {
    engine.commandLine = commandLine ? commandLine : "";
    if (!PlatformInit()) return false;

    // Steps 1 to 3: the screen object, its window and context.
    engine.autoPause = 1;
    engine.screen = new OpenGLZadudedo();
    if (!CreateWindowAndContext(nullptr, engine.screenWidth, engine.screenHeight, 0,
                                engine.frameRateLimit, engine.multisampleCount)) {
        delete engine.screen;
        engine.screen = nullptr;
        return false;
    }
    OpenGLZadudedo& screen = *engine.screen;

    // Step 4: the main window and its caption.
    engine.mainWindow = screen.window;
    PlatformSetCaption(screen.window, title);
    engine.windowTitle = title;

    // Step 5: a fresh error log.
    ErrorLogDelete();

    // Step 6: the input object, the sound object with the 256 sound-buffer
    // slots, the network record and the 3D engine object.
    CreateInput();
    SoundCreate();
    NetworkCreate();
    Create3DEngine();

    // Step 7: the random generator, seeded from the clock.
    RandomSeed((double)(int32_t)JournalSeed((uint32_t)TruncateToInt(NowMilliseconds())));

    // Step 8: the display mode of the settings.
    if (engine.fullscreen) FullscreenSwitch(screen);
    else WindowedSwitch(screen);

    // Step 9: input and sound initialise on the window.
    InitialiseInput(engine.mainWindow, engine.exclusiveMouse != 0);
    InputSetWindow(screen.window);
    SoundInitialise(engine.mainWindow);

    // Step 10.
    engine.currentFont = 0;

    // Step 11: the program's directory becomes the current directory, and both
    // data-archive records point at it.
    std::string directory = ProgramDirectory(PlatformProgramPath());
    PlatformSetCurrentDirectory(directory.c_str());
    DataArchivesCreate();
    SetDataArchives(directory.c_str(), directory.c_str());

    // Step 12: a black screen.
    BlackScreen();

    // Step 13.
    engine.frameTimeNow = engine.frameTimePrevious = engine.startTime = NowMilliseconds();

    // Step 14: present once, then the GL defaults.
    Present(screen);
    ApplyGlDefaults(screen, 0, 0, 0, 0);

    // Steps 15 and 16: font 0 (built-in, then "smalfont.bmp") and the
    // "Loading..." frame.
    double screenWidth, screenHeight, charWidth, charHeight;
    GetScreenSize(screenWidth, screenHeight);
    LoadFont("", 0);
    LoadFont("smalfont.bmp", 0);
    GetFontSize(charWidth, charHeight);
    Print("Loading...", (screenWidth - 10 * charWidth) / 2, (screenHeight - charHeight) / 2);
    ShowScreen();

    // Step 17.
    engine.paused = 0;
    PlatformTimerBeginPeriod(1);

    // Step 18: the program carries no cursor resource.

    // Step 19.
    engine.frameTimeNow = engine.frameTimePrevious = engine.startTime = NowMilliseconds();

    // Step 20: a show command of 0 hides the window.
    if (showCommand == 0) HideWindow(screen);

    // Step 21: the mouse mode of the input object.
    SetMouseMode(engine.exclusiveMouse == 0);

    // Step 22.
    std::printf("Init OK\n");
    std::fflush(stdout);
    return true;
}
