// A torus built into an object slot, ready to draw: the model the 3D
// benchmarks time, made here so a bench needs no data file.
#pragma once

#include "core/engine.h"
#include "gfx3d/gfx3d.h"
#include "gfx3d/mesh.h"
#include "torus_model.h"

// Replaces what the slot held with one torus of `rings` x `sides` and
// `frames` key frames; the started scene must exist.
inline MeshObjectX& TorusInSlot(int slotNumber, int rings, int sides, int frames) {
    TorusShape shape;
    shape.rings = rings;
    shape.sides = sides;
    shape.frames = frames;
    ObjectSlot& slot = engine.scene3D->objectSlots[slotNumber];
    ClearObjectSlot(slot);
    slot.objects.emplace_back();
    BuildTorus(slot.objects[0], shape);
    slot.objects[0].BuildTriangles();
    ComputeBounds(slot.objects[0]);
    slot.loaded = 1;
    return slot.objects[0];
}
