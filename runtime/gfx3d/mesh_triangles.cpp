// Expanding packed streams into triangle lists, and the per-frame bounding
// sphere.
#include <cmath>

#include "gfx3d/mesh.h"

// ---------------------------------------------------------------------------
// Internal helpers

static void SetDirection(float out[3], uint8_t index) {
    // Only data built in memory can hold a bad index; the file reader
    // refuses one.
    const float* entry = kNormalTable[index < kNormalCount ? index : 0];
    out[0] = entry[0];
    out[1] = entry[1];
    out[2] = entry[2];
}

static uint32_t RecordColour(const MeshObject& object, const PackedVertex& packed) {
    return packed.colourIndex < object.colourTable.size() ? object.colourTable[packed.colourIndex]
                                                          : COLOUR_PLAIN;
}

// Records the expansion of `frame` yields. A strip yields up to three records
// per packed one, so counting first saves growing the list while it fills.
static size_t ExpandedSize(const MeshObject& object, const MeshFrame& frame) {
    size_t triangles = 0;
    int filled = 0;
    bool independent = true;
    for (const PackedVertex& packed : frame.packed) {
        uint32_t colour = RecordColour(object, packed);
        if (IsMarker(colour)) {
            filled = 0;
            independent = colour == MARKER_TRIANGLES;
        } else if (++filled == 3) {
            ++triangles;
            filled = independent ? 0 : 2;
        }
    }
    return triangles * 3;
}

static void ExpandFrame(const MeshObject& object, MeshFrame& frame) {
    frame.triangles.clear();
    frame.triangles.reserve(ExpandedSize(object, frame));
    enum { kTriangles, kStrip, kFan } mode = kTriangles;
    MeshVertex corner[3];
    int filled = 0;
    int parity = 0;
    for (size_t i = 0; i < frame.packed.size(); ++i) {
        uint32_t colour = RecordColour(object, frame.packed[i]);
        if (colour == MARKER_TRIANGLES) {
            filled = 0;
            mode = kTriangles;
            continue;
        }
        if (colour == MARKER_STRIP) {
            filled = 0;
            mode = kStrip;
            parity = 0;
            continue;
        }
        if (colour == MARKER_FAN) {
            filled = 0;
            mode = kFan;
            continue;
        }
        ExpandPackedVertex(object, frame, i, corner[filled]);
        if (++filled < 3) continue;
        frame.triangles.push_back(corner[0]);
        frame.triangles.push_back(corner[1]);
        frame.triangles.push_back(corner[2]);
        if (mode == kTriangles) {
            filled = 0;
        } else if (mode == kStrip) {
            // Every second strip triangle swaps its first two corners, so all
            // of them keep the winding of the first.
            filled = 2;
            corner[parity == 0 ? 0 : 1] = corner[2];
            parity ^= 1;
        } else {
            filled = 2;
            corner[1] = corner[2];
        }
    }
}

// ---------------------------------------------------------------------------
// Public

void ExpandPackedVertex(const MeshObject& object, const MeshFrame& frame, size_t index,
                        MeshVertex& out) {
    const PackedVertex& packed = frame.packed[index];
    out = MeshVertex{};
    out.x = ((float)packed.qx - frame.bias[0]) * frame.scale[0];
    out.y = ((float)packed.qy - frame.bias[1]) * frame.scale[1];
    out.z = ((float)packed.qz - frame.bias[2]) * frame.scale[2];
    float normal[3];
    SetDirection(normal, packed.normal);
    out.nx = normal[0];
    out.ny = normal[1];
    out.nz = normal[2];
    SetDirection(out.auxA, packed.auxA);
    SetDirection(out.auxB, packed.auxB);
    out.colourIndex = packed.colourIndex;
    out.colour = RecordColour(object, packed);
    ColourToRgb(out.colour, out.r, out.g, out.b);
    // Objects without texture coordinates draw at (0, 0).
    out.u = index < object.uList.size() ? object.uList[index] : 0.0f;
    out.v = index < object.vList.size() ? -object.vList[index] : 0.0f;
}

void ExpandTriangles(MeshObject& object) {
    for (MeshFrame& frame : object.frames) ExpandFrame(object, frame);
    ++object.trianglesVersion;
    if (object.frames.empty())
        object.currentTriangles.clear();
    else
        object.currentTriangles = object.frames[0].triangles;
    object.hasColours = 0;
    for (uint32_t colour : object.colourTable)
        if (colour != 0x00FFFFFF && !IsReservedColour(colour)) object.hasColours = 1;
}

void ComputeBounds(MeshObject& object) {
    for (MeshFrame& frame : object.frames) {
        frame.centre[0] = frame.centre[1] = frame.centre[2] = 0.0f;
        frame.radius = 0.0f;
        if (frame.triangles.empty()) continue;
        double sum[3] = {0, 0, 0};
        for (const MeshVertex& vertex : frame.triangles) {
            sum[0] += vertex.x;
            sum[1] += vertex.y;
            sum[2] += vertex.z;
        }
        double count = (double)frame.triangles.size();
        for (int a = 0; a < 3; ++a) frame.centre[a] = (float)(sum[a] / count);
        double largest = 0.0;
        for (const MeshVertex& vertex : frame.triangles) {
            double dx = vertex.x - frame.centre[0];
            double dy = vertex.y - frame.centre[1];
            double dz = vertex.z - frame.centre[2];
            double squared = dx * dx + dy * dy + dz * dz;
            if (squared <= 1e-7) continue;
            if (squared > largest) largest = squared;
        }
        frame.radius = (float)std::sqrt(largest);
    }
}
