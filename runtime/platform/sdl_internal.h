// Shared between the SDL files of the platform layer only.
#pragma once

#include <SDL2/SDL.h>

// Installs SIGINT and SIGTERM handlers that turn the signal into a close
// message at the next pump, so the program ends through its own end path.
void SdlInstallSignalHandlers();
// DirectInput scan code of an SDL scancode; 0 when it has none.
int SdlScancodeToKey(SDL_Scancode scancode);
