// The runtime core: the process-wide engine state, the screen object, start-up,
// the window and its OpenGL context, the frame routine with its pacing and
// timers, and the one end of the program with the error log.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "strings/runtime_string.h"

// ---------------------------------------------------------------------------
// Types

struct InputDevices;
struct SoundDevice;
struct SoundBuffer;
struct NetworkRecord;
class Zadudedo3D;
struct DataArchive;
struct SpriteStore;

// The screen object: the window, its OpenGL context and the frame pacing.
// The sprite store of the 2D graphics hangs off `sprites`.
class OpenGLZadudedo {
public:
    OpenGLZadudedo();
    // Releases surfaces and textures, returns to windowed mode, destroys the
    // window and deletes the rendering context.
    virtual ~OpenGLZadudedo();

    PlatformWindow* window = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    int32_t colourBits = 0;
    uint8_t fullscreenActive = 0;
    int32_t multisampleInForce = 0;
    int32_t viewport[4] = {0, 0, 0, 0};  // x, y, w, h from the top-left corner
    uint8_t glReady = 0;
    double nextFrameDeadline = 0;
    double framePeriod = 0;
    double counterFrequency = 0;
    int32_t hasCounter = 0;
    void* instance = nullptr;
    PlatformGlContext* glContext = nullptr;

    SpriteStore* sprites = nullptr;
};

// The engine state: start-up settings, run-time flags, clock readings, trace
// values and the run-time objects. One instance, `engine`.
struct EngineGlobals {
    // Start-up settings, written by the application before StartUp.
    int32_t screenWidth = 0;
    int32_t screenHeight = 0;
    int32_t frameRateLimit = 0;
    int32_t fullscreen = 0;
    int32_t multisampleCount = 0;
    int32_t exclusiveMouse = 0;
    int32_t debugMode = 0;

    // Run-time flags and values.
    uint8_t autoPause = 0;
    uint8_t paused = 0;
    uint8_t escapeEndsProgram = 1;
    RuntimeString windowTitle;
    PlatformWindow* mainWindow = nullptr;
    RuntimeString commandLine;
    int32_t currentFont = 0;
    double frameTimeNow = 0;
    double frameTimePrevious = 0;
    double startTime = 0;

    // Trace values printed by the end trace.
    double errorNumber = 0;
    double errorLine = 0;
    double currentFile = 0;
    double currentLine = 0;

    // Run-time objects: null until start-up creates them.
    OpenGLZadudedo* screen = nullptr;
    InputDevices* input = nullptr;
    SoundDevice* sound = nullptr;
    SoundBuffer* soundBuffers = nullptr;
    NetworkRecord* network = nullptr;
    Zadudedo3D* scene3D = nullptr;
    DataArchive* dataArchives = nullptr;
};

extern EngineGlobals engine;

// The extension entry points of the context, each null when the driver lacks it.
struct GlExtensions {
    // Multitexture and buffer objects.
    void (*glActiveTextureARB)(unsigned) = nullptr;
    void (*glMultiTexCoord2fARB)(unsigned, float, float) = nullptr;
    void (*glClientActiveTextureARB)(unsigned) = nullptr;
    void (*glGenBuffersARB)(int, unsigned*) = nullptr;
    void (*glBindBufferARB)(unsigned, unsigned) = nullptr;
    void (*glBufferDataARB)(unsigned, std::ptrdiff_t, const void*, unsigned) = nullptr;
    void (*glDeleteBuffersARB)(int, const unsigned*) = nullptr;
    void* (*glMapBufferARB)(unsigned, unsigned) = nullptr;
    unsigned char (*glUnmapBufferARB)(unsigned) = nullptr;
    void (*glGetBufferParameterivARB)(unsigned, unsigned, int*) = nullptr;
    // Shader objects.
    unsigned (*glCreateProgramObjectARB)() = nullptr;
    void (*glDeleteObjectARB)(unsigned) = nullptr;
    unsigned (*glCreateShaderObjectARB)(unsigned) = nullptr;
    void (*glShaderSourceARB)(unsigned, int, const char**, const int*) = nullptr;
    void (*glCompileShaderARB)(unsigned) = nullptr;
    void (*glGetObjectParameterivARB)(unsigned, unsigned, int*) = nullptr;
    void (*glAttachObjectARB)(unsigned, unsigned) = nullptr;
    void (*glGetInfoLogARB)(unsigned, int, int*, char*) = nullptr;
    void (*glLinkProgramARB)(unsigned) = nullptr;
    void (*glUseProgramObjectARB)(unsigned) = nullptr;
    int (*glGetUniformLocationARB)(unsigned, const char*) = nullptr;
    void (*glUniform1fARB)(int, float) = nullptr;
    void (*glUniform1iARB)(int, int) = nullptr;
};

extern GlExtensions glExt;

// ---------------------------------------------------------------------------
// Start-up (startup.cpp)

// Turns the settings into a window with its context and creates the run-time
// objects, in the fixed order. Returns false when the window or context could
// not be made; nothing else then exists.
bool StartUp(const char* commandLine, int showCommand, const char* title);
// Setters of the two flags: 1 when the number is not 0.0 (NaN counts as not 0).
void SetAutoPause(double on);
void SetEscapeEndsProgram(double on);
PlatformWindow* GetMainWindow();

// ---------------------------------------------------------------------------
// Clock (clock.cpp)

// Now in milliseconds: the high-resolution counter when there is one, else the
// millisecond tick.
double NowMilliseconds();
// Test hook: replaces the clock (null restores the platform clock).
void SetClockSource(double (*now)());
// True while the platform clock is in use (no test clock is set).
bool ClockIsPlatform();
// The same clock, live and never journaled: for the wait for the next frame,
// whose readings only pace and never reach the script.
double PacingMilliseconds();

// ---------------------------------------------------------------------------
// Record and replay (replay.cpp)

// Starts a journal before start-up: recording into `journal`, which notes the
// script's name, size and hash; or replaying it at `speed` (1 as recorded, 0
// no pacing) up to frame `untilFrame` (0: the recording's end), where the
// window is held, or the program ends when `endAtUntil`. An empty `script`
// becomes the one the journal was recorded with. False, with the reason in
// error, when the journal cannot be written or read.
bool BeginRecording(const std::string& journal, const std::string& script, const std::string& arguments,
                    std::string& error);
bool BeginReplay(const std::string& journal, std::string& script, double speed, long untilFrame, bool endAtUntil,
                 std::string& error);
// After a frame is shown: marks it in the journal, or, replaying, ends the
// program or holds the window where the journal says.
void JournalFrameShown();

// ---------------------------------------------------------------------------
// Window and context (window.cpp, gl_defaults.cpp)

bool CreateWindowAndContext(void* instance, int width, int height, int colourBits,
                            int frameRate, int multisample);
bool WindowedSwitch(OpenGLZadudedo& screen);
bool FullscreenSwitch(OpenGLZadudedo& screen);
bool ApplyMode(OpenGLZadudedo& screen, int width, int height, int colourBits, int fullscreen);
void HideWindow(OpenGLZadudedo& screen);
// The 2D defaults: viewport from the top-left corner, orthographic projection,
// y downward. w or h of 0 or less mean the whole window.
void ApplyGlDefaults(OpenGLZadudedo& screen, int x, int y, int w, int h);
// Script commands.
void SetScreen(double width, double height, double fullscreen);
void GetScreenSize(double& width, double& height);
void SetViewport(double x, double y, double w, double h);
void SetFrameRate(double framesPerSecond);
// The window procedure: handles one message. Returns the message's result.
int WindowProcedure(const PlatformMessage& message);

// The multisample counts tried for a request: n, n/2, ... down to 1. The
// chooser answers whether a count is available; returns the count found or 0.
int ChooseMultisampleCount(int requested, bool (*choose)(int samples));
// Whole-word search of an extension name in a blank-separated list.
bool HasExtensionWord(const char* list, const char* name);
// Whether the renderer counts as software.
bool IsSoftwareRenderer(bool acceleratedFormat, const char* renderer);

// Hooks run when the context and window are torn down for re-creation or at
// shutdown, so the sprite store can drop its textures first.
void SetTextureReleaseHook(void (*release)(OpenGLZadudedo& screen));

// ---------------------------------------------------------------------------
// Frame routine (frame.cpp)

// Shows the frame, paces to the frame rate, dispatches messages, refreshes
// input and ends the program on ESC or Alt+F4.
void ShowScreen();
// Presents the back buffer and waits for the next deadline of the frame grid.
// Returns the milliseconds spent waiting plus 1.
double Present(OpenGLZadudedo& screen);
// Dispatches every waiting message. Returns 1.
int MessagePump(OpenGLZadudedo& screen);
// Milliseconds between the last two frames (1.0 when not positive).
double FrameDuration();
// Milliseconds since start-up.
double RunningTime();
// Test hook: called after each ShowScreen, e.g. to end after N frames.
void SetFrameHook(void (*hook)());
// Called in Present just before the swap, with the frame to be shown in the
// back buffer (any off-screen surface already ended); null for none.
void SetPresentHook(void (*hook)());

// ---------------------------------------------------------------------------
// End of program and error log (shutdown.cpp, errorlog.cpp)

// Full path of "ErrorLog.txt" in the temporary directory.
std::string ErrorLogPath();
// Appends one line (CR LF ended); silently drops it when the file cannot open.
void ErrorLogAppend(const char* text);
void ErrorLogDelete();

// ---------------------------------------------------------------------------
// Load failures (load_failures.cpp)
//
// A load that fails keeps the result it always had, and also says why on
// stderr: "revev: NAME: REASON (COMMAND, FILE:LINE)", once per name and
// command, so that a load repeated every frame writes one line. The reader
// that refuses the file notes the reason; the command that was given the
// name reports it.

// Forgets any reason noted so far; a command calls it before it loads.
void BeginLoad();
// Notes why the load under way failed: a short fixed text ("no such file",
// "damaged", "too large", ...). The first note since BeginLoad stands, as
// the reader nearest the bytes knows best.
void NoteLoadFailure(const char* reason);
// Writes that loading `name` failed, for the noted reason ("cannot be read"
// when none was noted), unless the same name failed under the same command
// before; then forgets the reason.
void ReportLoadFailure(const char* name);
// Set by the front: fills the command the script called and where the script
// called it ("main.lua:2", may stay empty); false when no script command is
// running. Without a context, reports name no command.
void SetLoadFailureContext(bool (*context)(std::string& command, std::string& where));

// Position operation: the source file and line being run.
void SetPosition(double file, double line);
// Records a fatal error; returns its number. Callers then call EndProgram.
double FatalError(double number);
// Records a fatal error and ends the program.
[[noreturn]] void RuntimeError(int number);
// Shuts the runtime down in the fixed order, writes the end trace in debug
// mode and exits the process with code 0 (exit handlers run). When another
// thread has claimed the end (ClaimProgramEnd), waits for that thread to exit
// the process instead.
[[noreturn]] void EndProgram();
// Claims the one end of the program for the calling thread: true for the
// first thread to ask (and again for that thread), false once another thread
// has it. A thread that ends the program apart from EndProgram claims it
// first, so that two ends never run at once.
bool ClaimProgramEnd();
// Appends the end trace to the error log when debugMode is set.
void WriteEndTrace();
// Releases every run-time object in the fixed order.
void Shutdown();
// Reports a breakpoint number to an attached debugger; nothing otherwise.
void BreakpointReport(int number);

// ---------------------------------------------------------------------------
// File dialog and other programs (dialogs.cpp, programs.cpp)

// One entry of a dialog's filter list: its description and its patterns,
// blank-separated ("*.png *.bmp").
struct FileDialogFilter {
    std::string description;
    std::string patterns;
};
// The "|"-separated filter text (description, patterns, description, ...;
// patterns ";"-separated) as a list of entries. Entries without patterns are left out.
std::vector<FileDialogFilter> ParseDialogFilter(const char* filter);
// The words that run `helper` ("zenity" or "kdialog") as an open or save
// dialog starting in `directory`, with the filter's entries.
std::vector<std::string> FileDialogCommand(const std::string& helper, const char* filter,
                                           bool open, const std::string& directory);
// Asks for a file name with the system's dialog (open when `open` is not 0.0,
// else save), the game window hidden meanwhile and shown again in the mode of
// the settings. Returns the path with forward slashes, or "NO_FILE" for a
// cancel, a failed dialog, or no helper or no display.
RuntimeString FileDialog(const RuntimeString& filter, double open);
// Splits a command line into words: blanks separate, single quotes keep text
// as it is, double quotes keep it but for \" \\ and \$, a backslash
// outside quotes takes the next character. False for an unclosed quote or a
// trailing backslash.
bool SplitCommandLine(const char* line, std::vector<std::string>& words);
// Starts the command line as a new program with the caller's environment and
// directory; with `wait` not 0.0, waits for its end and puts its exit code in
// `exitCode`. `show` has no effect. Returns 1.0 when the program started;
// 0.0 (exit code 0) when it cannot be started or the line is empty or malformed.
double RunProgram(const RuntimeString& commandLine, double wait, double show, double& exitCode);
