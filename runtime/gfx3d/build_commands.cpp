// Objects built from commands: begin, vertices grouped into strips, end
// (packing, normals by the normal mode, triangles and bounds), the normal
// mode and the cube builder (a closed cube, one strip a face).
#include <cmath>
#include <new>
#include <utility>

#include "gfx3d/gfx3d_internal.h"
#include "strings/script_numbers.h"

// ---------------------------------------------------------------------------
// Internal helpers

static uint32_t MarkerOf(int kind) {
    if (kind == 0) return MARKER_TRIANGLES;
    if (kind == 2) return MARKER_FAN;
    return MARKER_STRIP;
}

// The object being built, or null when there is no generation target.
static MeshObjectX* Target() {
    Zadudedo3D* scene = engine.scene3D;
    if (!scene || !IsObjectSlot(scene->generationTarget)) return nullptr;
    ObjectSlot& slot = scene->objectSlots[scene->generationTarget];
    if (slot.objects.empty() || slot.objects[0].frames.empty()) return nullptr;
    return &slot.objects[0];
}

static void AppendMarker(MeshObjectX& object, int kind) {
    MeshVertex marker{};
    marker.colour = MarkerOf(kind);
    marker.r = marker.g = marker.b = 1.0f;
    object.frames[0].vertices.push_back(marker);
}

// A colour number's low 32 bits; anything not a number gives 0.
static uint32_t ColourWord(double colour) {
    if (!(std::fabs(colour) < 9.0e18)) return 0;
    return (uint32_t)(int64_t)colour;
}

// Ends the object being built, with normals by `normalMode` (as the mode
// command takes it).
static void FinishObject(int32_t normalMode) {
    Zadudedo3D* scene = engine.scene3D;
    if (!scene || !IsObjectSlot(scene->generationTarget)) return;
    ObjectSlot& slot = scene->objectSlots[scene->generationTarget];
    scene->generationTarget = -1;
    slot.loaded = 1;
    slot.multiObject = 0;
    if (slot.objects.empty()) return;
    MeshObjectX& object = slot.objects[0];
    if (object.frames.empty() || object.frames[0].vertices.size() < 3) {
        ClearObject(object, true);
        return;
    }
    try {
        PackObject(object);
        if (normalMode == 1) GenerateNormals(object, true, false, false);
        if (normalMode == 2) GenerateNormals(object, true, true, false);
        object.BuildTriangles();
        ComputeBounds(object);
    } catch (const std::bad_alloc&) {
        ClearObject(object, true);
    }
}

// ---------------------------------------------------------------------------
// Public

void BeginObject(double slotNumber, int kind) {
    Zadudedo3D* scene = engine.scene3D;
    if (!scene) return;
    const int32_t slot = TruncateToInt(slotNumber);
    scene->generationTarget = -1;
    if (!IsObjectSlot(slot)) return;
    ObjectSlot& target = scene->objectSlots[slot];
    ClearObjectSlot(target);
    try {
        target.objects.resize(1);
        target.objects[0].frames.resize(1);
        AppendMarker(target.objects[0], kind);
    } catch (const std::bad_alloc&) {
        ClearObjectSlot(target);
        return;
    }
    scene->generationTarget = slot;
}

void AddVertex(double x, double y, double z, double u, double v, double colour) {
    MeshObjectX* object = Target();
    if (!object) return;
    MeshVertex vertex{};
    vertex.x = (float)x;
    vertex.y = (float)y;
    vertex.z = (float)z;
    vertex.u = (float)u;
    vertex.v = (float)v;
    vertex.colour = ColourWord(colour);
    ColourToRgb(vertex.colour, vertex.r, vertex.g, vertex.b);
    try {
        object->frames[0].vertices.push_back(vertex);
    } catch (const std::bad_alloc&) {
    }
}

void NewStrip(int kind) {
    MeshObjectX* object = Target();
    if (!object) return;
    try {
        AppendMarker(*object, kind);
    } catch (const std::bad_alloc&) {
    }
}

void EndObject() {
    if (engine.scene3D) FinishObject(engine.scene3D->normalMode);
}

void SetNormalMode(double mode) {
    if (!engine.scene3D) return;
    // The remainder keeps the sign, so negative modes generate nothing.
    engine.scene3D->normalMode = TruncateToInt(mode) % 3;
}

void CreateCube(double slot, double size) {
    const float h = (float)(0.5 * size);
    BeginObject(slot, 1);
    if (!engine.scene3D || engine.scene3D->generationTarget < 0) return;
    // One strip of two triangles a face, each wound clockwise seen from
    // outside like the engine's objects, so the generated normals point out
    // and every edge meets the same edge of one other face. With u x v = n
    // the corners -u-v, -u+v, u-v, u+v make such a strip.
    for (int axis = 0; axis < 3; ++axis) {
        for (int side = -1; side <= 1; side += 2) {
            if (axis != 0 || side != -1) NewStrip(1);
            float n[3] = {0, 0, 0}, u[3] = {0, 0, 0}, v[3] = {0, 0, 0};
            n[axis] = (float)side;
            u[(axis + 1) % 3] = 1;
            v[(axis + 2) % 3] = (float)side;
            for (const auto& [a, b] : {std::pair{-1, -1}, std::pair{-1, 1}, std::pair{1, -1}, std::pair{1, 1}})
                AddVertex(h * (n[0] + a * u[0] + b * v[0]), h * (n[1] + a * u[1] + b * v[1]),
                          h * (n[2] + a * u[2] + b * v[2]), 0, 0, 0x00FFFFFF);
        }
    }
    // The faces' own normals, whatever the normal mode: shared corners would
    // round the cube's shading off.
    FinishObject(1);
}
