// The window and its OpenGL context: creation with the pixel format and the
// multisample choice, the software-renderer check, the windowed and
// fullscreen switches and the screen-mode commands.
#include "core/core_internal.h"

#include <GL/gl.h>
#include <algorithm>
#include <cmath>
#include <cstring>

#include "gfx2d/gfx2d.h"
#include "gfx3d/gfx3d.h"
#include "input/input.h"
#include "strings/script_numbers.h"

// ---------------------------------------------------------------------------
// State

static bool softwareWarningShown = false;
static std::string rendererText;
static bool rendererRead = false;

static const char kSoftwareCaption[] = "!!OpenGL Software Emulation!!";
static const char kSoftwareText[] =
    "Please update your GFX adapter's driver\nso it can render OpenGL by HARDWARE\n\n\n"
    "Bitte aktualisieren Sie Ihren\nGrafkkartentreiber, damit er OpenGL\nper HARDWARE "
    "unterst\xfctzt!";

// ---------------------------------------------------------------------------
// Internal helpers

static PlatformPixelFormat PlainFormat(int colourBits) {
    PlatformPixelFormat format;
    format.colourBits = colourBits;
    return format;
}

// The format asked of the multisample chooser: full colour with alpha.
static PlatformPixelFormat MultisampleFormat(int samples) {
    PlatformPixelFormat format;
    format.colourBits = 24;
    format.alphaBits = 8;
    format.samples = samples;
    return format;
}

static bool ChooseWithPlatform(int samples) {
    return PlatformChooseMultisampleFormat(MultisampleFormat(samples));
}

static PlatformWindow* CreateCentredWindow(int width, int height, const PlatformPixelFormat& format) {
    int desktopW, desktopH, desktopBits;
    PlatformDesktopSize(desktopW, desktopH, desktopBits);
    int x = (desktopW - width) / 2;
    int y = (desktopH - height) / 2;
    return PlatformCreateWindow("Velmora", x, y, width, height, format);
}

static bool MakeContextCurrent(OpenGLZadudedo& screen) {
    if (!screen.glContext) screen.glContext = PlatformCreateGlContext(screen.window);
    if (!screen.glContext) return false;
    if (PlatformMakeCurrent(screen.window, screen.glContext)) return true;
    // One more try with a fresh context, as the first may belong elsewhere.
    PlatformDeleteGlContext(screen.glContext);
    screen.glContext = PlatformCreateGlContext(screen.window);
    return screen.glContext && PlatformMakeCurrent(screen.window, screen.glContext);
}

// Tears the window down for re-creation with a multisampled format.
static void DestroyForRecreation(OpenGLZadudedo& screen) {
    ReleaseScreenTextures(screen);
    WindowedSwitch(screen);
    PlatformMakeCurrent(screen.window, nullptr);
    PlatformDeleteGlContext(screen.glContext);
    screen.glContext = nullptr;
    PlatformDestroyWindow(screen.window);
    screen.window = nullptr;
    screen.width = 0;
    screen.height = 0;
}

static void CheckSoftwareRenderer() {
    if (softwareWarningShown) return;
    if (!rendererRead) {
        const char* renderer = (const char*)glGetString(GL_RENDERER);
        rendererText = renderer ? renderer : "";
        rendererRead = true;
    }
    if (!IsSoftwareRenderer(PlatformContextAccelerated(), rendererText.c_str())) return;
    softwareWarningShown = true;
    PlatformMessageBox(kSoftwareCaption, kSoftwareText, PlatformIcon::Exclamation);
    ErrorLogAppend("OpenGL Software Emulation");
}

template <typename F>
static void Resolve(F& slot, const char* name) {
    slot = reinterpret_cast<F>(PlatformGlProcAddress(name));
}

// ---------------------------------------------------------------------------
// Public: pure rules

int ChooseMultisampleCount(int requested, bool (*choose)(int samples)) {
    for (int n = requested; n > 0; n /= 2) {
        if (choose(n)) return n;
    }
    return 0;
}

bool HasExtensionWord(const char* list, const char* name) {
    if (!list || !name || !*name) return false;
    size_t length = std::strlen(name);
    for (const char* at = std::strstr(list, name); at; at = std::strstr(at + 1, name)) {
        bool starts = at == list || at[-1] == ' ';
        bool ends = at[length] == '\0' || at[length] == ' ';
        if (starts && ends) return true;
    }
    return false;
}

bool IsSoftwareRenderer(bool acceleratedFormat, const char* renderer) {
    return !acceleratedFormat || (renderer && std::strcmp(renderer, "Mesa Windows GDI Driver") == 0);
}

void LoadExtensionEntryPoints() {
    glExt = GlExtensions();
    const char* extensions = (const char*)glGetString(GL_EXTENSIONS);
    if (!extensions) return;
    if (std::strstr(extensions, "GL_ARB_multitexture")) {
        Resolve(glExt.glActiveTextureARB, "glActiveTextureARB");
        Resolve(glExt.glMultiTexCoord2fARB, "glMultiTexCoord2fARB");
        Resolve(glExt.glClientActiveTextureARB, "glClientActiveTextureARB");
        Resolve(glExt.glGenBuffersARB, "glGenBuffersARB");
        Resolve(glExt.glBindBufferARB, "glBindBufferARB");
        Resolve(glExt.glBufferDataARB, "glBufferDataARB");
        Resolve(glExt.glDeleteBuffersARB, "glDeleteBuffersARB");
        Resolve(glExt.glMapBufferARB, "glMapBufferARB");
        Resolve(glExt.glUnmapBufferARB, "glUnmapBufferARB");
        Resolve(glExt.glGetBufferParameterivARB, "glGetBufferParameterivARB");
    }
    if (std::strstr(extensions, "GL_ARB_fragment_program")) {
        Resolve(glExt.glCreateProgramObjectARB, "glCreateProgramObjectARB");
        Resolve(glExt.glDeleteObjectARB, "glDeleteObjectARB");
        Resolve(glExt.glCreateShaderObjectARB, "glCreateShaderObjectARB");
        Resolve(glExt.glShaderSourceARB, "glShaderSourceARB");
        Resolve(glExt.glCompileShaderARB, "glCompileShaderARB");
        Resolve(glExt.glGetObjectParameterivARB, "glGetObjectParameterivARB");
        Resolve(glExt.glAttachObjectARB, "glAttachObjectARB");
        Resolve(glExt.glGetInfoLogARB, "glGetInfoLogARB");
        Resolve(glExt.glLinkProgramARB, "glLinkProgramARB");
        Resolve(glExt.glUseProgramObjectARB, "glUseProgramObjectARB");
        Resolve(glExt.glGetUniformLocationARB, "glGetUniformLocationARB");
        Resolve(glExt.glUniform1fARB, "glUniform1fARB");
        Resolve(glExt.glUniform1iARB, "glUniform1iARB");
    }
}

// ---------------------------------------------------------------------------
// Public: window and context

bool CreateWindowAndContext(void* instance, int width, int height, int colourBits,
                            int frameRate, int multisample) {
    OpenGLZadudedo& screen = *engine.screen;
    screen.framePeriod = frameRate > 0 ? 1000.0 / (double)frameRate : 2.0;
    screen.instance = instance;
    screen.multisampleInForce = multisample;

    screen.window = CreateCentredWindow(width, height, PlainFormat(colourBits));
    if (!screen.window) return false;

    int rx, ry, rw, rh;
    PlatformGetWindowRect(screen.window, rx, ry, rw, rh);
    if (colourBits == 0) {
        int dw, dh;
        PlatformDesktopSize(dw, dh, colourBits);
    }
    if (width == 0) width = std::abs(rw);
    if (height == 0) height = std::abs(rh);
    screen.fullscreenActive = 0;
    screen.colourBits = colourBits;
    screen.width = width;
    screen.height = height;

    if (!MakeContextCurrent(screen)) return false;

    if (multisample != 0) {
        const char* list = PlatformWindowSystemExtensions();
        if (!list) list = (const char*)glGetString(GL_EXTENSIONS);
        int samples = 0;
        if (HasExtensionWord(list, "WGL_ARB_multisample"))
            samples = ChooseMultisampleCount(multisample, ChooseWithPlatform);
        if (samples == 0) {
            screen.multisampleInForce = 0;
        } else {
            DestroyForRecreation(screen);
            screen.window = CreateCentredWindow(width, height, MultisampleFormat(samples));
            if (!screen.window || !MakeContextCurrent(screen)) return false;
            screen.multisampleInForce = samples;
        }
    }

    CheckSoftwareRenderer();

    screen.fullscreenActive = 0;
    screen.colourBits = colourBits;
    screen.height = height;
    screen.width = width;
    screen.nextFrameDeadline = NowMilliseconds();

    LoadExtensionEntryPoints();
    LoadFramebufferEntryPoints();

    PlatformShowWindow(screen.window, true);
    ApplyGlDefaults(screen, 0, 0, 0, 0);
    screen.glReady = 1;
    return true;
}

bool WindowedSwitch(OpenGLZadudedo& screen) {
    if (screen.fullscreenActive) {
        PlatformRestoreDisplayMode(screen.window);
        PlatformSleep(500);
    }
    PlatformSetWindowTopmost(screen.window, false);
    PlatformSetWindowBorder(screen.window, true);

    int x, y, w, h;
    if (!PlatformGetWindowRect(screen.window, x, y, w, h)) {
        int dw, dh, bits;
        PlatformDesktopSize(dw, dh, bits);
        x = (dw - screen.width) / 2;
        y = (dh - screen.height) / 2;
    }
    PlatformSetWindowRect(screen.window, x, y, screen.width, screen.height);
    PlatformShowWindow(screen.window, true);
    PlatformRaiseWindow(screen.window);

    ApplyGlDefaults(screen, 0, 0, 0, 0);
    screen.fullscreenActive = 0;
    return true;
}

bool FullscreenSwitch(OpenGLZadudedo& screen) {
    int dw, dh, desktopBits;
    PlatformDesktopSize(dw, dh, desktopBits);
    int bits = (screen.colourBits != 0 && screen.colourBits != desktopBits) ? screen.colourBits : 0;
    bool changed = PlatformSetDisplayMode(screen.window, screen.width, screen.height, bits);
    if (!changed && bits != 0) changed = PlatformSetDisplayMode(screen.window, screen.width, screen.height, 0);
    if (!changed) {
        PlatformBeep();
        ErrorLogAppend("No Fullscreen Mode available");
        WindowedSwitch(screen);
        return false;
    }
    // SDL switches the display mode of the existing window, so its context and
    // textures carry over without re-creating the window.
    ApplyGlDefaults(screen, 0, 0, 0, 0);
    PlatformSetWindowBorder(screen.window, false);
    PlatformShowWindow(screen.window, true);
    PlatformRaiseWindow(screen.window);
    PlatformSetWindowTopmost(screen.window, true);
    screen.fullscreenActive = 1;
    return true;
}

bool ApplyMode(OpenGLZadudedo& screen, int width, int height, int colourBits, int fullscreen) {
    if (width != 0) screen.width = width;
    if (height != 0) screen.height = height;
    if (colourBits != 0) screen.colourBits = colourBits;
    return fullscreen == 0 ? WindowedSwitch(screen) : FullscreenSwitch(screen);
}

void HideWindow(OpenGLZadudedo& screen) {
    if (screen.fullscreenActive) PlatformRestoreDisplayMode(screen.window);
    PlatformSetWindowTopmost(screen.window, false);
    PlatformShowWindow(screen.window, false);
    screen.fullscreenActive = 0;
}

// ---------------------------------------------------------------------------
// Public: script commands

void SetScreen(double width, double height, double fullscreen) {
    if (!engine.screen) return;
    OpenGLZadudedo& screen = *engine.screen;
    // A size of 0 or below keeps that axis; a size the GL cannot draw is
    // limited to its largest viewport, so every reader of the screen finds a
    // frame buffer of the size reported.
    int maxW, maxH;
    MaxViewportSize(maxW, maxH);
    int w = TruncateToInt(width), h = TruncateToInt(height);
    engine.screenWidth = w > 0 ? std::min(w, maxW) : screen.width;
    engine.screenHeight = h > 0 ? std::min(h, maxH) : screen.height;
    engine.fullscreen = TruncateToInt(fullscreen);
    ApplyMode(screen, engine.screenWidth, engine.screenHeight, 0, engine.fullscreen);
    // The input and sound objects follow the screen object's window here.
    InputSetWindow(screen.window);
    for (int i = 0; i < 5; ++i) ShowScreen();
}

void GetScreenSize(double& width, double& height) {
    width = engine.screen ? engine.screen->width : 0;
    height = engine.screen ? engine.screen->height : 0;
}

void SetViewport(double x, double y, double w, double h) {
    if (!engine.screen) return;
    // The stencil-shadow pass of the 3D engine ends here.
    EndShadowPass();
    ApplyGlDefaults(*engine.screen, TruncateToInt(x), TruncateToInt(y), TruncateToInt(w), TruncateToInt(h));
}

void SetFrameRate(double framesPerSecond) {
    if (!engine.screen) return;
    int n = TruncateToInt(framesPerSecond);
    engine.screen->framePeriod = n > 0 ? 1000.0 / n : 2.0;
}
