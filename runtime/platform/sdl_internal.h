// Shared between the SDL files of the platform layer only.
#pragma once

#include <SDL2/SDL.h>

#include "platform/platform.h"

// The layer's window. Without a display the SDL window behind it is replaced
// on every size change (see sdl_video.cpp), so the handle the runtime keeps
// stays valid while `sdl` moves on.
struct PlatformWindow {
    SDL_Window* sdl = nullptr;
    PlatformPixelFormat format;  // what the window was made for, to make it again
    int drawableWidth = 0;       // size of the offscreen drawable it was made with
    int drawableHeight = 0;
};

inline SDL_Window* SdlWindow(PlatformWindow* window) { return window ? window->sdl : nullptr; }

// Installs SIGINT, SIGTERM and SIGHUP handlers that turn the signal into a
// close message at the next pump, so the program ends through its own end path.
void SdlInstallSignalHandlers();
// DirectInput scan code of an SDL scancode; 0 when it has none.
int SdlScancodeToKey(SDL_Scancode scancode);
