// The bind operation: which sprite textures the next draws use, on one or two
// texture units. Two things are kept between binds for speed, because every
// change of texture unit or filtering makes the GL start a new batch: the
// knowledge that texturing on unit 1 is off, and a nearest-filtering sampler
// left on unit 0 by sprites drawn at their own size.
#include <GL/gl.h>

#include "core/engine.h"
#include "gfx2d/gfx2d_internal.h"

// ---------------------------------------------------------------------------
// State

// Texturing on unit 1 is off and nothing can have turned it on since.
static bool unit1KnownOff = false;

// A sampler object with nearest filtering. For a picture drawn at its own
// size on whole pixels every pixel samples a texel centre, where linear and
// nearest filtering give the same colour; nearest costs the GL less.
struct NearestSampler {
    bool lookedUp = false;
    GLuint name = 0;
    bool bound = false;
    void (*gen)(GLsizei, GLuint*) = nullptr;
    void (*release)(GLsizei, const GLuint*) = nullptr;
    void (*bind)(GLuint, GLuint) = nullptr;
    void (*parameter)(GLuint, GLenum, GLint) = nullptr;
};
static NearestSampler sampler;

// ---------------------------------------------------------------------------
// Internal helpers

template <typename F>
static void Resolve(F& entry, const char* name) {
    entry = reinterpret_cast<F>(PlatformGlProcAddress(name));
}

static void MakeSampler() {
    sampler.lookedUp = true;
    const char* extensions = (const char*)glGetString(GL_EXTENSIONS);
    if (!extensions || !HasExtensionWord(extensions, "GL_ARB_sampler_objects")) return;
    Resolve(sampler.gen, "glGenSamplers");
    Resolve(sampler.release, "glDeleteSamplers");
    Resolve(sampler.bind, "glBindSampler");
    Resolve(sampler.parameter, "glSamplerParameteri");
    if (!sampler.gen || !sampler.release || !sampler.bind || !sampler.parameter) return;
    sampler.gen(1, &sampler.name);
    sampler.parameter(sampler.name, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    sampler.parameter(sampler.name, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    sampler.parameter(sampler.name, GL_TEXTURE_WRAP_S, GL_REPEAT);
    sampler.parameter(sampler.name, GL_TEXTURE_WRAP_T, GL_REPEAT);
}

static void UseNearestSampler(bool use) {
    if (use && !sampler.bound) {
        if (!sampler.lookedUp) MakeSampler();
        if (!sampler.name) return;
        sampler.bind(0, sampler.name);
        sampler.bound = true;
    } else if (!use && sampler.bound) {
        sampler.bind(0, 0);
        sampler.bound = false;
    }
}

// Texturing off on unit 1, unit 0 active (multitexture only).
static void TurnOffUnit1() {
    if (!unit1KnownOff) {
        glExt.glActiveTextureARB(GL_TEXTURE1);
        glDisable(GL_TEXTURE_2D);
        unit1KnownOff = true;
    }
    glExt.glActiveTextureARB(GL_TEXTURE0);
}

static uint32_t TextureOf(const SpriteStore& store, int32_t slot, bool mipmapped, const uint32_t* nameTable) {
    if (nameTable) return nameTable[slot];
    return mipmapped ? store.mipTexture[slot] : store.plainTexture[slot];
}

static void Bind(int32_t slot, int32_t secondSlot, bool mipmapped, const uint32_t* nameTable, bool pixelExact) {
    SpriteStore* store = ActiveSpriteStore();
    if (!store) return;
    // Numbers outside the store count as none.
    if (slot >= kSpriteSlots) slot = -1;
    if (secondSlot >= kSpriteSlots) secondSlot = -1;
    boundSprite = slot;
    store->boundSlot = slot;
    store->boundSecondSlot = secondSlot;
    store->boundMipmapped = mipmapped ? 1 : 0;
    UseNearestSampler(pixelExact && slot >= 0 && secondSlot < 0);

    if (!glExt.glActiveTextureARB) {
        if (slot < 0) {
            glDisable(GL_TEXTURE_2D);
            glEnable(GL_COLOR_MATERIAL);
            return;
        }
        glBindTexture(GL_TEXTURE_2D, TextureOf(*store, slot, mipmapped, nameTable));
        glEnable(GL_TEXTURE_2D);
        return;
    }
    if (slot >= 0 && secondSlot >= 0) {
        glExt.glActiveTextureARB(GL_TEXTURE1);
        glBindTexture(GL_TEXTURE_2D, TextureOf(*store, slot, mipmapped, nameTable));
        glEnable(GL_TEXTURE_2D);
        unit1KnownOff = false;
        glExt.glActiveTextureARB(GL_TEXTURE0);
    } else {
        TurnOffUnit1();
    }
    if (slot < 0) {
        glDisable(GL_TEXTURE_2D);
        return;
    }
    glBindTexture(GL_TEXTURE_2D, TextureOf(*store, secondSlot >= 0 ? secondSlot : slot, mipmapped, nameTable));
    glEnable(GL_TEXTURE_2D);
}

// ---------------------------------------------------------------------------
// Public

void BindSprite(int32_t slot, int32_t secondSlot, bool mipmapped, const uint32_t* nameTable) {
    Bind(slot, secondSlot, mipmapped, nameTable, false);
}

void BindSpriteForDraw(int32_t slot, bool pixelExact) { Bind(slot, -1, false, nullptr, pixelExact); }

void PrepareTileBinding() {
    UseNearestSampler(false);
    if (glExt.glActiveTextureARB) TurnOffUnit1();
}

void ResetSpriteBinding() {
    if (engine.screen && engine.screen->glReady) UseNearestSampler(false);
    unit1KnownOff = false;
}

void ReleaseBindObjects(bool glReady) {
    if (glReady && sampler.name) {
        UseNearestSampler(false);
        sampler.release(1, &sampler.name);
    }
    sampler = NearestSampler();
    unit1KnownOff = false;
}
