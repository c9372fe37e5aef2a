// The camera: a look-at view built from eye, target and up vector.
#include <GL/gl.h>

#include "gfx3d/gfx3d_internal.h"

// ---------------------------------------------------------------------------
// Internal helpers

static void Cross(const float a[3], const float b[3], float out[3]) {
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

// Normalises unless the length is 0.
static void NormaliseNonZero(float v[3]) {
    const float length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (length == 0) return;
    v[0] /= length;
    v[1] /= length;
    v[2] /= length;
}

static float Dot(const float a[3], const float b[3]) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

// ---------------------------------------------------------------------------
// Public

void LookAtMatrix(const float eye[3], const float target[3], const float up[3], float out[16]) {
    float f[3] = {eye[0] - target[0], eye[1] - target[1], eye[2] - target[2]};
    NormaliseNonZero(f);
    float s[3], u[3];
    Cross(up, f, s);
    // u is taken before s is normalised; both are normalised afterwards.
    Cross(f, s, u);
    NormaliseNonZero(s);
    NormaliseNonZero(u);
    const float rows[3][3] = {{s[0], s[1], s[2]}, {u[0], u[1], u[2]}, {f[0], f[1], f[2]}};
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column) out[column * 4 + row] = rows[row][column];
        out[12 + row] = -Dot(rows[row], eye);
        out[row * 4 + 3] = 0;
    }
    out[15] = 1;
}

void SetCamera(double ex, double ey, double ez, double tx, double ty, double tz) {
    Zadudedo3D* scene = ReadyEngine3D();
    if (!scene) return;
    scene->eye[0] = (float)ex;
    scene->eye[1] = (float)ey;
    scene->eye[2] = (float)ez;
    scene->target[0] = (float)tx;
    scene->target[1] = (float)ty;
    scene->target[2] = (float)tz;
    glMatrixMode(GL_MODELVIEW);
    PopTransformStack(*scene);
    float view[16];
    LookAtMatrix(scene->eye, scene->target, scene->up, view);
    glLoadMatrixf(view);
    glGetFloatv(GL_MODELVIEW_MATRIX, scene->cameraMatrix);
    ResetLevel(scene->levels[0]);
}

void SetUpVector(double x, double y, double z) {
    Zadudedo3D* scene = engine.scene3D;
    if (!scene) return;
    scene->up[0] = (float)x;
    scene->up[1] = (float)y;
    scene->up[2] = (float)z;
}
