// Input: the input object with the keyboard, mouse and joystick devices, the
// key, mouse and joystick commands, the key and mouse waits, the idle wait step
// of the frame routine, and text entry. Keys are DirectInput scan codes 0..255.
#pragma once

#include <cstdint>

#include "platform/platform.h"
#include "strings/runtime_string.h"

// ---------------------------------------------------------------------------
// Types

constexpr int kMaxJoysticks = 10;
constexpr int kJoystickNameSize = 522;

// The input object: one instance, `engine.input`, created at start-up.
struct InputDevices {
    InputDevices();
    virtual ~InputDevices();

    int32_t mouseX = 100, mouseY = 100;  // the runtime's mouse, client pixels
    bool directInput = false;            // the layer's input system is up
    bool keyboardDevice = false;         // false: keys are polled by virtual key
    bool mouseDevice = false;            // false: the mouse is read from the cursor
    PlatformJoystick* joystickDevices[kMaxJoysticks] = {};
    char joystickNames[kMaxJoysticks][kJoystickNameSize] = {};
    uint8_t keyState[256] = {};          // bit 7 set = down
    PlatformWindow* window = nullptr;
    uint8_t cursorShown = 0;             // 1: cursor visible, mouse shared
    int32_t mouseCooperation = 0;        // 5 exclusive, 6 shared
    int32_t joystickCount = 0;
    uint8_t justRefreshed = 1;           // the next mouse read measures anew
    int16_t lastMoveX = 0, lastMoveY = 0, lastWheel = 0;
    uint16_t keyTranslation[256] = {};   // virtual key polled per key number
};

// The mouse reading record: buttons non-zero when down, movement, wheel -1..1.
struct MouseReading {
    int16_t left = 0, right = 0, middle = 0;
    int16_t moveX = 0, moveY = 0, wheel = 0;
};

// The joystick reading record, laid out as the 80-byte device state. An empty
// record has its hats centred, so an absent joystick points nowhere.
struct JoystickReading {
    int32_t x = 0, y = 0, z = 0;
    int32_t rotationX = 0, rotationY = 0, rotationZ = 0;
    int32_t sliders[2] = {0, 0};
    int32_t pov[4] = {-1, -1, -1, -1};  // hundredths of a degree, -1 centred
    uint8_t buttons[32] = {};        // bit 7 set = pressed
};
static_assert(sizeof(JoystickReading) == 80, "the joystick record is 80 bytes");

// ---------------------------------------------------------------------------
// Life of the input object (devices.cpp)

// Start-up step 6: creates `engine.input` with no devices.
void CreateInput();
// Start-up step 9: takes the devices for window; exclusive takes the mouse
// and hides the cursor. Failures go to the error log ("No DX_Input",
// "No DX_KB", "No DX_Mouse"); the object then falls back to polling.
// Returns false without an input object.
bool InitialiseInput(PlatformWindow* window, bool exclusive);
// The devices follow a new window (start-up, SetScreen).
void InputSetWindow(PlatformWindow* window);
// Switches between the shown (shared) and hidden (exclusive) mouse. Nothing
// when the mode is already the wanted one.
void SetMouseMode(bool shown);
// Shutdown step 4: shown mode, every device released, `engine.input` deleted.
void DestroyInput();

// ---------------------------------------------------------------------------
// Keyboard and mouse state (devices.cpp; forgetting changes: key_frames.cpp)

// Reads the keyboard into keyState for a command. Nothing without an input
// object. A key pressed and released before any command read saw it down (a
// tap) reads as down until the end of the frame that follows the tap.
void RefreshKeyboard();
// What the frame routine and the waits do each pass: refresh the keyboard,
// end the frame for the keys and set the just-refreshed mark.
void InputRefresh();
// Whether key (0..255) was down, or tapped, at the last refresh; false out of range.
bool InputKeyDown(int key);
// Drops the key changes not yet read, as seen: the press that ended a video
// was the video's and is not reported to the script afterwards.
void InputForgetKeyChanges();
// Forgets the changes come in since, then tells whether a key pressed in the
// forgotten changes is still held (so the caller can wait for its release).
bool InputForgottenKeyHeld();
// Reads the mouse into the record and moves the runtime's mouse. Returns 0
// (record zeroed) when the mouse device had to be taken again, else 1.
int ReadMouse(MouseReading& reading);

// ---------------------------------------------------------------------------
// Keyboard commands (keyboard.cpp; pressed and released: key_frames.cpp)

// Key test: the key number is the number's low 8 bits; refreshes the keyboard
// and returns 1.0 when the key is down (or was tapped since the last frame),
// else 0.0.
double KeyTest(double key);
// 1.0 when the key (low 8 bits) went down, or up, between the last frame and
// this one, else 0.0. Each press and each release is reported in one frame
// only; one that comes in during a frame is reported in the next.
double KeyPressed(double key);
double KeyReleased(double key);
// The character key (low 8 bits) produces: 10 for Enter and keypad Enter, 8
// for backspace, 0 for modifiers and keys without a character.
int KeyCharacter(int key);
// The first newly pressed character (shift makes letters upper case), or 0: a
// held key gives its character once.
int ReadCharacterCode();
// The same as a one-character text, or the empty text.
RuntimeString ReadCharacter();
// 1 when a newly pressed key gives a character, else 0.
int AnyCharacterKey();
// Waits for a newly pressed character key, then for it to count as seen.
void KeyWait();
// Test hook: the character last reported, as the reads keep it.
int LastCharacter();

// ---------------------------------------------------------------------------
// Mouse commands (mouse.cpp)

// Reads the mouse and gives the runtime's mouse, clamped to the screen, and
// the left and right buttons as 1.0 or 0.0.
void MouseState(double& x, double& y, double& left, double& right);
// n = 0, 1: movement x, y; 2: wheel; 3, 4, 5: left, right, middle down; else 0.
double MouseAxis(double n);
// Sets the runtime's mouse; the system cursor does not move.
void SetMousePosition(double x, double y);
// Shows the system pointer (shared mouse) when shown is not 0, else hides it.
void ShowPointer(double shown);
// 1 when left, right or middle is down.
int AnyMouseButton();
// Waits for every button to be released, then for a button to go down.
void MouseWait();

// ---------------------------------------------------------------------------
// The idle wait step (idle_wait.cpp)

// Up to 8 passes of: pump messages, refresh input, end on ESC, return on any
// key, mouse change, joystick button, deflection or hat; sleep 5 ms.
void IdleWait();

// ---------------------------------------------------------------------------
// Text entry (text_entry.cpp)

// Edits text on a frozen copy of the screen at (x, y) with a blinking "_"
// cursor until Enter: characters append, backspace drops the last one.
void TextEntry(RuntimeString& text, double x, double y);

// ---------------------------------------------------------------------------
// Joysticks (joystick.cpp)

// Start-up: takes up to 10 attached joysticks (or counts them for the polling
// service without an input system) and names them.
void EnumerateJoysticks();
// Fills the record from joystick n. Returns 1, or 0 with the record untouched
// when n has no device and is not 0 or 1 (those read zero when absent).
int ReadJoystick(int n, JoystickReading& reading);
// A raw axis value / 32767, limited to -1..1.
double JoystickAxisUnit(int32_t raw);
// axis 0..5: x, y, z, rotation x, y, z of joystick n; 0 for others.
double JoystickAxis(double n, int axis);
// 1 right (9000), -1 left (27000), else 0.
double JoystickHatX(double n);
// -1 up (0), 1 down (18000), else 0.
double JoystickHatY(double n);
// Joystick 0: x / 30000 and y / 30000 truncated, buttons 1 and 2 as raw bytes.
void JoystickDigital(double& x, double& y, double& button1, double& button2);
// The name "instance, product" of joystick n; empty out of range.
RuntimeString JoystickName(double n);
double JoystickCount();
// Plays a constant force once on joystick n when it has force feedback:
// duration in ms, x and y limited to -1..1.
void JoystickForce(double n, double duration, double x, double y);
