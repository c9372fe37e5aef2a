// The collision commands, which bring the query into the space of a slot's
// objects as the transform stack would place them, with their debug
// drawings; and projection between world and screen positions.
#include <GL/gl.h>

#include <cmath>

#include "gfx3d/gfx3d_internal.h"
#include "strings/script_numbers.h"

// ---------------------------------------------------------------------------
// Internal helpers

namespace {

constexpr double kHitColour = 0x00FF00;
constexpr double kMissColour = 0x0000FF;
constexpr double kBehindColour = 0x00FFFF;

struct ObjectSpace {
    float m[16];
    void Point(const float in[3], float out[3]) const { InverseRigidPoint(m, in, out); }
};

ObjectSpace CurrentObjectSpace() {
    ObjectSpace space;
    StackModelMatrix(space.m);
    return space;
}

const ObjectSlot* TestedSlot(double slot) {
    Zadudedo3D* scene = ReadyEngine3D();
    const int32_t n = TruncateToInt(slot);
    if (!scene || !IsObjectSlot(n)) return nullptr;
    return &scene->objectSlots[n];
}

void WireSphere(const float c[3], double radius, double colour) {
    constexpr int kSegments = 24;
    for (int axis = 0; axis < 3; ++axis) {
        for (int i = 0; i < kSegments; ++i) {
            double p[2][3];
            for (int k = 0; k < 2; ++k) {
                const double a = 2 * M_PI * (i + k) / kSegments;
                const double u = radius * std::cos(a), v = radius * std::sin(a);
                p[k][axis] = c[axis];
                p[k][(axis + 1) % 3] = c[(axis + 1) % 3] + u;
                p[k][(axis + 2) % 3] = c[(axis + 2) % 3] + v;
            }
            DrawLine3D(p[0][0], p[0][1], p[0][2], p[1][0], p[1][1], p[1][2], colour, 1);
        }
    }
}

void WireBox(const double c[3], double hx, double hy, double hz, double colour) {
    const double h[3] = {hx, hy, hz};
    for (int axis = 0; axis < 3; ++axis) {
        for (int s = 0; s < 4; ++s) {
            double a[3], b[3];
            const int u = (axis + 1) % 3, v = (axis + 2) % 3;
            a[axis] = c[axis] - h[axis];
            b[axis] = c[axis] + h[axis];
            a[u] = b[u] = c[u] + ((s & 1) ? h[u] : -h[u]);
            a[v] = b[v] = c[v] + ((s & 2) ? h[v] : -h[v]);
            DrawLine3D(a[0], a[1], a[2], b[0], b[1], b[2], colour, 1);
        }
    }
}

// General 4 x 4 inverse (column order) by cofactors; false when singular.
bool Invert(const double m[16], double out[16]) {
    double inv[16];
    inv[0] = m[5] * m[10] * m[15] - m[5] * m[11] * m[14] - m[9] * m[6] * m[15] + m[9] * m[7] * m[14] +
             m[13] * m[6] * m[11] - m[13] * m[7] * m[10];
    inv[4] = -m[4] * m[10] * m[15] + m[4] * m[11] * m[14] + m[8] * m[6] * m[15] - m[8] * m[7] * m[14] -
             m[12] * m[6] * m[11] + m[12] * m[7] * m[10];
    inv[8] = m[4] * m[9] * m[15] - m[4] * m[11] * m[13] - m[8] * m[5] * m[15] + m[8] * m[7] * m[13] +
             m[12] * m[5] * m[11] - m[12] * m[7] * m[9];
    inv[12] = -m[4] * m[9] * m[14] + m[4] * m[10] * m[13] + m[8] * m[5] * m[14] - m[8] * m[6] * m[13] -
              m[12] * m[5] * m[10] + m[12] * m[6] * m[9];
    inv[1] = -m[1] * m[10] * m[15] + m[1] * m[11] * m[14] + m[9] * m[2] * m[15] - m[9] * m[3] * m[14] -
             m[13] * m[2] * m[11] + m[13] * m[3] * m[10];
    inv[5] = m[0] * m[10] * m[15] - m[0] * m[11] * m[14] - m[8] * m[2] * m[15] + m[8] * m[3] * m[14] +
             m[12] * m[2] * m[11] - m[12] * m[3] * m[10];
    inv[9] = -m[0] * m[9] * m[15] + m[0] * m[11] * m[13] + m[8] * m[1] * m[15] - m[8] * m[3] * m[13] -
             m[12] * m[1] * m[11] + m[12] * m[3] * m[9];
    inv[13] = m[0] * m[9] * m[14] - m[0] * m[10] * m[13] - m[8] * m[1] * m[14] + m[8] * m[2] * m[13] +
              m[12] * m[1] * m[10] - m[12] * m[2] * m[9];
    inv[2] = m[1] * m[6] * m[15] - m[1] * m[7] * m[14] - m[5] * m[2] * m[15] + m[5] * m[3] * m[14] +
             m[13] * m[2] * m[7] - m[13] * m[3] * m[6];
    inv[6] = -m[0] * m[6] * m[15] + m[0] * m[7] * m[14] + m[4] * m[2] * m[15] - m[4] * m[3] * m[14] -
             m[12] * m[2] * m[7] + m[12] * m[3] * m[6];
    inv[10] = m[0] * m[5] * m[15] - m[0] * m[7] * m[13] - m[4] * m[1] * m[15] + m[4] * m[3] * m[13] +
              m[12] * m[1] * m[7] - m[12] * m[3] * m[5];
    inv[14] = -m[0] * m[5] * m[14] + m[0] * m[6] * m[13] + m[4] * m[1] * m[14] - m[4] * m[2] * m[13] -
              m[12] * m[1] * m[6] + m[12] * m[2] * m[5];
    inv[3] = -m[1] * m[6] * m[11] + m[1] * m[7] * m[10] + m[5] * m[2] * m[11] - m[5] * m[3] * m[10] -
             m[9] * m[2] * m[7] + m[9] * m[3] * m[6];
    inv[7] = m[0] * m[6] * m[11] - m[0] * m[7] * m[10] - m[4] * m[2] * m[11] + m[4] * m[3] * m[10] +
             m[8] * m[2] * m[7] - m[8] * m[3] * m[6];
    inv[11] = -m[0] * m[5] * m[11] + m[0] * m[7] * m[9] + m[4] * m[1] * m[11] - m[4] * m[3] * m[9] -
              m[8] * m[1] * m[7] + m[8] * m[3] * m[5];
    inv[15] = m[0] * m[5] * m[10] - m[0] * m[6] * m[9] - m[4] * m[1] * m[10] + m[4] * m[2] * m[9] +
              m[8] * m[1] * m[6] - m[8] * m[2] * m[5];
    const double det = m[0] * inv[0] + m[1] * inv[4] + m[2] * inv[8] + m[3] * inv[12];
    if (det == 0) return false;
    for (int i = 0; i < 16; ++i) out[i] = inv[i] / det;
    return true;
}

// projection x modelview, both as in force now.
void ViewMatrices(double combined[16], int viewport[4]) {
    double projection[16], modelview[16];
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
    glGetIntegerv(GL_VIEWPORT, viewport);
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r) {
            double sum = 0;
            for (int k = 0; k < 4; ++k) sum += projection[k * 4 + r] * modelview[c * 4 + k];
            combined[c * 4 + r] = sum;
        }
}

}  // namespace

// ---------------------------------------------------------------------------
// Shared with the effects

void StackModelMatrix(float m[16]) {
    GLint mode = GL_MODELVIEW;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    ApplyTransformStack();
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    glPopMatrix();
    glMatrixMode((GLenum)mode);
}

void InverseRigidPoint(const float m[16], const float in[3], float out[3]) {
    const float x = in[0] - m[12], y = in[1] - m[13], z = in[2] - m[14];
    out[0] = m[0] * x + m[1] * y + m[2] * z;
    out[1] = m[4] * x + m[5] * y + m[6] * z;
    out[2] = m[8] * x + m[9] * y + m[10] * z;
}

// ---------------------------------------------------------------------------
// Public

double SphereHitsObject(double slot, double frame, double x, double y, double z, double radius) {
    const ObjectSlot* s = TestedSlot(slot);
    if (!s) return 0;
    const ObjectSpace space = CurrentObjectSpace();
    const float world[3] = {(float)x, (float)y, (float)z};
    float centre[3];
    space.Point(world, centre);
    bool hit = false;
    for (const MeshObjectX& object : s->objects)
        if ((hit = SphereHitsFrame(object, TruncateToInt(frame), centre, (float)radius))) break;
    if (engine.debugMode) WireSphere(world, radius, hit ? kHitColour : kMissColour);
    return hit ? 1.0 : 0.0;
}

double BoxHitsObject(double slot, double frame, double x, double y, double z, double width, double height) {
    const ObjectSlot* s = TestedSlot(slot);
    if (!s) return 0;
    const ObjectSpace space = CurrentObjectSpace();
    const float world[3] = {(float)x, (float)y, (float)z};
    float centre[3];
    space.Point(world, centre);
    const float half[3] = {(float)(width / 2), (float)(height / 2), (float)(width / 2)};
    float axes[3][3];
    for (int a = 0; a < 3; ++a) {
        float end[3] = {world[0], world[1], world[2]};
        end[a] += half[a];
        space.Point(end, axes[a]);
        for (int k = 0; k < 3; ++k) axes[a][k] -= centre[k];
    }
    const double reach = std::sqrt((double)half[0] * half[0] + (double)half[1] * half[1] + (double)half[2] * half[2]);
    bool hit = false;
    for (const MeshObjectX& object : s->objects)
        if ((hit = BoxHitsFrame(object, TruncateToInt(frame), centre, axes, reach))) break;
    if (engine.debugMode) {
        const double c[3] = {x, y, z};
        WireBox(c, half[0], half[1], half[2], hit ? kHitColour : kMissColour);
    }
    return hit ? 1.0 : 0.0;
}

double RayHitsObject(double slot, double frame, double x1, double y1, double z1, double x2, double y2, double z2) {
    const ObjectSlot* s = TestedSlot(slot);
    if (!s) return 0;
    const ObjectSpace space = CurrentObjectSpace();
    const float worldFrom[3] = {(float)x1, (float)y1, (float)z1};
    const float worldTo[3] = {(float)x2, (float)y2, (float)z2};
    float from[3], to[3];
    space.Point(worldFrom, from);
    space.Point(worldTo, to);
    double t = 0;
    for (const MeshObjectX& object : s->objects) t = CloserRayHit(t, RayHitsFrame(object, TruncateToInt(frame), from, to));
    if (engine.debugMode)
        DrawLine3D(x1, y1, z1, x2, y2, z2, t > 0 ? kHitColour : t < 0 ? kBehindColour : kMissColour, t != 0 ? 5 : 1);
    return t;
}

int ProjectToScreen(double x, double y, double z, double out[3]) {
    if (!ReadyEngine3D()) return 0;
    double m[16];
    int viewport[4];
    ViewMatrices(m, viewport);
    const double p[4] = {x, y, z, 1};
    double clip[4];
    for (int r = 0; r < 4; ++r) clip[r] = m[r] * p[0] + m[4 + r] * p[1] + m[8 + r] * p[2] + m[12 + r] * p[3];
    if (clip[3] == 0) return 0;
    const double nx = clip[0] / clip[3], ny = clip[1] / clip[3], nz = clip[2] / clip[3];
    out[0] = viewport[0] + viewport[2] * (nx + 1) / 2;
    out[1] = viewport[3] - (viewport[1] + viewport[3] * (ny + 1) / 2);
    out[2] = (nz + 1) / 2;
    return 1;
}

int UnprojectFromScreen(double sx, double sy, double sz, double out[3]) {
    if (!ReadyEngine3D()) return 0;
    sy = engine.screen->height - 1 - sy;
    double m[16], inverse[16];
    int viewport[4];
    ViewMatrices(m, viewport);
    if (!Invert(m, inverse)) {
        for (int i = 0; i < 16; ++i) inverse[i] = (i % 5 == 0) ? 1 : 0;
    }
    if (viewport[2] == 0 || viewport[3] == 0) return 0;
    const double n[4] = {2 * (sx - viewport[0]) / viewport[2] - 1, 2 * (sy - viewport[1]) / viewport[3] - 1,
                         2 * sz - 1, 1};
    double p[4];
    for (int r = 0; r < 4; ++r)
        p[r] = inverse[r] * n[0] + inverse[4 + r] * n[1] + inverse[8 + r] * n[2] + inverse[12 + r] * n[3];
    if (p[3] == 0) return 0;
    out[0] = p[0] / p[3];
    out[1] = p[1] / p[3];
    out[2] = p[2] / p[3];
    return 1;
}
