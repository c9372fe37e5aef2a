// Shared between the files of the 3D engine only.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/engine.h"
#include "gfx3d/gfx3d.h"

// The engine object when it exists and the GL context is ready; else null.
inline Zadudedo3D* ReadyEngine3D() {
    Zadudedo3D* scene = engine.scene3D;
    if (!scene || !engine.screen || !engine.screen->glReady) return nullptr;
    return scene;
}

// A colour number (r + 256 g + 65536 b) as components 0..1. Numbers beyond the
// 32-bit range keep their low bits.
inline void ColourToFloats(double colour, float rgb[3]) {
    const uint32_t c = (colour == colour && std::fabs(colour) < 9.0e18) ? (uint32_t)(int64_t)colour : 0;
    rgb[0] = (float)(c & 255) / 255.0f;
    rgb[1] = (float)((c >> 8) & 255) / 255.0f;
    rgb[2] = (float)((c >> 16) & 255) / 255.0f;
}

// Normalises in place; vectors of squared length 1e-7 or less stay as they are.
inline void NormaliseSmall(float v[3]) {
    const float lengthSquared = v[0] * v[0] + v[1] * v[1] + v[2] * v[2];
    if (lengthSquared <= 1e-7f) return;
    const float length = std::sqrt(lengthSquared);
    v[0] /= length;
    v[1] /= length;
    v[2] /= length;
}

// The 2D side's intensity g; objects and primitives are drawn in (g, g, g, g).
float GlobalIntensity();
// Sets the current colour to (g, g, g, g).
void ResetColourToIntensity();
// Pops the GL matrices of the transform stack down to depth 0.
void PopTransformStack(Zadudedo3D& scene);
// Resets level 0 to no rotations or matrices, scale 1 and no translation.
void ResetLevel(TransformLevel& level);
// Object draws reset unit 1's texture mode to modulate only while it may be
// something else: this says it may (3D set-up, and whatever sets a unit's
// mode or binds unit 1 itself, as the shading effects do).
void ForgetTextureEnvironments();
// Deletes the vertex buffers and textures a slot holds (before it is emptied).
void ReleaseSlotGlObjects(ObjectSlot& slot);
// Shader programs released with the engine (shader.cpp).
void DeleteShaderPrograms(Zadudedo3D& scene, bool glReady);
// The model matrix of the transform stack alone (identity, then the levels
// to the depth), read back from the GL (projection.cpp).
void StackModelMatrix(float m[16]);
// `in` brought into object space by the inverse of `m` taken as a rigid
// motion (rotation transposed, translation -R^T t); scales are not undone.
void InverseRigidPoint(const float m[16], const float in[3], float out[3]);
// Draws frame `frame` of the object with the shading effect when one is on
// and can be drawn (effects.cpp): relief, cartoon, or in shadow mode only
// its shadow volume. False when the object is to be drawn as usual.
bool DrawObjectEffect(Zadudedo3D& scene, MeshObjectX& object, const MeshFrame& frame, bool secondTexture);

// Where an object draw's vertices come from (draw_buffers.cpp): the arrays'
// base (null when a buffer is bound and the GL takes offsets), stride and
// field offsets, and the corners drawn, by index when `indexType` is not 0.
struct DrawSource {
    const char* base;
    int stride;
    size_t position, normal, texture, colour;
    int count;
    unsigned indexType;
    unsigned lastVertex;
};
// Binds the vertices of `list` (frame 0's from the static buffer, filled once,
// when `fromStatic`; otherwise streamed) with their corner indices when the
// object's corners can be shared.
DrawSource BindDrawSource(MeshObject& object, const std::vector<MeshVertex>& list, bool fromStatic);
// The first corner of each shared vertex when an object's `corners` corners
// are drawn by index (buffer objects present, the corner index valid for
// lists of that size); null when the lists are drawn as they are.
const std::vector<uint32_t>* SharedCornersOf(MeshObject& object, size_t corners);
// Draws the source's triangles, and unbinds its buffers after.
void DrawFromSource(const DrawSource& source);
void UnbindDrawSource(const DrawSource& source);
// Deletes an object's vertex and index buffers.
void ReleaseObjectBuffers(MeshObject& object);

// The address of a vertex field for the GL's array pointers: `base` is a
// client array, or null when a vertex buffer is bound and the GL takes
// offsets. The sum is taken on integers, since adding to a null pointer is
// not defined.
inline const void* VertexField(const char* base, size_t offset) {
    return reinterpret_cast<const void*>(reinterpret_cast<uintptr_t>(base) + offset);
}
