// SDL2 implementation of the layer's video half: start-up of the video system,
// windows, display modes and OpenGL contexts.
#include "platform/platform.h"
#include "platform/sdl_internal.h"

#include <SDL2/SDL.h>
#include <cstdio>
#include <cstdlib>

// ---------------------------------------------------------------------------
// State

static bool videoUp = false;
static bool headless = false;

// ---------------------------------------------------------------------------
// Internal helpers

static SDL_Window* Sdl(PlatformWindow* window) { return SdlWindow(window); }

static void SetGlAttributes(const PlatformPixelFormat& format) {
    SDL_GL_ResetAttributes();
    int colour = format.colourBits;
    if (colour <= 0) {
        int w, h;
        PlatformDesktopSize(w, h, colour);
    }
    // 15 and 16 bit depths split unevenly; everything else is 8 bits a channel.
    int channel = colour >= 24 ? 8 : (colour >= 15 ? 5 : 8);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, channel);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, channel);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, channel);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, format.alphaBits);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, format.depthBits);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, format.stencilBits);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, format.samples > 0 ? 1 : 0);
    SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, format.samples > 0 ? format.samples : 0);
    // The runtime draws with the fixed-function pipeline.
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_SHARE_WITH_CURRENT_CONTEXT, 0);
}

// The offscreen driver gives each window a drawable of the window's size at
// creation and never resizes it, so drawing after a size change would land in
// the old size. There the window moves to a new hidden SDL window of the new
// size and the same format; the GL context is made current on it before the
// old one goes, so textures, fonts and framebuffer objects carry over. If the
// new window cannot be made, the old one stays at the size it can draw.
static void FollowSizeHeadless(PlatformWindow* window) {
    if (!headless || !window || !window->sdl) return;
    SDL_Window* old = window->sdl;
    int w, h;
    SDL_GetWindowSize(old, &w, &h);
    if (w == window->drawableWidth && h == window->drawableHeight) return;

    int x, y;
    SDL_GetWindowPosition(old, &x, &y);
    const Uint32 flags = SDL_GetWindowFlags(old);
    const Uint32 kept = flags & (SDL_WINDOW_BORDERLESS | SDL_WINDOW_ALWAYS_ON_TOP);
    SDL_GLContext context = SDL_GL_GetCurrentContext();
    const bool currentHere = context && SDL_GL_GetCurrentWindow() == old;

    SetGlAttributes(window->format);
    SDL_Window* fresh =
        SDL_CreateWindow(SDL_GetWindowTitle(old), x, y, w, h, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN | kept);
    if (fresh && currentHere && SDL_GL_MakeCurrent(fresh, context) != 0) {
        SDL_DestroyWindow(fresh);
        SDL_GL_MakeCurrent(old, context);
        fresh = nullptr;
    }
    if (!fresh) {
        SDL_SetWindowSize(old, window->drawableWidth, window->drawableHeight);
        return;
    }
    if (flags & SDL_WINDOW_FULLSCREEN) {
        SDL_DisplayMode mode;
        if (SDL_GetWindowDisplayMode(old, &mode) == 0) SDL_SetWindowDisplayMode(fresh, &mode);
        SDL_SetWindowFullscreen(fresh, SDL_WINDOW_FULLSCREEN);
    }
    if (flags & SDL_WINDOW_SHOWN) SDL_ShowWindow(fresh);
    // The offscreen driver gives no window the focus, so the change sends the
    // program no activation messages.
    SDL_DestroyWindow(old);
    window->sdl = fresh;
    window->drawableWidth = w;
    window->drawableHeight = h;
}

// ---------------------------------------------------------------------------
// Life of the layer

bool PlatformInit() {
    if (videoUp) return true;
    PlatformKeepFreedMemory();
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    const char* chosen = std::getenv("SDL_VIDEODRIVER");
    bool noDisplay = (!display || !*display) && (!wayland || !*wayland);
    if (noDisplay && (!chosen || !*chosen)) SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS | SDL_INIT_TIMER) != 0) {
        std::fprintf(stderr, "revev: cannot start video: %s\n", SDL_GetError());
        return false;
    }
    const char* driver = SDL_GetCurrentVideoDriver();
    headless = driver && (SDL_strcmp(driver, "offscreen") == 0 || SDL_strcmp(driver, "dummy") == 0);
    SdlInstallSignalHandlers();
    videoUp = true;
    return true;
}

void PlatformShutdown() {
    if (!videoUp) return;
    SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS | SDL_INIT_TIMER);
    videoUp = false;
}

bool PlatformIsHeadless() { return headless; }

// ---------------------------------------------------------------------------
// Windows and display modes

PlatformWindow* PlatformCreateWindow(const char* caption, int x, int y, int w, int h,
                                     const PlatformPixelFormat& format) {
    SetGlAttributes(format);
    if (w <= 0) w = 1;
    if (h <= 0) h = 1;
    SDL_Window* sdl = SDL_CreateWindow(caption, x, y, w, h, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (!sdl) return nullptr;
    PlatformWindow* window = new PlatformWindow;
    window->sdl = sdl;
    window->format = format;
    SDL_GetWindowSize(sdl, &window->drawableWidth, &window->drawableHeight);
    return window;
}

void PlatformDestroyWindow(PlatformWindow* window) {
    if (!window) return;
    SDL_DestroyWindow(window->sdl);
    delete window;
}

void PlatformSetCaption(PlatformWindow* window, const char* caption) {
    if (window) SDL_SetWindowTitle(Sdl(window), caption);
}

std::string PlatformGetCaption(PlatformWindow* window) {
    return window ? std::string(SDL_GetWindowTitle(Sdl(window))) : std::string();
}

void PlatformShowWindow(PlatformWindow* window, bool show) {
    if (!window) return;
    if (show) SDL_ShowWindow(Sdl(window));
    else SDL_HideWindow(Sdl(window));
}

bool PlatformWindowVisible(PlatformWindow* window) {
    return window && (SDL_GetWindowFlags(Sdl(window)) & SDL_WINDOW_SHOWN) != 0;
}

void PlatformRaiseWindow(PlatformWindow* window) {
    if (window) SDL_RaiseWindow(Sdl(window));
}

void PlatformSetWindowTopmost(PlatformWindow* window, bool topmost) {
    if (window) SDL_SetWindowAlwaysOnTop(Sdl(window), topmost ? SDL_TRUE : SDL_FALSE);
}

void PlatformSetWindowBorder(PlatformWindow* window, bool bordered) {
    if (window) SDL_SetWindowBordered(Sdl(window), bordered ? SDL_TRUE : SDL_FALSE);
}

bool PlatformGetWindowRect(PlatformWindow* window, int& x, int& y, int& w, int& h) {
    if (!window) return false;
    SDL_GetWindowPosition(Sdl(window), &x, &y);
    SDL_GetWindowSize(Sdl(window), &w, &h);
    return true;
}

void PlatformSetWindowRect(PlatformWindow* window, int x, int y, int w, int h) {
    if (!window) return;
    SDL_SetWindowSize(Sdl(window), w > 0 ? w : 1, h > 0 ? h : 1);
    SDL_SetWindowPosition(Sdl(window), x, y);
    FollowSizeHeadless(window);
}

void PlatformDesktopSize(int& w, int& h, int& bitsPerPixel) {
    SDL_DisplayMode mode;
    if (SDL_GetDesktopDisplayMode(0, &mode) != 0) {
        w = 640;
        h = 480;
        bitsPerPixel = 32;
        return;
    }
    w = mode.w;
    h = mode.h;
    bitsPerPixel = SDL_BITSPERPIXEL(mode.format);
    // 24-bit formats padded to 32 are reported as 24 bits; the desktop depth
    // callers want is the framebuffer's.
    if (bitsPerPixel == 24 && SDL_BYTESPERPIXEL(mode.format) == 4) bitsPerPixel = 32;
}

bool PlatformSetDisplayMode(PlatformWindow* window, int w, int h, int bitsPerPixel) {
    if (!window) return false;
    int display = SDL_GetWindowDisplayIndex(Sdl(window));
    if (display < 0) display = 0;
    // Only an exact mode counts: the runtime asks for the size it will draw.
    bool found = false;
    SDL_DisplayMode chosen{};
    for (int i = 0, n = SDL_GetNumDisplayModes(display); i < n && !found; ++i) {
        SDL_DisplayMode mode;
        if (SDL_GetDisplayMode(display, i, &mode) != 0) continue;
        if (mode.w != w || mode.h != h) continue;
        if (bitsPerPixel != 0 && (int)SDL_BITSPERPIXEL(mode.format) != bitsPerPixel &&
            !(bitsPerPixel == 32 && SDL_BYTESPERPIXEL(mode.format) == 4))
            continue;
        chosen = mode;
        found = true;
    }
    if (!found) return false;
    if (SDL_SetWindowDisplayMode(Sdl(window), &chosen) != 0) return false;
    SDL_SetWindowSize(Sdl(window), w, h);
    bool ok = SDL_SetWindowFullscreen(Sdl(window), SDL_WINDOW_FULLSCREEN) == 0;
    FollowSizeHeadless(window);
    return ok;
}

void PlatformRestoreDisplayMode(PlatformWindow* window) {
    if (!window) return;
    SDL_SetWindowFullscreen(Sdl(window), 0);
    FollowSizeHeadless(window);
}

void PlatformBeep() {
    if (!headless) std::fputc('\a', stderr);
}

// ---------------------------------------------------------------------------
// OpenGL

PlatformGlContext* PlatformCreateGlContext(PlatformWindow* window) {
    if (!window) return nullptr;
    return reinterpret_cast<PlatformGlContext*>(SDL_GL_CreateContext(Sdl(window)));
}

bool PlatformMakeCurrent(PlatformWindow* window, PlatformGlContext* context) {
    return SDL_GL_MakeCurrent(Sdl(window), reinterpret_cast<SDL_GLContext>(context)) == 0;
}

void PlatformDeleteGlContext(PlatformGlContext* context) {
    if (context) SDL_GL_DeleteContext(reinterpret_cast<SDL_GLContext>(context));
}

void PlatformSwapBuffers(PlatformWindow* window) {
    if (window) SDL_GL_SwapWindow(Sdl(window));
}

void* PlatformGlProcAddress(const char* name) { return SDL_GL_GetProcAddress(name); }

const char* PlatformWindowSystemExtensions() {
    // Every SDL video driver with OpenGL can ask for multisampled formats; the
    // chooser below finds out which sample counts the driver really gives.
    return "WGL_ARB_multisample WGL_ARB_pixel_format";
}

bool PlatformChooseMultisampleFormat(const PlatformPixelFormat& format) {
    // A hidden probe window with its own context answers whether the driver
    // has such a format; the current context is kept.
    SDL_Window* previousWindow = SDL_GL_GetCurrentWindow();
    SDL_GLContext previousContext = SDL_GL_GetCurrentContext();
    SetGlAttributes(format);
    SDL_Window* probe = SDL_CreateWindow("", 0, 0, 16, 16, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    bool ok = false;
    if (probe) {
        SDL_GLContext context = SDL_GL_CreateContext(probe);
        if (context) {
            int buffers = 0, samples = 0;
            SDL_GL_GetAttribute(SDL_GL_MULTISAMPLEBUFFERS, &buffers);
            SDL_GL_GetAttribute(SDL_GL_MULTISAMPLESAMPLES, &samples);
            ok = buffers > 0 && samples >= format.samples;
            SDL_GL_DeleteContext(context);
        }
        SDL_DestroyWindow(probe);
    }
    if (previousWindow && previousContext) SDL_GL_MakeCurrent(previousWindow, previousContext);
    return ok;
}

int PlatformContextSamples() {
    int buffers = 0, samples = 0;
    SDL_GL_GetAttribute(SDL_GL_MULTISAMPLEBUFFERS, &buffers);
    SDL_GL_GetAttribute(SDL_GL_MULTISAMPLESAMPLES, &samples);
    return buffers > 0 ? samples : 0;
}

bool PlatformContextAccelerated() {
    int accelerated = 1;
    if (SDL_GL_GetAttribute(SDL_GL_ACCELERATED_VISUAL, &accelerated) != 0) return true;
    return accelerated != 0;
}
