// Dynamic libraries through SDL's shared-object loader.
#include "platform/platform.h"
#include "platform/sdl_internal.h"

PlatformLibrary* PlatformLoadLibrary(const char* name) {
    if (!name || !*name) return nullptr;
    return (PlatformLibrary*)SDL_LoadObject(name);
}

void* PlatformLibrarySymbol(PlatformLibrary* library, const char* symbol) {
    if (!library || !symbol || !*symbol) return nullptr;
    void* address = SDL_LoadFunction(library, symbol);
    // A missing export is an ordinary answer here, not an error to keep.
    if (!address) SDL_ClearError();
    return address;
}

void PlatformFreeLibrary(PlatformLibrary* library) {
    if (library) SDL_UnloadObject(library);
}
