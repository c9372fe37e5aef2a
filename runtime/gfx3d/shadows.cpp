// Stencil shadows: the edge list of an object's frame 0, which triangles face
// the effect light and which edges are silhouettes, the shadow volume drawn
// into the stencil buffer, and the shadow pass with its darkening.
#include <GL/gl.h>

#include <array>
#include <cmath>
#include <cstring>
#include <map>
#include <unordered_map>

#include "gfx2d/gfx2d.h"
#include "gfx3d/gfx3d_internal.h"

// ---------------------------------------------------------------------------
// Internal helpers

namespace {

constexpr uint32_t kNoNeighbour = 0xFFFFFFFF;

struct PositionHash {
    size_t operator()(const std::array<float, 3>& p) const {
        uint32_t bits[3];
        std::memcpy(bits, p.data(), sizeof bits);
        return (size_t)bits[0] * 73856093u ^ (size_t)bits[1] * 19349663u ^ (size_t)bits[2] * 83492791u;
    }
};

void Corner4(const MeshVertex& v, const float light[3], bool atInfinity) {
    if (atInfinity)
        glVertex4f(v.x - light[0], v.y - light[1], v.z - light[2], 0);
    else
        glVertex4f(v.x, v.y, v.z, 1);
}

void DrawVolumeSides(const MeshObjectX& object, const std::vector<MeshVertex>& triangles, const float light[3],
                     bool caps) {
    const size_t count = triangles.size() / 3;
    glBegin(GL_QUADS);
    for (size_t t = 0; t < count && t < object.facing.size(); ++t) {
        if (!object.facing[t]) continue;
        for (int k = 0; k < 3; ++k) {
            if (3 * t + k >= object.edges.size() || !object.edges[3 * t + k].silhouette) continue;
            const MeshVertex& a = triangles[3 * t + k];
            const MeshVertex& b = triangles[3 * t + (k + 1) % 3];
            // Wound like the caps, counter-clockwise seen from outside the
            // volume, so both passes count sides and caps alike.
            Corner4(a, light, false);
            Corner4(b, light, false);
            Corner4(b, light, true);
            Corner4(a, light, true);
        }
    }
    glEnd();
    if (!caps) return;
    glBegin(GL_TRIANGLES);
    for (size_t t = 0; t < count && t < object.facing.size(); ++t) {
        const bool lit = object.facing[t] != 0;
        for (int k = 2; k >= 0; --k) Corner4(triangles[3 * t + k], light, !lit);
    }
    glEnd();
}

}  // namespace

// ---------------------------------------------------------------------------
// Public

void BuildEdgeList(MeshObjectX& object) {
    object.edges.clear();
    if (object.frames.empty()) return;
    const MeshFrame& frame = object.frames[0];
    const std::vector<MeshVertex>& triangles = frame.triangles;
    // The first packed record at each decoded position names the corners
    // found there. Corners are expanded from those same records, so their
    // positions match exactly.
    std::unordered_map<std::array<float, 3>, int32_t, PositionHash> firstRecord;
    MeshVertex decoded;
    for (size_t i = 0; i < frame.packed.size(); ++i) {
        const uint32_t colour = frame.packed[i].colourIndex < object.colourTable.size()
                                    ? object.colourTable[frame.packed[i].colourIndex]
                                    : COLOUR_PLAIN;
        if (IsMarker(colour)) continue;
        ExpandPackedVertex(object, frame, i, decoded);
        firstRecord.emplace(std::array<float, 3>{decoded.x, decoded.y, decoded.z}, (int32_t)i);
    }
    std::vector<int32_t> id(triangles.size(), -1);
    for (size_t c = 0; c < triangles.size(); ++c) {
        auto found = firstRecord.find({triangles[c].x, triangles[c].y, triangles[c].z});
        if (found != firstRecord.end()) id[c] = found->second;
    }
    const size_t count = triangles.size() / 3;
    object.edges.assign(count * 3, MeshEdge{});
    // Edges by the two vertex ids they join, in triangle order.
    std::map<std::pair<int32_t, int32_t>, std::vector<uint32_t>> byVertices;
    for (size_t e = 0; e < count * 3; ++e) {
        const size_t t = e / 3, k = e % 3;
        int32_t a = id[3 * t + k], b = id[3 * t + (k + 1) % 3];
        if (a > b) std::swap(a, b);
        byVertices[{a, b}].push_back((uint32_t)e);
    }
    for (size_t e = 0; e < count * 3; ++e) {
        if (object.edges[e].neighbour != kNoNeighbour) continue;
        const size_t t = e / 3, k = e % 3;
        int32_t a = id[3 * t + k], b = id[3 * t + (k + 1) % 3];
        if (a > b) std::swap(a, b);
        for (uint32_t other : byVertices[{a, b}]) {
            if (other / 3 <= t) continue;
            object.edges[e].neighbour = other / 3;
            object.edges[other].neighbour = (uint32_t)t;
        }
    }
}

void ComputeFacing(MeshObjectX& object, const std::vector<MeshVertex>& triangles, const float light[3]) {
    const size_t count = triangles.size() / 3;
    object.facing.assign(count, 0);
    for (size_t t = 0; t < count; ++t) {
        const MeshVertex& a = triangles[3 * t];
        const MeshVertex& b = triangles[3 * t + 1];
        const MeshVertex& c = triangles[3 * t + 2];
        const float u[3] = {a.x - b.x, a.y - b.y, a.z - b.z};
        const float v[3] = {c.x - b.x, c.y - b.y, c.z - b.z};
        const float n[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
        // The light is a point: the face is lit when it lies in front of the
        // face's plane, seen from a corner of the face.
        const float toLight[3] = {light[0] - b.x, light[1] - b.y, light[2] - b.z};
        object.facing[t] = toLight[0] * n[0] + toLight[1] * n[1] + toLight[2] * n[2] > 0 ? 1 : 0;
    }
    for (size_t e = 0; e < object.edges.size() && e / 3 < count; ++e) {
        MeshEdge& edge = object.edges[e];
        const bool lit = object.facing[e / 3] != 0;
        const bool otherLit = edge.neighbour < count && object.facing[edge.neighbour] != 0;
        edge.silhouette = lit && !otherLit ? 1 : 0;
    }
}

void DrawShadowVolume(MeshObjectX& object, const std::vector<MeshVertex>& triangles, const float light[3],
                      bool caps) {
    glDisable(GL_CULL_FACE);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    glStencilFunc(GL_ALWAYS, 0, 0xFFFFFFFF);
    // The volume is wound counter-clockwise seen from outside, whatever front
    // faces the cull mode chose for the objects.
    GLint front = GL_CCW;
    glGetIntegerv(GL_FRONT_FACE, &front);
    glFrontFace(GL_CCW);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glStencilOp(GL_KEEP, GL_KEEP, GL_INCR);
    DrawVolumeSides(object, triangles, light, caps);
    glCullFace(GL_FRONT);
    glStencilOp(GL_KEEP, GL_KEEP, GL_DECR);
    DrawVolumeSides(object, triangles, light, caps);
    glFrontFace((GLenum)front);
}

void SetShadowPass(Zadudedo3D& scene, bool on) {
    if ((scene.shadowPassActive != 0) == on) return;
    scene.shadowPassActive = on ? 1 : 0;
    if (on) {
        glShadeModel(GL_FLAT);
        glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
        glEnable(GL_STENCIL_TEST);
        glDepthMask(GL_FALSE);
        glStencilFunc(GL_ALWAYS, 0, 0);
        glStencilOp(GL_KEEP, GL_KEEP, GL_INVERT);
        return;
    }
    glCullFace(GL_BACK);
    glDepthMask(GL_TRUE);
    glDepthFunc(GL_LEQUAL);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    // The darkening covers the whole window, whatever viewport was set.
    ApplyGlDefaults(*engine.screen, 0, 0, 0, 0);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    SpriteStore* store = ActiveSpriteStore();
    if (store) store->alphaFactor = 0.5f;
    glEnable(GL_STENCIL_TEST);
    glStencilFunc(GL_NOTEQUAL, 0, 0xFFFFFFFF);
    glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    DrawRect(0, 0, 3000, 2000, 0);
    glDisable(GL_BLEND);
    if (store) store->alphaFactor = 1.0f;
    glColor4f(1, 1, 1, 1);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glShadeModel(GL_SMOOTH);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    glDisable(GL_STENCIL_TEST);
    glClear(GL_STENCIL_BUFFER_BIT);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
}

void EndShadowPass() {
    if (Zadudedo3D* scene = ReadyEngine3D()) SetShadowPass(*scene, false);
}
