// The engine state and the screen object's life.
#include "core/engine.h"

// ---------------------------------------------------------------------------
// State

EngineGlobals engine;
GlExtensions glExt;

static void (*textureRelease)(OpenGLZadudedo& screen) = nullptr;

// ---------------------------------------------------------------------------
// Public

void SetTextureReleaseHook(void (*release)(OpenGLZadudedo& screen)) { textureRelease = release; }

void ReleaseScreenTextures(OpenGLZadudedo& screen) {
    if (textureRelease && screen.glReady) textureRelease(screen);
}

OpenGLZadudedo::OpenGLZadudedo() {
    uint64_t frequency = PlatformCounterFrequency();
    hasCounter = frequency > 0 ? 1 : 0;
    counterFrequency = hasCounter ? (double)frequency : 0.0;
    nextFrameDeadline = NowMilliseconds();
}

OpenGLZadudedo::~OpenGLZadudedo() {
    ReleaseScreenTextures(*this);
    if (fullscreenActive) {
        PlatformRestoreDisplayMode(window);
        fullscreenActive = 0;
    }
    if (glContext) {
        PlatformMakeCurrent(window, nullptr);
        PlatformDeleteGlContext(glContext);
        glContext = nullptr;
    }
    glReady = 0;
    PlatformDestroyWindow(window);
    window = nullptr;
}
