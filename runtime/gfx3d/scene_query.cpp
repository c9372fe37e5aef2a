// Questions about a slot's triangles: how many records frame 0 holds, and
// the three records of one triangle.
#include "gfx3d/gfx3d_internal.h"
#include "strings/number_array.h"
#include "strings/script_numbers.h"

// ---------------------------------------------------------------------------
// Internal helpers

static ObjectSlot* SlotOf(double number) {
    const int32_t n = TruncateToInt(number);
    if (!engine.scene3D || !IsObjectSlot(n)) return nullptr;
    return &engine.scene3D->objectSlots[n];
}

// ---------------------------------------------------------------------------
// Public

double CountTriangleVertices(double slotNumber) {
    ObjectSlot* slot = SlotOf(slotNumber);
    if (!slot) return 0;
    double count = 0;
    for (const MeshObjectX& object : slot->objects)
        if (!object.frames.empty()) count += (double)object.frames[0].triangles.size();
    return count;
}

void GetTriangle(double slotNumber, double frameNumber, double indexNumber, NumberArray& out) {
    out.Dimension(3, 9);
    ObjectSlot* slot = SlotOf(slotNumber);
    const int32_t frame = TruncateToInt(frameNumber);
    const int64_t index = TruncateToInt(indexNumber);
    if (!slot || frame < 0 || index < 0) return;
    int64_t first = 0;  // the first record of the object's list among all objects
    for (const MeshObjectX& object : slot->objects) {
        const int64_t size = (size_t)frame < object.frames.size()
                                 ? (int64_t)object.frames[(size_t)frame].triangles.size() : 0;
        if (index >= first + size) {
            first += size;
            continue;
        }
        const std::vector<MeshVertex>& list = object.frames[(size_t)frame].triangles;
        for (int64_t k = 0; k < 3 && index - first + k < size; ++k) {
            const MeshVertex& v = list[(size_t)(index - first + k)];
            const double fields[9] = {v.x, v.y, v.z, v.u, v.v, (double)v.colour, v.nx, v.ny, v.nz};
            for (int j = 0; j < 9; ++j) out.At(k, j) = fields[j];
        }
        return;
    }
}
