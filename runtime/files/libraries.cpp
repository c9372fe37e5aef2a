// The libraries loaded for scripts, by lowered name, kept until program exit.
#include "files/libraries.h"

#include <vector>

#include "core/engine.h"
#include "files/files_exit.h"
#include "platform/platform.h"

// ---------------------------------------------------------------------------
// State

namespace {

// `LoadedLibraries`: two parallel arrays in the same order.
struct LoadedLibraries {
    std::vector<PlatformLibrary*> handles;
    std::vector<RuntimeString> names;
};

LoadedLibraries loaded;

}  // namespace

// ---------------------------------------------------------------------------
// Public functions

void ExternalFunction(RuntimeString& libraryName, const RuntimeString& functionName,
                      void*& address) {
    address = nullptr;
    RuntimeString given(libraryName);
    for (uint32_t i = 0; i < libraryName.Length(); ++i) {
        int c = libraryName.CharAt(i);
        if (c >= 'A' && c <= 'Z') libraryName.SetCharAt(i, (char)(c - 'A' + 'a'));
    }
    PlatformLibrary* handle = nullptr;
    for (size_t i = 0; i < loaded.names.size(); ++i) {
        if (loaded.names[i].Length() == libraryName.Length() &&
            loaded.names[i].Compare(libraryName.Text()) == 0) {
            handle = loaded.handles[i];
            break;
        }
    }
    if (!handle) {
        handle = PlatformLoadLibrary(libraryName.Text());
        // File names are case-sensitive here: "libSDL2.so" exists only as
        // written, so the caller's spelling gets a second chance.
        if (!handle && given.Compare(libraryName.Text()) != 0)
            handle = PlatformLoadLibrary(given.Text());
        if (!handle) {
            if (engine.debugMode) DebugText((RuntimeString("Failed to load: ") + libraryName).Text());
            return;
        }
        FilesInstallExitHandler();
        loaded.handles.push_back(handle);
        loaded.names.push_back(libraryName);
    }
    address = PlatformLibrarySymbol(handle, functionName.Text());
}

int LoadedLibraryCount() { return (int)loaded.handles.size(); }

void LibrariesRelease() {
    for (PlatformLibrary* handle : loaded.handles) PlatformFreeLibrary(handle);
    loaded.handles.clear();
    loaded.names.clear();
}
