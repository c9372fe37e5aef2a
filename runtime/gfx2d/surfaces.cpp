// Off-screen surfaces: drawing redirected into a sprite, through a framebuffer
// object where the GL has one, else emulated in the back buffer's corner with
// the corner's old content saved in the scratch slot and put back afterwards.
#include <GL/gl.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "core/engine.h"
#include "gfx2d/pixels_internal.h"
#include "strings/script_numbers.h"

// ---------------------------------------------------------------------------
// Types and state

namespace {

constexpr unsigned kFramebuffer = 0x8D40;
constexpr unsigned kRenderbuffer = 0x8D41;
constexpr unsigned kColourAttachment0 = 0x8CE0;
constexpr unsigned kDepthAttachment = 0x8D00;
constexpr unsigned kFramebufferComplete = 0x8CD5;
constexpr unsigned kDepthComponent24 = 0x81A6;
constexpr unsigned kFramebufferBinding = 0x8CA6;
constexpr unsigned kRenderbufferBinding = 0x8CA7;

}  // namespace

FramebufferEntryPoints fboEntryPoints;

// ---------------------------------------------------------------------------
// Internal helpers

template <typename F>
static void Resolve(F& entry, const char* name) {
    entry = reinterpret_cast<F>(PlatformGlProcAddress(name));
}

// Everything a framebuffer object needs from creation to drawing. The delete
// entry points may be missing: records are then only forgotten.
static bool FramebufferObjectsUsable() {
    const FramebufferEntryPoints& f = fboEntryPoints;
    return f.glGenFramebuffersEXT && f.glGenRenderbuffersEXT && f.glBindRenderbufferEXT &&
           f.glRenderbufferStorageEXT && f.glCheckFramebufferStatusEXT && f.glBindFramebufferEXT &&
           f.glFramebufferTexture2DEXT && f.glFramebufferRenderbufferEXT;
}

static bool HasFramebufferObject(const SurfaceRecord& record) {
    return record.width != 0 && record.height != 0 && record.framebuffer != 0 && FramebufferObjectsUsable();
}

// Deletes the record's framebuffer and renderbuffer (where the entry points
// exist) and empties it.
static void DestroyRecord(SurfaceRecord& record) {
    if (record.framebuffer && fboEntryPoints.glDeleteFramebuffersEXT)
        fboEntryPoints.glDeleteFramebuffersEXT(1, &record.framebuffer);
    if (record.depthBuffer && fboEntryPoints.glDeleteRenderbuffersEXT)
        fboEntryPoints.glDeleteRenderbuffersEXT(1, &record.depthBuffer);
    record = SurfaceRecord();
}

// Attaches the slot's texture and the depth buffer to the record's
// framebuffer, bound. False, with framebuffer 0 bound, when the GL does not
// take the pair as complete (e.g. the slot was loaded with another size since).
static bool BindRecord(const SpriteStore& store, const SurfaceRecord& record) {
    const FramebufferEntryPoints& f = fboEntryPoints;
    f.glBindFramebufferEXT(kFramebuffer, record.framebuffer);
    f.glBindRenderbufferEXT(kRenderbuffer, record.depthBuffer);
    f.glFramebufferTexture2DEXT(kFramebuffer, kColourAttachment0, GL_TEXTURE_2D, store.plainTexture[record.slot], 0);
    f.glFramebufferRenderbufferEXT(kFramebuffer, kDepthAttachment, kRenderbuffer, record.depthBuffer);
    if (f.glCheckFramebufferStatusEXT(kFramebuffer) == kFramebufferComplete) return true;
    f.glBindFramebufferEXT(kFramebuffer, 0);
    f.glBindRenderbufferEXT(kRenderbuffer, 0);
    return false;
}

// Gives the record a framebuffer object of the texture size, kept only when
// the framebuffer with the slot's texture and the depth buffer is complete.
static void CreateFramebufferObject(const SpriteStore& store, SurfaceRecord& record, int32_t tw, int32_t th) {
    if (!FramebufferObjectsUsable()) return;
    const FramebufferEntryPoints& f = fboEntryPoints;
    GLint boundFramebuffer = 0, boundRenderbuffer = 0;
    glGetIntegerv(kFramebufferBinding, &boundFramebuffer);
    glGetIntegerv(kRenderbufferBinding, &boundRenderbuffer);

    f.glGenFramebuffersEXT(1, &record.framebuffer);
    f.glGenRenderbuffersEXT(1, &record.depthBuffer);
    f.glBindRenderbufferEXT(kRenderbuffer, record.depthBuffer);
    f.glRenderbufferStorageEXT(kRenderbuffer, kDepthComponent24, tw, th);
    // The completeness asked is that of the new framebuffer with its
    // attachments, not of whatever happens to be bound.
    if (BindRecord(store, record)) {
        record.width = tw;
        record.height = th;
    }
    f.glBindFramebufferEXT(kFramebuffer, (unsigned)boundFramebuffer);
    f.glBindRenderbufferEXT(kRenderbuffer, (unsigned)boundRenderbuffer);
    if (record.width == 0) {
        const int32_t slot = record.slot;
        DestroyRecord(record);
        record.slot = slot;
    }
}

// A texture of tw x th transparent black texels, linear filtering, wrap repeat.
static void MakeClearTexture(uint32_t& name, int32_t tw, int32_t th) {
    KeepTextureBinding keep;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, tw, th, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    // Cleared in bands of rows, so a large surface needs no picture-sized buffer.
    const int32_t rowsPerBand = std::max<int32_t>(1, std::min<int32_t>(th, (1 << 20) / (tw * 4)));
    const std::vector<uint8_t> zeros((size_t)tw * (size_t)rowsPerBand * 4, 0);
    for (int32_t row = 0; row < th; row += rowsPerBand) {
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, row, tw, std::min(rowsPerBand, th - row), GL_RGBA, GL_UNSIGNED_BYTE,
                        zeros.data());
    }
}

// Ends the active surface, if any, and returns drawing to the whole back
// buffer. The slot's picture changed, so its alpha mask goes.
static void EndAndReset(SpriteStore& store, OpenGLZadudedo& screen) {
    const int32_t n = store.currentSurface;
    const int32_t slot = n >= 0 && n < kSurfaceCount ? store.surfaces[n].slot : -1;
    if (IsSpriteSlot(slot) && !store.currentSurfaceEmulated) {
        if (fboEntryPoints.glBindFramebufferEXT) fboEntryPoints.glBindFramebufferEXT(kFramebuffer, 0);
        if (fboEntryPoints.glBindRenderbufferEXT) fboEntryPoints.glBindRenderbufferEXT(kRenderbuffer, 0);
    } else if (IsSpriteSlot(slot)) {
        // The corner holds the surface: it goes into the slot, and the
        // scratch slot's copy of what was there before is drawn back exactly
        // (transparent texels too, so key-coloured pixels survive).
        ApplyGlDefaults(screen, 0, 0, 0, 0);
        NeutralDrawing neutral(store);
        GrabIntoSlot(store, slot, 0, 0, store.imageWidth[slot], store.imageHeight[slot]);
        glDisable(GL_ALPHA_TEST);
        DrawSprite(kScratchSlot, 0, 0);
        glEnable(GL_ALPHA_TEST);
    }
    if (IsSpriteSlot(slot)) {
        delete[] store.alphaMask[slot];
        store.alphaMask[slot] = nullptr;
    }
    store.currentSurface = -1;
    store.currentSurfaceEmulated = 0;
    ApplyGlDefaults(screen, 0, 0, 0, 0);
}

// ---------------------------------------------------------------------------
// Public

void LoadFramebufferEntryPoints() {
    fboEntryPoints = FramebufferEntryPoints();
    // The test switch: behave as on a GL without the extension.
    const char* off = std::getenv("REVEV_NO_FBO");
    if (off && *off && std::strcmp(off, "0") != 0) return;
    // Looking a name up succeeds for any GL function on some systems, so the
    // extension list decides whether the entry points are real.
    if (!HasExtensionWord((const char*)glGetString(GL_EXTENSIONS), "GL_EXT_framebuffer_object")) return;
    FramebufferEntryPoints& f = fboEntryPoints;
    Resolve(f.glBindRenderbufferEXT, "glBindRenderbufferEXT");
    Resolve(f.glDeleteRenderbuffersEXT, "glDeleteRenderbuffersEXT");
    Resolve(f.glGenRenderbuffersEXT, "glGenRenderbuffersEXT");
    Resolve(f.glRenderbufferStorageEXT, "glRenderbufferStorageEXT");
    Resolve(f.glBindFramebufferEXT, "glBindFramebufferEXT");
    Resolve(f.glDeleteFramebuffersEXT, "glDeleteFramebuffersEXT");
    Resolve(f.glGenFramebuffersEXT, "glGenFramebuffersEXT");
    Resolve(f.glCheckFramebufferStatusEXT, "glCheckFramebufferStatusEXT");
    Resolve(f.glFramebufferTexture2DEXT, "glFramebufferTexture2DEXT");
    Resolve(f.glFramebufferRenderbufferEXT, "glFramebufferRenderbufferEXT");
}

void CreateScreen(double surfaceNumber, double slotNumber, double w, double h) {
    const int32_t n = TruncateToInt(surfaceNumber);
    const int32_t slot = TruncateToInt(slotNumber);
    if (n < 0 || n >= kSurfaceCount || !IsSpriteSlot(slot)) return;
    SpriteStore* store = ReadyStore();
    if (!store) return;
    OpenGLZadudedo& screen = *engine.screen;
    // Its framebuffer is about to go; drawing must not be left bound to it.
    if (store->currentSurface == n) EndAndReset(*store, screen);

    const int32_t largest = LargestTextureSide();
    const int32_t width = std::clamp(TruncateToInt(w), 0, largest);
    const int32_t height = std::clamp(TruncateToInt(h), 0, largest);
    int32_t tw = 2, th = 2;
    while (tw < width) tw *= 2;
    while (th < height) th *= 2;

    FreeSprite(slot);
    MakeClearTexture(store->plainTexture[slot], tw, th);
    store->textureWidth[slot] = tw;
    store->textureHeight[slot] = th;
    store->imageWidth[slot] = width;
    store->imageHeight[slot] = height;

    SurfaceRecord& record = store->surfaces[n];
    DestroyRecord(record);
    record.slot = slot;
    CreateFramebufferObject(*store, record, tw, th);
}

void UseScreen(double surfaceNumber) {
    const int32_t n = TruncateToInt(surfaceNumber);
    SpriteStore* store = ReadyStore();
    if (!store) return;
    OpenGLZadudedo& screen = *engine.screen;
    if (n < 0) {
        EndAndReset(*store, screen);
        return;
    }
    if (n >= kSurfaceCount) return;
    SurfaceRecord& record = store->surfaces[n];
    // A surface never created has no sprite to draw into.
    if (!IsSpriteSlot(record.slot)) return;
    if (store->currentSurface != -1) EndAndReset(*store, screen);

    const int32_t slot = record.slot;
    const int32_t W = store->imageWidth[slot], H = store->imageHeight[slot];
    store->currentSurface = n;
    if (HasFramebufferObject(record) && BindRecord(*store, record)) {
        store->currentSurfaceEmulated = 0;
        ApplyGlDefaults(screen, 0, 0, W, H);
        glViewport(0, 0, W, H);
        return;
    }
    // Emulation: the corner is saved, filled with the key colour (which the
    // grab at the end turns transparent again) and shows the surface so far.
    store->currentSurfaceEmulated = 1;
    ApplyGlDefaults(screen, 0, 0, W, H);
    NeutralDrawing neutral(*store);
    GrabIntoSlot(*store, kScratchSlot, 0, 0, W, H);
    DrawRect(0, 0, W, H, store->spriteColourKey);
    DrawSprite(slot, 0, 0);
}

void EndActiveSurface() {
    OpenGLZadudedo* screen = engine.screen;
    if (!screen || !screen->glReady || !screen->sprites || screen->sprites->currentSurface == -1) return;
    EndAndReset(*screen->sprites, *screen);
}
