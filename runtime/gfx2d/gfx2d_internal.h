// Shared between the files of the 2D graphics only.
#pragma once

#include <vector>

#include "gfx2d/gfx2d.h"

// The store and a valid slot, or null when there is no store or the number is
// outside 0..65535 (script numbers must never index the store unchecked).
SpriteStore* StoreForSlot(double slotNumber, int32_t& slot);

// Far corner of the picture in its texture: image size / texture size, 0 for
// an empty slot.
float SlotU(const SpriteStore& store, int32_t slot);
float SlotV(const SpriteStore& store, int32_t slot);

// Glyph rows of the font picture in a slot: 16 when it is at least as tall as
// wide, else 8.
inline int FontRows(const SpriteStore& store, int32_t slot) {
    return store.imageHeight[slot] >= store.imageWidth[slot] && store.imageHeight[slot] > 0 ? 16 : 8;
}

// Binds slot for a sprite draw (bind.cpp). `pixelExact`: the picture is drawn
// at its own size on whole pixels, so nearest filtering gives the same result
// faster.
void BindSpriteForDraw(int32_t slot, bool pixelExact);
// Prepares unit 0 for binding tile textures directly: no sampler, unit 1 off.
void PrepareTileBinding();
// Deletes the binding's GL objects (when the GL is ready) and forgets its state.
void ReleaseBindObjects(bool glReady);

// The sprite program (sprite_program.cpp): Begin puts it in place of the
// fixed-function pipeline for one textured draw and says whether it did, which
// it does only where both give the same pixels; End goes back. The draw
// batching uses it for its longer runs.
bool BeginSpriteProgram();
void EndSpriteProgram();
// Deletes the program (when the GL is ready) and forgets it; the next draw in
// a new context builds it again.
void ReleaseSpriteProgram(bool glReady);

// Draws four vertices of (x, y, u, v) as a triangle fan; texture coordinates
// only while a sprite is bound.
void DrawFan2D(const float* vertices, int count);
// Draws triangles of (x, y, u, v) vertices picked by `indices`, texture
// coordinates as for DrawFan2D.
void DrawIndexedTriangles2D(const float* vertices, const uint32_t* indices, int indexCount);

// Makes room in a vertex list for `needed` vertices of `floatsPerVertex`:
// when the capacity is not above the need it becomes 512 vertices, or
// 128 x (needed / 128 + 1) when 512 are too few. The list then holds exactly
// `needed` vertices.
void SizeVertexList(std::vector<float>& list, size_t needed, size_t floatsPerVertex);

// Queue of the draw batching (batch.cpp), which binds the texture when a new
// run starts. Room for one sprite quad of 4 vertices (x, y, u, v) in fan order;
// room for `quads` text quads of 4 vertices (x, y, z, u, v), or null when that
// many never fit in one queue.
float* QueueSpriteQuad(int32_t slot, bool pixelExact);
float* QueueTextQuads(int32_t slot, size_t quads);
