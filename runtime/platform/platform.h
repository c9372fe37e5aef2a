// The runtime's whole view of the operating system: window and OpenGL context,
// events, clock, keys, paths, message box and debugger. One SDL2 implementation
// lives beside this header; nothing else in the runtime includes SDL.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// ---------------------------------------------------------------------------
// Types

struct PlatformWindow;   // a top-level window that can carry an OpenGL context
struct PlatformGlContext;

// What the runtime asks of the pixel format. SDL fixes it when the window is
// created, so every window is created with the format it will carry.
struct PlatformPixelFormat {
    int colourBits = 0;   // 0: the desktop's depth
    int alphaBits = 0;
    int depthBits = 24;
    int stencilBits = 8;
    int samples = 0;      // 0: no multisample buffer
};

// Messages the window procedure receives, taken from the event queue.
enum class PlatformMessageKind {
    Close,            // close box or the window manager's close request
    Activate,         // state 0 inactive, 1 active
    SystemCommand,    // code in `value`
    EraseBackground,  // window exposed
    Other,
};

// System command codes, numbered as the window system numbers them.
constexpr int kSysCommandClose = 0xF060;
constexpr int kSysCommandScreenSave = 0xF140;
constexpr int kSysCommandMonitorPower = 0xF170;

struct PlatformMessage {
    PlatformMessageKind kind = PlatformMessageKind::Other;
    int value = 0;
};

enum class PlatformIcon { None, Information, Exclamation, Error };

// ---------------------------------------------------------------------------
// Life of the layer

// Brings up the video system. Without DISPLAY and WAYLAND_DISPLAY the offscreen
// driver is used. Returns false (and logs on stderr) when no video is possible.
bool PlatformInit();
void PlatformShutdown();
// True when the layer renders without any display (the offscreen driver).
bool PlatformIsHeadless();
// Lets freed memory stay with the program instead of going back to the
// system at once (PlatformInit calls it).
void PlatformKeepFreedMemory();

// ---------------------------------------------------------------------------
// Windows and display modes

// Creates a hidden window whose client area is w x h at (x, y) in desktop
// coordinates, able to carry a context of `format`. Null on failure.
PlatformWindow* PlatformCreateWindow(const char* caption, int x, int y, int w, int h,
                                     const PlatformPixelFormat& format);
void PlatformDestroyWindow(PlatformWindow* window);
void PlatformSetCaption(PlatformWindow* window, const char* caption);
std::string PlatformGetCaption(PlatformWindow* window);
void PlatformShowWindow(PlatformWindow* window, bool show);
bool PlatformWindowVisible(PlatformWindow* window);
void PlatformRaiseWindow(PlatformWindow* window);
void PlatformSetWindowTopmost(PlatformWindow* window, bool topmost);
void PlatformSetWindowBorder(PlatformWindow* window, bool bordered);
// Client rectangle in desktop coordinates. False when it cannot be read.
bool PlatformGetWindowRect(PlatformWindow* window, int& x, int& y, int& w, int& h);
void PlatformSetWindowRect(PlatformWindow* window, int x, int y, int w, int h);

// Desktop size and bits per pixel.
void PlatformDesktopSize(int& w, int& h, int& bitsPerPixel);
// Switches the display to w x h (and bitsPerPixel when not 0) for `window`
// fullscreen. False when the mode is refused.
bool PlatformSetDisplayMode(PlatformWindow* window, int w, int h, int bitsPerPixel);
// Leaves any fullscreen mode and restores the desktop mode.
void PlatformRestoreDisplayMode(PlatformWindow* window);
void PlatformBeep();

// ---------------------------------------------------------------------------
// OpenGL

PlatformGlContext* PlatformCreateGlContext(PlatformWindow* window);
bool PlatformMakeCurrent(PlatformWindow* window, PlatformGlContext* context);
void PlatformDeleteGlContext(PlatformGlContext* context);
void PlatformSwapBuffers(PlatformWindow* window);
// Entry point of a GL function by name; null when the driver lacks it.
void* PlatformGlProcAddress(const char* name);
// Extension names of the window-system binding, or null when it has none to list.
const char* PlatformWindowSystemExtensions();
// Whether a window with `format` (multisampled) can be made. Stands in for the
// window system's pixel-format chooser.
bool PlatformChooseMultisampleFormat(const PlatformPixelFormat& format);
// Samples and acceleration of the context current on the window.
int PlatformContextSamples();
bool PlatformContextAccelerated();

// ---------------------------------------------------------------------------
// Events and keys

// Takes one pending message for the windows, if any. Keyboard and mouse events
// are consumed on the way and update the layer's key state.
bool PlatformPeekMessage(PlatformMessage& message);
// Every read of messages or input asks the window system for new events,
// except inside a batch (nested batches are one): there only the first read,
// or PlatformAskForEvents, asks, and the others take what is already queued.
// A journaled run reads as it always did, batch or not.
void PlatformBatchEventReads(bool open);
void PlatformAskForEvents();
// How many times reads outside a journaled run have asked: for tests and benches.
uint64_t PlatformEventAsks();
// True while a request to end (SIGINT, SIGTERM, SIGHUP) waits for the pump,
// which turns it into a close message. Only reads a flag: cheap enough for
// code that cannot wait for the pump, such as a script caught in a loop.
bool PlatformEndRequested();
// Key state by DirectInput scan code (0..255).
bool PlatformKeyDown(int scanCode);
// Test hook: sets a key's state directly, with no event and so no change
// recorded below.
void PlatformInjectKey(int scanCode, bool down);
// Test hook: queues a message as if the window system had sent it.
void PlatformInjectMessage(const PlatformMessage& message);

// ---------------------------------------------------------------------------
// Input: keyboard, mouse and joysticks
//
// The layer keeps its own key, mouse and joystick state, fed from the events it
// takes from the queue (by the message pump, or by any read below), so events
// pushed into the queue by a test reach the commands as real ones do. Keys are
// DirectInput scan codes 0..255; virtual keys are the window system's
// virtual-key codes (1, 2, 4: mouse buttons; 'A'..'Z', '0'..'9' through the
// keyboard layout).

struct PlatformJoystick;

// Brings up the layer's input devices (joystick and force-feedback services
// included). False when there is no input system; the keyboard is then polled
// by virtual key and the mouse read from the cursor.
bool PlatformInputOpen();
void PlatformInputClose();
// Whether a keyboard and a mouse device can be created.
bool PlatformKeyboardAvailable();
bool PlatformMouseAvailable();

// Takes the keyboard for the program. False when it cannot be had.
bool PlatformAcquireKeyboard();
// Copies the key state into state (bit 7 set = down). False, with state left
// alone, when the keyboard is not acquired.
bool PlatformReadKeyboard(uint8_t state[256]);
// Key changes in the order the events came: a press and its release both
// stay on record after the state shows the key up again, so a reader can tell
// a tap that began and ended between two of its reads. Key repeat is no change.
struct PlatformKeyChange {
    uint8_t key = 0;  // DirectInput scan code
    bool down = false;
};
// Moves up to max of the recorded changes, oldest first, into changes and
// returns how many. The record keeps the latest 1024; older ones are dropped.
int PlatformTakeKeyChanges(PlatformKeyChange* changes, int max);
// Key presses and mouse button presses taken from the events so far (repeats
// not counted): a wait that sees the count move knows something was pressed
// even when it was let go before the wait looked.
uint64_t PlatformPressCount();
// The keys (at most two) the polling path reads for a virtual-key code;
// returns how many.
int PlatformVirtualKeyKeys(int virtualKey, int keys[2]);
// Polling path: whether the key (or mouse button) of a virtual-key code is down.
// Codes the layer cannot map are never down.
bool PlatformVirtualKeyDown(int virtualKey);
// The layer's whole virtual-key state, indexed by code (bit 7 set = down).
void PlatformReadVirtualKeys(uint8_t state[256]);
// The character that key produces on the keyboard layout without modifiers
// (Latin-1), or 0 when it produces none.
int PlatformKeyCharacter(int key);

// Takes the mouse: exclusive hides the cursor and reports relative movement
// only (relative mode where the video driver has one). False when it cannot be had.
bool PlatformAcquireMouse(PlatformWindow* window, bool exclusive);
void PlatformUnacquireMouse();
// Movement since the last read (wheel: notches, positive away from the user)
// and buttons left, right, middle (0x80 = down). False when not acquired.
struct PlatformMouseReading {
    int moveX = 0, moveY = 0, wheel = 0;
    uint8_t buttons[3] = {0, 0, 0};
};
bool PlatformReadMouse(PlatformMouseReading& reading);
// The cursor in client coordinates of window, and in desktop coordinates.
void PlatformCursorPosition(PlatformWindow* window, int& x, int& y);
void PlatformCursorScreenPosition(PlatformWindow* window, int& x, int& y);
// Moves the cursor (client or desktop coordinates).
void PlatformSetCursorPosition(PlatformWindow* window, int x, int y);
void PlatformSetCursorScreenPosition(PlatformWindow* window, int x, int y);
// Shows the system arrow cursor, or hides it.
void PlatformShowCursor(bool shown);

// A joystick reading: six axes (-32768..32767), two sliders, four hats in
// hundredths of a degree clockwise from up (-1 centred), 32 buttons (0x80 = down).
struct PlatformJoystickState {
    int32_t axes[6] = {0, 0, 0, 0, 0, 0};
    int32_t sliders[2] = {0, 0};
    int32_t hats[4] = {-1, -1, -1, -1};
    uint8_t buttons[32] = {};
};
// Attached joysticks, numbered 0..count-1.
int PlatformJoystickCount();
// Opens joystick `index`; null when it cannot be opened.
PlatformJoystick* PlatformOpenJoystick(int index);
void PlatformCloseJoystick(PlatformJoystick* joystick);
// The device's instance name and product name.
std::string PlatformJoystickInstanceName(PlatformJoystick* joystick);
std::string PlatformJoystickProductName(PlatformJoystick* joystick);
// The product name of joystick `index` without opening it; empty when none.
std::string PlatformJoystickIndexName(int index);
// Polls and reads an open joystick. False (state left alone) when it is gone.
bool PlatformReadJoystick(PlatformJoystick* joystick, PlatformJoystickState& state);
// Reads joystick `index` without a device of the program's own. False when none.
bool PlatformReadJoystickIndex(int index, PlatformJoystickState& state);
// Whether the joystick can play a constant force.
bool PlatformJoystickHasForce(PlatformJoystick* joystick);
// Drops the joystick's effects and plays one constant force once: direction
// (dx, dy) each -32767..32767, level 0..10000, duration in milliseconds.
bool PlatformJoystickPlayForce(PlatformJoystick* joystick, int dx, int dy, int level,
                               int durationMs);

// Test hooks. Faults make the layer refuse what the flags name.
enum : unsigned {
    kInputFaultNoInputSystem = 1,
    kInputFaultNoKeyboard = 2,
    kInputFaultKeyboardAcquire = 4,
    kInputFaultMouseAcquire = 8,
};
void PlatformSimulateInputFaults(unsigned faults);
// Push real events into the queue: a key (DirectInput scan code), a mouse
// motion to client point (x, y) with movement (dx, dy), a button (1 left,
// 2 middle, 3 right), a wheel turn. A key event with repeat is the window
// system's key repeat of a held key.
void PlatformPushKeyEvent(int key, bool down, bool repeat = false);
void PlatformPushMouseMotion(PlatformWindow* window, int x, int y, int dx, int dy);
void PlatformPushMouseButton(PlatformWindow* window, int button, bool down);
void PlatformPushMouseWheel(PlatformWindow* window, int notches);
// Attaches a virtual joystick (8 axes, 32 buttons, 4 hats); returns its id
// for the setters below, or -1.
int PlatformAttachVirtualJoystick(const char* name);
void PlatformSetVirtualAxis(int id, int axis, int value);
void PlatformSetVirtualButton(int id, int button, bool down);
// hundredths of a degree clockwise from up, -1 centred; diagonals at 4500 steps.
void PlatformSetVirtualHat(int id, int hat, int position);
// Detaches every virtual joystick the hooks attached.
void PlatformDetachVirtualJoysticks();

// ---------------------------------------------------------------------------
// Clock

// High-resolution counter; frequency 0 when there is none.
uint64_t PlatformCounterFrequency();
uint64_t PlatformCounter();
// Millisecond tick of the coarse timer.
uint32_t PlatformTickMilliseconds();
void PlatformSleep(int milliseconds);
// Sleeps at least the given time, with wake-ups as close to it as the system
// allows (no timer slack); 0 or less returns at once.
void PlatformSleepMicroseconds(int64_t microseconds);
void PlatformTimerBeginPeriod(int milliseconds);
void PlatformTimerEndPeriod(int milliseconds);

// ---------------------------------------------------------------------------
// Files, paths, process

// The user's temporary directory, always ending in "/".
std::string PlatformTempDirectory();
// Full path of the running program file.
std::string PlatformProgramPath();
std::string PlatformGetCurrentDirectory();
bool PlatformSetCurrentDirectory(const char* path);

// Starts a program from its words (the first names it, searched on PATH when
// it has no slash), with the caller's environment and directory and no shell.
// Returns its process id, or 0 when it cannot be started.
int64_t PlatformSpawnProcess(const std::vector<std::string>& arguments);
// Waits for a started program until it ends or a request to end the program
// arrives (PlatformEndRequested); exitCode is its exit status (128 plus the
// signal number when a signal ended it). False when it cannot be waited for
// or the wait gave way to an end request (exitCode 0); in that case the
// program goes on running and the layer reaps it if it ends before we do.
bool PlatformWaitProcess(int64_t process, int& exitCode);
// Gives up a started program that will not be waited for; the layer reaps it.
void PlatformReleaseProcess(int64_t process);
// Reaps the given-up programs that have ended, without waiting; the frame
// routine calls it every frame so that none stays behind as a zombie.
void PlatformReapProcesses();
// Runs a program to its end with its standard output taken into `output`.
// False when it cannot be started, or when an end request arrives first (the
// program is then given up, as above).
bool PlatformRunCapture(const std::vector<std::string>& arguments, std::string& output,
                        int& exitCode);
// Whether a program of that name is found on PATH (or at that path).
bool PlatformFindProgram(const char* name);
// Whether a display (X11 or Wayland) is named in the environment, for helpers
// that open windows of their own.
bool PlatformDisplayPresent();

// ---------------------------------------------------------------------------
// Messages to the user and the debugger

// Shows a message box; with no display it writes caption and text to stderr and
// returns at once.
void PlatformMessageBox(const char* caption, const char* text, PlatformIcon icon);
// True when a tracer (debugger) is attached to the process.
bool PlatformDebuggerAttached();
// Sends text to the attached debugger's output.
void PlatformDebugOutput(const char* text);

// ---------------------------------------------------------------------------
// Dynamic libraries

struct PlatformLibrary;

// Loads a dynamic library by file name (searched the system's usual way).
// Null when it cannot be loaded.
PlatformLibrary* PlatformLoadLibrary(const char* name);
// Address of an exported symbol; null when the library has no such export.
void* PlatformLibrarySymbol(PlatformLibrary* library, const char* symbol);
// Releases a library loaded by PlatformLoadLibrary. Null is ignored.
void PlatformFreeLibrary(PlatformLibrary* library);

// ---------------------------------------------------------------------------
// Audio

struct PlatformSound;  // PCM held in the device's format; any voice can play it

// Layout of PCM handed to the layer: interleaved little-endian frames, 8-bit
// samples unsigned, 16-bit samples signed.
struct PlatformPcmFormat {
    int channels = 0;          // 1 or 2
    int samplesPerSecond = 0;
    int bitsPerSample = 0;     // 8 or 16
};

// Opens the audio device (the driver SDL_AUDIODRIVER names, else the system's)
// for 16-bit output of `channels` channels at `frequency` Hz, with `voices`
// voices numbered from 0 for sounds and one music player. False when no device
// can be opened; the layer then stays closed and every call below fails.
bool PlatformAudioOpen(int frequency, int channels, int voices);
// Stops the voices and the music and closes the device. Safe when closed.
void PlatformAudioClose();
bool PlatformAudioIsOpen();

// Converts `bytes` bytes of PCM in `format` into the device's format (rate,
// sample size and channels). Null when the layer is closed, the format is not
// one it takes, or there are no whole frames.
PlatformSound* PlatformSoundCreate(const PlatformPcmFormat& format, const void* data, size_t bytes);
// Stops every voice playing `sound`, then frees it. Null is ignored.
void PlatformSoundFree(PlatformSound* sound);

// Plays `sound` once from its start on `voice`, the left and right outputs
// scaled by linear gains 0..1. Stops whatever the voice played. False when the
// voice or sound is unusable or the start fails.
bool PlatformVoicePlay(int voice, PlatformSound* sound, float leftGain, float rightGain);
// True while `voice` is playing; false for unusable voices.
bool PlatformVoicePlaying(int voice);
// Stops `voice`; its next play starts from the beginning.
void PlatformVoiceStop(int voice);

// Streams the music file at `path` (the formats the installed decoders know),
// repeating for ever; whatever music played before is stopped and freed.
// False when the layer is closed or the file cannot be played.
bool PlatformMusicPlay(const char* path);
// Music level, linear 0..1.
void PlatformMusicVolume(float volume);
// Stops and frees the music. Safe when none plays.
void PlatformMusicStop();
bool PlatformMusicPlaying();

// The audio stream: PCM the program feeds as it goes (a video's sound track),
// added to the output after the voices and the music. Opens on the open
// device and gives its format; false when there is no device.
bool PlatformAudioStreamOpen(int& frequency, int& channels);
// Stops adding the stream and drops what is queued. Safe when not open.
void PlatformAudioStreamClose();
// Appends `frames` frames of 16-bit samples in the device's channel count.
void PlatformAudioStreamQueue(const int16_t* samples, size_t frames);
// Drops what is queued and sets the stream's clock back to 0.
void PlatformAudioStreamClear();
size_t PlatformAudioStreamQueuedFrames();
// Seconds of the stream the device has played since the open or the last clear.
double PlatformAudioStreamSeconds();
