// The system half of the layer: clock, paths, message box and debugger.
#include "platform/platform.h"
#include "platform/sdl_internal.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <unistd.h>

// ---------------------------------------------------------------------------
// Clock

uint64_t PlatformCounterFrequency() { return SDL_GetPerformanceFrequency(); }
uint64_t PlatformCounter() { return SDL_GetPerformanceCounter(); }
uint32_t PlatformTickMilliseconds() { return SDL_GetTicks(); }
void PlatformSleep(int milliseconds) { SDL_Delay(milliseconds > 0 ? (Uint32)milliseconds : 0); }

// Linux timers already have fine resolution; the calls stay so that start-up
// and shutdown keep their order.
void PlatformTimerBeginPeriod(int) {}
void PlatformTimerEndPeriod(int) {}

// ---------------------------------------------------------------------------
// Files, paths, process

std::string PlatformTempDirectory() {
    const char* dir = std::getenv("TMPDIR");
    std::string path = (dir && *dir) ? dir : "/tmp";
    if (path.back() != '/') path += '/';
    return path;
}

std::string PlatformProgramPath() {
    char buffer[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return std::string();
    return std::string(buffer, (size_t)n);
}

std::string PlatformGetCurrentDirectory() {
    char buffer[PATH_MAX];
    if (!getcwd(buffer, sizeof buffer)) return std::string();
    return buffer;
}

bool PlatformSetCurrentDirectory(const char* path) { return path && chdir(path) == 0; }

// ---------------------------------------------------------------------------
// Messages to the user and the debugger

void PlatformMessageBox(const char* caption, const char* text, PlatformIcon icon) {
    // Without a display nobody could press the button: report and go on.
    if (PlatformIsHeadless() || !SDL_WasInit(SDL_INIT_VIDEO)) {
        std::fprintf(stderr, "%s: %s\n", caption, text);
        return;
    }
    Uint32 flags = icon == PlatformIcon::Error         ? SDL_MESSAGEBOX_ERROR
                   : icon == PlatformIcon::Exclamation ? SDL_MESSAGEBOX_WARNING
                                                       : SDL_MESSAGEBOX_INFORMATION;
    if (SDL_ShowSimpleMessageBox(flags, caption, text, nullptr) != 0)
        std::fprintf(stderr, "%s: %s\n", caption, text);
}

bool PlatformDebuggerAttached() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("TracerPid:", 0) == 0) return std::atoi(line.c_str() + 10) != 0;
    }
    return false;
}

void PlatformDebugOutput(const char* text) {
    // A tracer reads the process's standard error; there is no other channel.
    std::fprintf(stderr, "%s\n", text);
}
