// Sprite drawing: the alpha mode, sprites at their size, stretched, zoomed
// and rotated, tiled records, sprites at a 3D position and the vertex-list
// draw used by text.
#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "gfx2d/gfx2d_internal.h"
#include "strings/script_numbers.h"

// ---------------------------------------------------------------------------
// Internal helpers

// The quad of DrawSprite: top-left (x, y), size w x h, picture corner (u, v).
static void FillSpriteQuad(float* out, float x, float y, float w, float h, float u, float v) {
    const float quad[16] = {x + w, y, u, v, x, y, 0, v, x, y + h, 0, 0, x + w, y + h, u, 0};
    std::memcpy(out, quad, sizeof quad);
}

static void SpriteQuad(float x, float y, float w, float h, float u, float v) {
    float quad[16];
    FillSpriteQuad(quad, x, y, w, h, u, v);
    DrawFan2D(quad, 4);
}

// ---------------------------------------------------------------------------
// Public: shared helpers

SpriteStore* StoreForSlot(double slotNumber, int32_t& slot) {
    slot = TruncateToInt(slotNumber);
    if (!IsSpriteSlot(slot)) return nullptr;
    return ActiveSpriteStore();
}

float SlotU(const SpriteStore& store, int32_t slot) {
    int32_t texture = store.textureWidth[slot];
    return texture > 0 ? (float)store.imageWidth[slot] / (float)texture : 0.0f;
}

float SlotV(const SpriteStore& store, int32_t slot) {
    int32_t texture = store.textureHeight[slot];
    return texture > 0 ? (float)store.imageHeight[slot] / (float)texture : 0.0f;
}

// Draws interleaved vertices: `positions` coordinates, then u, v, in order or
// by `indices` when given. Texture coordinates are passed only while a sprite
// is bound.
static void DrawInterleaved(const float* vertices, int count, unsigned mode, int positions,
                            const uint32_t* indices = nullptr) {
    const bool textured = boundSprite >= 0;
    const int stride = (positions + 2) * (int)sizeof(float);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(positions, GL_FLOAT, stride, vertices);
    if (textured) {
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        glTexCoordPointer(2, GL_FLOAT, stride, vertices + positions);
    }
    if (indices) glDrawElements(mode, count, GL_UNSIGNED_INT, indices);
    else glDrawArrays(mode, 0, count);
    if (textured) glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
}

void DrawFan2D(const float* vertices, int count) { DrawInterleaved(vertices, count, GL_TRIANGLE_FAN, 2); }

void DrawIndexedTriangles2D(const float* vertices, const uint32_t* indices, int indexCount) {
    DrawInterleaved(vertices, indexCount, GL_TRIANGLES, 2, indices);
}

void SizeVertexList(std::vector<float>& list, size_t needed, size_t floatsPerVertex) {
    size_t capacity = list.capacity() / floatsPerVertex;
    if (capacity <= needed) {
        size_t grown = needed < 512 ? 512 : 128 * (needed / 128 + 1);
        list.reserve(grown * floatsPerVertex);
    }
    list.resize(needed * floatsPerVertex);
}

// ---------------------------------------------------------------------------
// Public: alpha mode

void AlphaMode(double a) {
    SpriteStore* store = ActiveSpriteStore();
    if (!store) return;
    glEnable(GL_BLEND);
    if (a == 0.0) glDisable(GL_BLEND);
    if (a < 0.0) glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    if (a > 0.0) glBlendFunc(GL_ONE, GL_ONE);
    // NaN fails every comparison and reads as full intensity.
    const double magnitude = std::fabs(a);
    const float f = (a == 0.0 || !(magnitude < 1.0)) ? 1.0f : (float)magnitude;
    store->alphaFactor = f;
    glColor4f(f, f, f, f);
}

// ---------------------------------------------------------------------------
// Public: sprites

static void SpriteAt(double slotNumber, double x, double y, bool queue) {
    int32_t slot;
    SpriteStore* store = StoreForSlot(slotNumber, slot);
    if (!store) return;
    const float X = (float)std::ceil(x), Y = (float)std::ceil(y);
    const float W = (float)store->imageWidth[slot], H = (float)store->imageHeight[slot];
    // At its own size on whole pixels, every pixel samples one texel centre.
    if (queue) {
        FillSpriteQuad(QueueSpriteQuad(slot, true), X, Y, W, H, SlotU(*store, slot), SlotV(*store, slot));
        return;
    }
    BindSpriteForDraw(slot, true);
    SpriteQuad(X, Y, W, H, SlotU(*store, slot), SlotV(*store, slot));
}

void DrawSprite(double slotNumber, double x, double y) {
    FlushDrawBatch();
    SpriteAt(slotNumber, x, y, false);
}

void QueueSprite(double slotNumber, double x, double y) { SpriteAt(slotNumber, x, y, DrawBatchingOn()); }

void StretchSprite(double slotNumber, double x, double y, double w, double h) {
    int32_t slot;
    SpriteStore* store = StoreForSlot(slotNumber, slot);
    if (!store) return;
    // The other sprite commands size their quads by the picture, so an empty
    // slot gives them none; this one is sized by the caller, and its quad
    // would come out as a box of the untextured colour.
    if (store->imageWidth[slot] <= 0 || store->imageHeight[slot] <= 0) return;
    BindSprite(slot, -1, false);
    const float X = (float)std::ceil(x), Y = (float)std::ceil(y);
    const float W = (float)std::ceil(w), H = (float)std::ceil(h);
    const float U = SlotU(*store, slot), V = SlotV(*store, slot);
    const float quad[16] = {X, Y + H, 0, 0, X + W, Y + H, U, 0, X + W, Y, U, V, X, Y, 0, V};
    // One negative size mirrors the quad and turns its winding; two negative
    // sizes turn it by half a revolution, which keeps the winding.
    const bool mirrored = (W < 0) != (H < 0);
    if (mirrored) glFrontFace(GL_CW);
    DrawFan2D(quad, 4);
    if (mirrored) glFrontFace(GL_CCW);
}

void ZoomSprite(double slotNumber, double x, double y, double sx, double sy) {
    int32_t slot;
    SpriteStore* store = StoreForSlot(slotNumber, slot);
    if (!store) return;
    const double imageWidth = store->imageWidth[slot], imageHeight = store->imageHeight[slot];
    const double w = sx * imageWidth, h = sy * imageHeight;
    StretchSprite(slot, x - (w - imageWidth) / 2, y - (h - imageHeight) / 2, w, h);
}

static void RotoZoomAt(double slotNumber, double x, double y, double angle, double zoom, bool queue) {
    int32_t slot;
    SpriteStore* store = StoreForSlot(slotNumber, slot);
    if (!store) return;
    const int32_t imageWidth = store->imageWidth[slot], imageHeight = store->imageHeight[slot];
    const float hw = (float)(imageWidth * zoom / 2), hh = (float)(imageHeight * zoom / 2);
    const float u0 = store->textureWidth[slot] > 0 ? 0.5f / store->textureWidth[slot] : 0.0f;
    const float v0 = store->textureHeight[slot] > 0 ? 0.5f / store->textureHeight[slot] : 0.0f;
    const float U = SlotU(*store, slot), V = SlotV(*store, slot);
    // The quad turns clockwise on the screen about the picture's centre. The
    // corners are placed here rather than by a matrix of the GL, so that a
    // run of turned sprites can go to the GL as one draw.
    const double turn = (double)(float)angle * (3.14159265358979323846 / 180.0);
    const double c = std::cos(turn), s = std::sin(turn);
    const double cx = (float)(x + (imageWidth >> 1)), cy = (float)(y + (imageHeight >> 1));
    const float corners[8] = {-hw, hh, hw, hh, hw, -hh, -hw, -hh};
    const float uv[8] = {u0, v0, U, v0, U, V, u0, V};
    float local[16];
    float* out = queue ? QueueSpriteQuad(slot, false) : local;
    for (int i = 0; i < 4; ++i) {
        const double px = corners[2 * i], py = corners[2 * i + 1];
        out[4 * i] = (float)(cx + px * c + py * s);
        out[4 * i + 1] = (float)(cy - px * s + py * c);
        out[4 * i + 2] = uv[2 * i];
        out[4 * i + 3] = uv[2 * i + 1];
    }
    if (queue) return;
    BindSprite(slot, -1, false);
    DrawFan2D(local, 4);
}

void RotoZoomSprite(double slotNumber, double x, double y, double angle, double zoom) {
    FlushDrawBatch();
    RotoZoomAt(slotNumber, x, y, angle, zoom, false);
}

void QueueRotoZoomSprite(double slotNumber, double x, double y, double angle, double zoom) {
    RotoZoomAt(slotNumber, x, y, angle, zoom, DrawBatchingOn());
}

void DrawTiledImage(double recordNumber) {
    const int32_t record = TruncateToInt(recordNumber);
    SpriteStore* store = ActiveSpriteStore();
    if (!store || record < 0 || record >= kTiledRecords) return;
    const TiledImage& tiles = store->tiledImages[record];

    glDisable(GL_ALPHA_TEST);
    PrepareTileBinding();
    glEnable(GL_TEXTURE_2D);
    boundSprite = 0;

    float X = 0;
    for (int i = 0; i < tiles.columnCount && i < kTilesPerSide; ++i) {
        float Y = 0;
        for (int j = 0; j < tiles.rowCount && j < kTilesPerSide; ++j) {
            const int e = i * kTilesPerSide + j;
            glBindTexture(GL_TEXTURE_2D, tiles.texture[e]);
            const float u = tiles.textureWidth[e] > 0 ? (float)tiles.imageWidth[e] / tiles.textureWidth[e] : 0;
            const float v = tiles.textureHeight[e] > 0 ? (float)tiles.imageHeight[e] / tiles.textureHeight[e] : 0;
            SpriteQuad(X, Y, (float)tiles.imageWidth[e], (float)tiles.imageHeight[e], u, v);
            Y += (float)tiles.textureHeight[e];
        }
        X += (float)tiles.textureWidth[i * kTilesPerSide];
    }

    glEnable(GL_ALPHA_TEST);
    BindSprite(-1, -1, false);
}

void DrawSprite3D(double slotNumber, double x, double y, double z, double scale) {
    int32_t slot;
    SpriteStore* store = StoreForSlot(slotNumber, slot);
    if (!store) return;
    float m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    const float right[3] = {m[0], m[4], m[8]};
    const float up[3] = {m[1], m[5], m[9]};
    const float halfWidth = (float)(store->imageWidth[slot] / 4.0 * scale);
    const float height = (float)(store->imageHeight[slot] / 2.0 * scale);
    const float p[3] = {(float)x, (float)y, (float)z};
    const float U = SlotU(*store, slot), V = SlotV(*store, slot);

    BindSprite(slot, -1, false);
    std::vector<float>& list = store->textVertices;
    SizeVertexList(list, 4, 5);
    float* out = list.data();
    for (int c = 0; c < 3; ++c) {
        const float left = p[c] - right[c] * halfWidth, rightCorner = p[c] + right[c] * halfWidth;
        out[c] = left;                           // bottom-left at (0, 0)
        out[5 + c] = rightCorner;                // bottom-right at (U, 0)
        out[10 + c] = rightCorner + up[c] * height;  // top-right at (U, V)
        out[15 + c] = left + up[c] * height;     // top-left at (0, V)
    }
    out[3] = 0, out[4] = 0;
    out[8] = U, out[9] = 0;
    out[13] = U, out[14] = V;
    out[18] = 0, out[19] = V;
    DrawVertexList(out, 4, GL_QUADS);
}

void DrawVertexList(const float* vertices, int count, unsigned mode) {
    if (!vertices || count <= 0) return;
    DrawInterleaved(vertices, count, mode, 3);
}

void ResetFrameDrawing() {
    SpriteStore* store = ActiveSpriteStore();
    if (!store) return;
    ResetSpriteBinding();
    store->alphaFactor = 1.0f;
    const TiledImage& background = store->tiledImages[0];
    if (background.columnCount > 0 && background.rowCount > 0) DrawTiledImage(0);
}
