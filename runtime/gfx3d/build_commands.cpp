// Objects built from commands: begin, vertices grouped into strips, end
// (packing, normals by the normal mode, triangles and bounds), the normal
// mode and the cube builder.
#include <cmath>
#include <new>

#include "gfx3d/gfx3d_internal.h"

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
        if (scene->normalMode == 1) GenerateNormals(object, true, false, false);
        if (scene->normalMode == 2) GenerateNormals(object, true, true, false);
        object.BuildTriangles();
        ComputeBounds(object);
    } catch (const std::bad_alloc&) {
        ClearObject(object, true);
    }
}

void SetNormalMode(double mode) {
    if (!engine.scene3D) return;
    // The remainder keeps the sign, so negative modes generate nothing.
    engine.scene3D->normalMode = TruncateToInt(mode) % 3;
}

void CreateCube(double slot, double size) {
    const float h = (float)(0.5 * size);
    const float corners[8][3] = {{-h, -h, -h}, {h, -h, -h}, {-h, h, -h}, {h, h, -h},
                                 {h, h, h},    {h, -h, h},  {-h, h, h},  {-h, -h, h}};
    const int strip[16] = {5, 7, 4, 6, 3, 4, 1, 5, 0, 7, 2, 0, 3, 1, 2, 6};
    BeginObject(slot, 1);
    if (!engine.scene3D || engine.scene3D->generationTarget < 0) return;
    for (int c : strip) AddVertex(corners[c][0], corners[c][1], corners[c][2], 0, 0, 0x00FFFFFF);
    EndObject();
}
