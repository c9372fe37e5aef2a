// Normal and tangent generation over packed streams: face normals and
// texture-space tangents summed into groups of vertices (one per record, or
// one per packed position when smooth) and written back as table indices.
#include <cmath>
#include <unordered_map>

#include "gfx3d/mesh.h"

// ---------------------------------------------------------------------------
// Types

namespace {

struct Group {
    float normal[3] = {0, 0, 0};
    float tangent[3] = {0, 0, 0};
    float bitangent[3] = {0, 0, 0};
};

struct Corner {
    float p[3];
    float t[2];
    size_t group;
};

}  // namespace

// ---------------------------------------------------------------------------
// Internal helpers

static void Add(float sum[3], const float v[3], float sign = 1.0f) {
    sum[0] += sign * v[0];
    sum[1] += sign * v[1];
    sum[2] += sign * v[2];
}

static uint8_t IndexOf(const float v[3]) {
    float n[3] = {v[0], v[1], v[2]};
    const float lengthSquared = n[0] * n[0] + n[1] * n[1] + n[2] * n[2];
    if (lengthSquared > 1e-7f) {
        const float length = std::sqrt(lengthSquared);
        for (float& c : n) c /= length;
    }
    return NearestNormalIndex(n[0], n[1], n[2]);
}

// Adds one triangle's face normal (negated when `flip`) and tangents to the
// groups of its corners.
static void AddTriangle(std::vector<Group>& groups, const Corner& c0, const Corner& c1, const Corner& c2,
                        bool flip, bool tangents) {
    const float a[3] = {c2.p[0] - c1.p[0], c2.p[1] - c1.p[1], c2.p[2] - c1.p[2]};
    const float b[3] = {c1.p[0] - c0.p[0], c1.p[1] - c0.p[1], c1.p[2] - c0.p[2]};
    // Not normalised: larger faces weigh more in a shared vertex.
    const float face[3] = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
    const float sign = flip ? -1.0f : 1.0f;
    for (const Corner* c : {&c0, &c1, &c2}) Add(groups[c->group].normal, face, sign);
    if (!tangents) return;
    const float e1[3] = {c1.p[0] - c0.p[0], c1.p[1] - c0.p[1], c1.p[2] - c0.p[2]};
    const float e2[3] = {c2.p[0] - c0.p[0], c2.p[1] - c0.p[1], c2.p[2] - c0.p[2]};
    const float du1 = c1.t[0] - c0.t[0], dv1 = c1.t[1] - c0.t[1];
    const float du2 = c2.t[0] - c0.t[0], dv2 = c2.t[1] - c0.t[1];
    const float d = du1 * dv2 - dv1 * du2;
    // A triangle without a usable texture mapping adds no tangent.
    if (!(std::fabs(d) > 1e-5f)) return;
    float tangent[3], bitangent[3];
    for (int k = 0; k < 3; ++k) {
        tangent[k] = (dv2 * e1[k] - dv1 * e2[k]) / d;
        bitangent[k] = (du1 * e2[k] - du2 * e1[k]) / d;
    }
    for (const Corner* c : {&c0, &c1, &c2}) {
        Add(groups[c->group].tangent, tangent);
        Add(groups[c->group].bitangent, bitangent);
    }
}

static void GenerateFrame(const MeshObject& object, MeshFrame& frame, bool normals, bool smooth,
                          bool tangents) {
    std::vector<Group> groups;
    std::vector<size_t> groupOf(frame.packed.size(), SIZE_MAX);
    std::unordered_map<uint32_t, size_t> byPosition;
    uint32_t mode = MARKER_TRIANGLES;
    Corner window[3];
    int filled = 0;
    int parity = 0;
    MeshVertex vertex;
    for (size_t i = 0; i < frame.packed.size(); ++i) {
        const PackedVertex& packed = frame.packed[i];
        const uint32_t colour =
            packed.colourIndex < object.colourTable.size() ? object.colourTable[packed.colourIndex] : COLOUR_PLAIN;
        if (IsReservedColour(colour)) {
            mode = colour;
            filled = 0;
            parity = 0;
            continue;
        }
        size_t group;
        if (smooth) {
            const uint32_t key = (uint32_t)packed.qx | (uint32_t)packed.qy << 8 | (uint32_t)packed.qz << 16;
            auto found = byPosition.find(key);
            if (found != byPosition.end()) {
                group = found->second;
            } else {
                group = groups.size();
                groups.emplace_back();
                byPosition.emplace(key, group);
            }
        } else {
            group = groups.size();
            groups.emplace_back();
        }
        groupOf[i] = group;

        ExpandPackedVertex(object, frame, i, vertex);
        Corner& corner = window[filled];
        corner = {{vertex.x, vertex.y, vertex.z}, {vertex.u, vertex.v}, group};
        if (++filled < 3) continue;
        if (mode == MARKER_FAN) {
            // Fans pivot on their first vertex, as the triangle builder draws them.
            AddTriangle(groups, window[0], window[1], window[2], false, tangents);
            window[1] = window[2];
            filled = 2;
        } else if (mode == MARKER_TRIANGLES) {
            AddTriangle(groups, window[0], window[1], window[2], false, tangents);
            filled = 0;
        } else {
            parity ^= 1;
            // Every second strip triangle runs the other way round.
            AddTriangle(groups, window[0], window[1], window[2], parity == 0, tangents);
            window[0] = window[1];
            window[1] = window[2];
            filled = 2;
        }
    }
    for (size_t i = 0; i < frame.packed.size(); ++i) {
        if (groupOf[i] == SIZE_MAX) continue;
        const Group& group = groups[groupOf[i]];
        if (normals) frame.packed[i].normal = IndexOf(group.normal);
        if (tangents) {
            frame.packed[i].auxA = IndexOf(group.tangent);
            frame.packed[i].auxB = IndexOf(group.bitangent);
        }
    }
}

// ---------------------------------------------------------------------------
// Public

void GenerateNormals(MeshObject& object, bool normals, bool smooth, bool tangents) {
    if (object.frames.empty() || object.frames[0].packed.empty()) return;
    normals = normals && object.normalsValid == 0;
    const PackedVertex& first = object.frames[0].packed[0];
    tangents = tangents && first.auxA == 0 && first.auxB == 0;
    if (!normals && !tangents) return;
    for (MeshFrame& frame : object.frames) GenerateFrame(object, frame, normals, smooth, tangents);
    if (normals) object.normalsValid = 1;
}
