// Pixel-exact sprite collision over the alpha masks of the two slots, read
// from the GL once per slot and kept, scanned coarse grid first.
#include <GL/gl.h>

#include <algorithm>
#include <new>

#include "gfx2d/pixels_internal.h"
#include "strings/script_numbers.h"

// ---------------------------------------------------------------------------
// Internal helpers

// The slot's alpha mask (texture width x height bytes, rows from the bottom),
// built on first use. Null when the slot has no texture, or when the texture
// the GL holds is not the size the slot records (reading it would overrun).
static const uint8_t* AlphaMask(SpriteStore& store, int32_t slot) {
    if (store.alphaMask[slot]) return store.alphaMask[slot];
    const int32_t tw = store.textureWidth[slot], th = store.textureHeight[slot];
    if (store.plainTexture[slot] == 0 || tw <= 0 || th <= 0) return nullptr;

    KeepTextureBinding keep;
    glBindTexture(GL_TEXTURE_2D, store.plainTexture[slot]);
    GLint glWidth = 0, glHeight = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &glWidth);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &glHeight);
    if (glWidth != tw || glHeight != th) return nullptr;
    uint8_t* mask = new (std::nothrow) uint8_t[(size_t)tw * (size_t)th];
    if (!mask) return nullptr;
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glPixelStorei(GL_PACK_SKIP_ROWS, 0);
    glPixelStorei(GL_PACK_SKIP_PIXELS, 0);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_ALPHA, GL_UNSIGNED_BYTE, mask);
    store.alphaMask[slot] = mask;
    return mask;
}

// A sprite placed on the screen, with its mask.
struct Placed {
    int64_t x, y, width, height, textureWidth;
    const uint8_t* mask;

    // Mask byte under screen pixel (px, py); the picture's bottom row is mask row 0.
    uint8_t At(int64_t px, int64_t py) const {
        return mask[(size_t)((y + height - 1 - py) * textureWidth + (px - x))];
    }
};

// The picture size as far as the texture holds it.
static bool Place(SpriteStore& store, int32_t slot, double x, double y, Placed& placed) {
    placed.width = std::min(store.imageWidth[slot], store.textureWidth[slot]);
    placed.height = std::min(store.imageHeight[slot], store.textureHeight[slot]);
    placed.textureWidth = store.textureWidth[slot];
    placed.x = TruncateToInt(x);
    placed.y = TruncateToInt(y);
    placed.mask = nullptr;
    return placed.width > 0 && placed.height > 0;
}

// ---------------------------------------------------------------------------
// Public

double SpriteCollision(double slotA, double xa, double ya, double slotB, double xb, double yb) {
    const int32_t a = TruncateToInt(slotA), b = TruncateToInt(slotB);
    SpriteStore* store = IsSpriteSlot(a) && IsSpriteSlot(b) ? ReadyStore() : nullptr;
    if (!store) return 0.0;
    Placed pa, pb;
    if (!Place(*store, a, xa, ya, pa) || !Place(*store, b, xb, yb, pb)) return 0.0;

    // The common rectangle; rectangles that only touch share no pixel.
    const int64_t left = std::max(pa.x, pb.x), right = std::min(pa.x + pa.width, pb.x + pb.width);
    const int64_t top = std::max(pa.y, pb.y), bottom = std::min(pa.y + pa.height, pb.y + pb.height);
    if (left >= right || top >= bottom) return 0.0;

    pa.mask = AlphaMask(*store, a);
    pb.mask = AlphaMask(*store, b);
    if (!pa.mask || !pb.mask) return 0.0;

    // Four interleaved passes, every second pixel each way: a coarse grid
    // finds most overlaps early.
    static const int kPassOffsets[4][2] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
    for (const auto& offset : kPassOffsets) {
        for (int64_t py = top + offset[1]; py < bottom; py += 2) {
            for (int64_t px = left + offset[0]; px < right; px += 2) {
                if (pa.At(px, py) != 0 && pb.At(px, py) != 0) return 1.0;
            }
        }
    }
    return 0.0;
}
