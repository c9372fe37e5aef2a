// Draw batching: runs of sprites and of text that use the same texture and
// state reach the GL as one draw. Every draw call starts the driver's vertex
// pipeline anew, which costs far more than the four vertices of a sprite, so a
// run of a thousand sprites in one draw costs little more than one sprite.
//
// The queued quads are the same vertices, in the same order and with the same
// primitives, that the commands draw one by one, so a batched frame has the
// same pixels as an unbatched one. Batching is correct only while nothing else
// touches the GL between two queued quads; whoever turns it on must flush
// before any other GL work (the script bindings do, and so does present).
#include <GL/gl.h>

#include "core/engine.h"
#include "gfx2d/gfx2d_internal.h"

// ---------------------------------------------------------------------------
// Types

enum BatchKind { kBatchNone, kBatchSprite, kBatchText };

struct DrawBatch {
    bool on = false;
    BatchKind kind = kBatchNone;
    const SpriteStore* store = nullptr;
    int32_t slot = -1;
    bool pixelExact = false;
    // Sprites: 4 vertices of (x, y, u, v) a quad; text: 4 of (x, y, z, u, v).
    std::vector<float> vertices;
    size_t quads = 0;
    // Sprite quads go out as the two triangles of their fan: 0 1 2, 0 2 3.
    std::vector<uint32_t> fanIndices;
    size_t quadsSinceGlFlush = 0;
};

// ---------------------------------------------------------------------------
// State

static DrawBatch batch;

// A bound on the queue keeps its memory small; a draw of this many quads
// already costs the GL almost nothing per quad.
static const size_t kMostQuads = 1024;
// Runs of fewer quads than this are drawn without the sprite program.
static const size_t kProgramQuads = 32;
// Quads drawn between two flushes of the GL's command queue.
static const size_t kQuadsPerGlFlush = 2048;

// ---------------------------------------------------------------------------
// Internal helpers

static size_t FloatsPerQuad(BatchKind kind) { return kind == kBatchText ? 20 : 16; }

static void MakeFanIndices() {
    batch.fanIndices.resize(kMostQuads * 6);
    for (uint32_t q = 0; q < kMostQuads; ++q) {
        uint32_t* out = &batch.fanIndices[q * 6];
        const uint32_t v = q * 4;
        out[0] = v;
        out[1] = v + 1;
        out[2] = v + 2;
        out[3] = v;
        out[4] = v + 2;
        out[5] = v + 3;
    }
}

static void DrawQueued() {
    const float* vertices = batch.vertices.data();
    const int count = (int)(batch.quads * 4);
    // Going to the sprite program and back costs the driver about as much as a
    // few quads, so short runs stay with the fixed-function pipeline.
    const bool programmed = batch.quads >= kProgramQuads && BeginSpriteProgram();
    if (batch.kind == kBatchText) {
        DrawVertexList(vertices, count, GL_QUADS);
    } else {
        if (batch.fanIndices.empty()) MakeFanIndices();
        DrawIndexedTriangles2D(vertices, batch.fanIndices.data(), (int)(batch.quads * 6));
    }
    if (programmed) EndSpriteProgram();
    // A software GL starts drawing only when its commands are flushed, which
    // present would do at the end of the frame; flushing every few thousand
    // quads lets it draw the first part of a long frame while the script goes
    // on with the rest.
    batch.quadsSinceGlFlush += batch.quads;
    if (batch.quadsSinceGlFlush >= kQuadsPerGlFlush) {
        glFlush();
        batch.quadsSinceGlFlush = 0;
    }
}

// Room for `quads` more quads of the kind, with the texture bound: a queue of
// another kind, texture or store is drawn first and the new run binds.
static float* Queue(BatchKind kind, int32_t slot, bool pixelExact, size_t quads) {
    const SpriteStore* store = ActiveSpriteStore();
    const bool sameRun = batch.kind == kind && batch.store == store && batch.slot == slot &&
                         batch.pixelExact == pixelExact && batch.quads + quads <= kMostQuads;
    if (!sameRun) {
        FlushDrawBatch();
        if (kind == kBatchSprite) BindSpriteForDraw(slot, pixelExact);
        else BindSprite(slot, -1, false);
        batch.kind = kind;
        batch.store = store;
        batch.slot = slot;
        batch.pixelExact = pixelExact;
    }
    const size_t perQuad = FloatsPerQuad(kind);
    const size_t needed = (batch.quads + quads) * perQuad;
    if (batch.vertices.size() < needed) batch.vertices.resize(needed);
    float* out = batch.vertices.data() + batch.quads * perQuad;
    batch.quads += quads;
    return out;
}

// ---------------------------------------------------------------------------
// Public

void SetDrawBatching(bool on) {
    FlushDrawBatch();
    batch.on = on;
}

bool DrawBatchingOn() { return batch.on; }

void FlushDrawBatch() {
    if (batch.kind == kBatchNone) return;
    // Queued quads of a store that is gone (the screen was destroyed) have no
    // texture to draw with any more.
    const bool live = engine.screen && engine.screen->glReady && batch.store == ActiveSpriteStore();
    if (live && batch.quads > 0) DrawQueued();
    batch.kind = kBatchNone;
    batch.store = nullptr;
    batch.slot = -1;
    batch.quads = 0;
}

float* QueueSpriteQuad(int32_t slot, bool pixelExact) { return Queue(kBatchSprite, slot, pixelExact, 1); }

float* QueueTextQuads(int32_t slot, size_t quads) {
    if (quads > kMostQuads) return nullptr;
    return Queue(kBatchText, slot, false, quads);
}
