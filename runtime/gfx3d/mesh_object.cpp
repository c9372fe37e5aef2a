// Colour conversion, clearing an object and the triangle builder of the
// engine's object kind.
#include <vector>

#include "gfx3d/mesh.h"

// ---------------------------------------------------------------------------
// Internal helpers

template <typename T>
static void EmptyList(std::vector<T>& list, bool release) {
    if (release)
        std::vector<T>().swap(list);
    else
        list.clear();
}

// ---------------------------------------------------------------------------
// Public

void ColourToRgb(uint32_t colour, float& r, float& g, float& b) {
    if (IsReservedColour(colour)) {
        r = g = b = 1.0f;
        return;
    }
    r = (float)(colour & 0xFF) / 255.0f;
    g = (float)((colour >> 8) & 0xFF) / 255.0f;
    b = (float)((colour >> 16) & 0xFF) / 255.0f;
}

void ClearObject(MeshObject& object, bool release) {
    for (MeshFrame& frame : object.frames) {
        EmptyList(frame.vertices, release);
        EmptyList(frame.triangles, release);
        EmptyList(frame.packed, release);
    }
    EmptyList(object.frames, release);
    EmptyList(object.currentTriangles, release);
    EmptyList(object.uList, release);
    EmptyList(object.vList, release);
    EmptyList(object.colourTable, release);
    // The shading lists describe frame 0's triangles, which are gone.
    if (auto* extended = dynamic_cast<MeshObjectX*>(&object)) {
        EmptyList(extended->edges, release);
        EmptyList(extended->facing, release);
    }
    object.normalsValid = 0;
    ++object.trianglesVersion;
    EmptyList(object.cornerIndex.ofCorner, release);
    EmptyList(object.cornerIndex.firstCorner, release);
}

void MeshObjectX::BuildTriangles() { ExpandTriangles(*this); }
