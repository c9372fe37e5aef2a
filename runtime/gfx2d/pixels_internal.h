// Shared by the files that read pixels back and by the off-screen surfaces.
#pragma once

#include <GL/gl.h>

#include "gfx2d/gfx2d.h"

class OpenGLZadudedo;

// The store and screen when the GL context is ready, else null.
SpriteStore* ReadyStore();

// Size of what drawing lands in, in its own 2D coordinates: the screen, or
// the picture of the active surface's framebuffer object.
struct ReadTarget {
    int32_t width = 0;
    int32_t height = 0;
    bool framebufferObject = false;
};
// Points the GL's read buffer at the drawing target and sets tightly packed
// rows for read-backs. Returns the target, so that a top-left y converts to
// the GL's bottom-left rows as height - 1 - y.
ReadTarget PrepareReadBack(const SpriteStore& store);

// Largest texture side the GL allows.
int32_t LargestTextureSide();

// The grab of GrabSprite on an already checked slot and store.
void GrabIntoSlot(SpriteStore& store, int32_t slot, int32_t x, int32_t y, int32_t w, int32_t h);

// Keeps the 2D texture binding across an operation that binds its own. A
// texture the operation deleted is not bound again: that would make a new,
// empty texture of the old name.
class KeepTextureBinding {
public:
    KeepTextureBinding() { glGetIntegerv(GL_TEXTURE_BINDING_2D, &name); }
    ~KeepTextureBinding() {
        if (name == 0 || glIsTexture((GLuint)name)) glBindTexture(GL_TEXTURE_2D, (GLuint)name);
    }
    KeepTextureBinding(const KeepTextureBinding&) = delete;
    KeepTextureBinding& operator=(const KeepTextureBinding&) = delete;

private:
    GLint name = 0;
};

// Full intensity and no blending while the runtime draws for itself (the key
// probe, surface emulation); the script's settings come back afterwards.
class NeutralDrawing {
public:
    explicit NeutralDrawing(SpriteStore& store);
    ~NeutralDrawing();
    NeutralDrawing(const NeutralDrawing&) = delete;
    NeutralDrawing& operator=(const NeutralDrawing&) = delete;

private:
    SpriteStore& store;
    float alphaFactor;
    bool blending;
};
