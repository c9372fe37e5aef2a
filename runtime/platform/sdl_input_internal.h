// Shared between the input files of the platform layer only: the key and mouse
// state that pumped events feed.
#pragma once

#include <SDL2/SDL.h>
#include <cstdint>

struct SdlInputState {
    bool keys[256] = {};
    int cursorX = 0, cursorY = 0;      // client coordinates of the program's window
    int moveX = 0, moveY = 0, wheel = 0;  // gathered since the mouse device's last read
    uint32_t buttons = 0;              // bit 0 left, 1 right, 2 middle, 3 and 4 extra
    unsigned faults = 0;
};

SdlInputState& SdlInput();
// Applies a keyboard or mouse event to the state; false for any other event.
bool SdlApplyInputEvent(const SDL_Event& event);
// Takes every waiting keyboard and mouse event from the queue into the state,
// leaving other events for the message pump.
void SdlDrainInputEvents();
// The SDL scancode of a DirectInput scan code; SDL_SCANCODE_UNKNOWN when none.
SDL_Scancode SdlKeyToScancode(int key);
// The keys (at most two) a virtual-key code stands for; returns how many.
int SdlVirtualKeyToKeys(int virtualKey, int keys[2]);
// Closes the joysticks read by index and, unless a test still holds virtual
// joysticks, the joystick and force-feedback services.
void SdlJoysticksDown();
