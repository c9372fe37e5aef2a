// Pixels from the frame buffer back to the program: a screen rectangle into a
// sprite slot, the whole screen into a tiled record, the colour of one pixel.
#include <GL/gl.h>

#include <algorithm>

#include "core/engine.h"
#include "gfx2d/pixels_internal.h"
#include "strings/script_numbers.h"

// ---------------------------------------------------------------------------
// Types and state

namespace {

constexpr GLenum kBgra = 0x80E1;
constexpr GLenum kColourAttachment0 = 0x8CE0;

}  // namespace

// Texture-sized blocks read back by grabs without frame-buffer alpha; it only
// grows and lives until the process ends.
static std::vector<uint8_t> grabScratch;
// Alpha bits of the window's frame buffer; 0 is asked again next time.
static int frameBufferAlphaBits = 0;
static int alphaBitsOverride = -1;

// ---------------------------------------------------------------------------
// Internal helpers

static int FrameBufferAlphaBits() {
    if (alphaBitsOverride >= 0) return alphaBitsOverride;
    if (frameBufferAlphaBits == 0) {
        GLint bits = 0;
        glGetIntegerv(GL_ALPHA_BITS, &bits);
        frameBufferAlphaBits = bits;
    }
    return frameBufferAlphaBits;
}

// A screen coordinate held far enough inside the 32-bit range that the GL's
// own sums cannot overflow; anything this far out is off the screen anyway.
static int32_t HeldCoordinate(int64_t value) {
    constexpr int64_t kFar = (int64_t)1 << 24;
    return (int32_t)std::clamp<int64_t>(value, -kFar, kFar);
}

// Smallest power of two of at least 32 that holds n.
static int32_t GrabTextureSide(int32_t n) {
    int32_t side = 32;
    while (side < n) side *= 2;
    return side;
}

// The key colour as the frame buffer stores it (red, green, blue): one pixel
// of the key is drawn where SetPixel puts (2, 2) of the viewport, read back and
// painted over with what was there. A key of 0 is black as it is.
static void StoredKeyColour(SpriteStore& store, const ReadTarget& target, uint8_t key[3]) {
    const int32_t colour = store.spriteColourKey;
    key[0] = (uint8_t)(colour & 255);
    key[1] = (uint8_t)((colour >> 8) & 255);
    key[2] = (uint8_t)((colour >> 16) & 255);
    OpenGLZadudedo& screen = *engine.screen;
    // A viewport too small for the probe pixel would read a pixel SetPixel
    // never reached; the key's own bytes are the best answer then.
    if (colour == 0 || screen.viewport[2] < 3 || screen.viewport[3] < 3) return;

    const int32_t px = screen.viewport[0] + 2;
    const int32_t row = target.height - 1 - (screen.viewport[1] + 2);
    uint8_t saved[4] = {0, 0, 0, 0}, stored[4] = {0, 0, 0, 0};
    NeutralDrawing neutral(store);
    glReadPixels(px, row, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, saved);
    SetPixel(2, 2, colour);
    glReadPixels(px, row, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, stored);
    SetPixel(2, 2, saved[0] + 256.0 * saved[1] + 65536.0 * saved[2]);
    key[0] = stored[0];
    key[1] = stored[1];
    key[2] = stored[2];
}

// ---------------------------------------------------------------------------
// Public: helpers shared with the other read-backs

SpriteStore* ReadyStore() {
    if (!engine.screen || !engine.screen->glReady) return nullptr;
    return ActiveSpriteStore();
}

ReadTarget PrepareReadBack(const SpriteStore& store) {
    ReadTarget target;
    target.width = engine.screen->width;
    target.height = engine.screen->height;
    if (store.currentSurface >= 0 && store.currentSurface < kSurfaceCount && !store.currentSurfaceEmulated) {
        const int32_t slot = store.surfaces[store.currentSurface].slot;
        if (IsSpriteSlot(slot)) {
            target.width = store.imageWidth[slot];
            target.height = store.imageHeight[slot];
            target.framebufferObject = true;
        }
    }
    glReadBuffer(target.framebufferObject ? kColourAttachment0 : GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glPixelStorei(GL_PACK_SKIP_ROWS, 0);
    glPixelStorei(GL_PACK_SKIP_PIXELS, 0);
    return target;
}

int32_t LargestTextureSide() {
    GLint largest = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
    return largest > 0 ? largest : 64;
}

NeutralDrawing::NeutralDrawing(SpriteStore& s)
    : store(s), alphaFactor(s.alphaFactor), blending(glIsEnabled(GL_BLEND) == GL_TRUE) {
    store.alphaFactor = 1.0f;
    glDisable(GL_BLEND);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
}

NeutralDrawing::~NeutralDrawing() {
    store.alphaFactor = alphaFactor;
    if (blending) glEnable(GL_BLEND);
    glColor4f(alphaFactor, alphaFactor, alphaFactor, alphaFactor);
}

void GrabIntoSlot(SpriteStore& store, int32_t slot, int32_t x, int32_t y, int32_t w, int32_t h) {
    // Sizes beyond the GL's limit could not be stored and would not terminate
    // the power-of-two search; negative ones mean nothing.
    const int32_t largest = LargestTextureSide();
    w = std::clamp(w, 0, largest);
    h = std::clamp(h, 0, largest);
    const int32_t tw = std::min(GrabTextureSide(w), std::max(largest, 32));
    const int32_t th = std::min(GrabTextureSide(h), std::max(largest, 32));

    KeepTextureBinding keep;
    const bool reuse = store.plainTexture[slot] != 0 && store.textureWidth[slot] == tw &&
                       store.textureHeight[slot] == th;
    // A grabbed sprite has no mipmapped twin, and its old alpha mask no longer
    // tells where it is transparent.
    if (store.mipTexture[slot]) glDeleteTextures(1, &store.mipTexture[slot]);
    store.mipTexture[slot] = 0;
    delete[] store.alphaMask[slot];
    store.alphaMask[slot] = nullptr;

    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    if (reuse) {
        glBindTexture(GL_TEXTURE_2D, store.plainTexture[slot]);
    } else {
        if (store.plainTexture[slot]) glDeleteTextures(1, &store.plainTexture[slot]);
        glGenTextures(1, &store.plainTexture[slot]);
        glBindTexture(GL_TEXTURE_2D, store.plainTexture[slot]);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, tw, th, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    }
    store.textureWidth[slot] = tw;
    store.textureHeight[slot] = th;
    store.imageWidth[slot] = w;
    store.imageHeight[slot] = h;

    ReadTarget target = PrepareReadBack(store);
    x = HeldCoordinate(x);
    const int32_t row = HeldCoordinate((int64_t)target.height - y - h);
    if (target.framebufferObject || FrameBufferAlphaBits() > 0) {
        glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, x, row, w, h);
        return;
    }

    // No alpha in the frame buffer: transparency comes from the key colour.
    uint8_t key[3];
    StoredKeyColour(store, target, key);
    const size_t bytes = (size_t)tw * (size_t)th * 4;
    if (grabScratch.size() < bytes) grabScratch.resize(bytes);
    std::fill_n(grabScratch.begin(), bytes, (uint8_t)0);
    PrepareReadBack(store);
    glReadPixels(x, row, tw, th, kBgra, GL_UNSIGNED_BYTE, grabScratch.data());
    for (size_t at = 0; at < bytes; at += 4) {
        uint8_t* p = &grabScratch[at];  // blue, green, red, alpha
        if (p[2] == key[0] && p[1] == key[1] && p[0] == key[2]) p[3] = 0;
    }
    glBindTexture(GL_TEXTURE_2D, store.plainTexture[slot]);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, tw, th, 0, kBgra, GL_UNSIGNED_BYTE, grabScratch.data());
}

// ---------------------------------------------------------------------------
// Public: commands

double GrabSprite(double slotNumber, double x, double y, double w, double h) {
    const int32_t slot = TruncateToInt(slotNumber);
    SpriteStore* store = IsSpriteSlot(slot) ? ReadyStore() : nullptr;
    if (store) GrabIntoSlot(*store, slot, TruncateToInt(x), TruncateToInt(y), TruncateToInt(w), TruncateToInt(h));
    return 1.0;
}

void GrabBackground(double recordNumber) {
    const int32_t record = TruncateToInt(recordNumber);
    SpriteStore* store = ReadyStore();
    if (!store || record < 0 || record >= kTiledRecords) return;
    // Tiles as large as loaded backgrounds use: the GL's largest texture can
    // be gigabytes for a small screen.
    const int32_t tile = std::min(LargestTextureSide(), kLargestTile);
    TiledImage& tiles = store->tiledImages[record];
    KeepTextureBinding keep;
    const ReadTarget target = PrepareReadBack(*store);

    int32_t rows = 0, columns = 0;
    for (int32_t top = 0; top < target.height && rows < kTilesPerSide; top += tile, ++rows) {
        columns = 0;
        for (int32_t left = 0; left < target.width && columns < kTilesPerSide; left += tile, ++columns) {
            const int entry = columns * kTilesPerSide + rows;
            uint32_t& name = tiles.texture[entry];
            const bool reuse = name != 0 && tiles.textureWidth[entry] == tile && tiles.textureHeight[entry] == tile;
            if (name == 0) glGenTextures(1, &name);
            glBindTexture(GL_TEXTURE_2D, name);
            if (!reuse) {
                // A tile of another size keeps its name and gets new storage.
                glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
                glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
                glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
                glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
                glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, tile, tile, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
            }
            const int32_t tw = std::min(tile, target.width - left);
            const int32_t th = std::min(tile, target.height - top);
            glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, left, target.height - top - th, tw, th);
            tiles.textureWidth[entry] = tile;
            tiles.textureHeight[entry] = tile;
            tiles.imageWidth[entry] = tw;
            tiles.imageHeight[entry] = th;
        }
    }
    tiles.columnCount = columns;
    tiles.rowCount = rows;
}

double GetPixel(double x, double y) {
    SpriteStore* store = ReadyStore();
    if (!store) return 0.0;
    const ReadTarget target = PrepareReadBack(*store);
    const int32_t px = TruncateToInt(x), py = TruncateToInt(y);
    if (px < 0 || py < 0 || px >= target.width || py >= target.height) return 0.0;
    uint8_t p[4] = {0, 0, 0, 0};
    glReadPixels(px, target.height - 1 - py, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, p);
    return p[0] + 256.0 * p[1] + 65536.0 * p[2];
}

void OverrideFrameBufferAlphaBits(int bits) {
    alphaBitsOverride = bits;
    if (bits < 0) frameBufferAlphaBits = 0;
}
