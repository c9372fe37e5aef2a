// The transform stack: 16 levels of translation, rotations, scale and
// matrices that place the next object drawn.
#include <GL/gl.h>

#include "gfx3d/gfx3d_internal.h"
#include "strings/number_array.h"

// ---------------------------------------------------------------------------
// Internal helpers

static TransformLevel* CurrentLevel() {
    Zadudedo3D* scene = engine.scene3D;
    return scene ? &scene->levels[scene->depth] : nullptr;
}

// ---------------------------------------------------------------------------
// Public

void ResetLevel(TransformLevel& level) {
    level.matrixCount = 0;
    level.rotationCount = 0;
    for (int i = 0; i < 3; ++i) {
        level.scale[i] = 1;
        level.translation[i] = 0;
    }
}

void PopTransformStack(Zadudedo3D& scene) {
    while (scene.depth > 0) {
        glPopMatrix();
        --scene.depth;
    }
}

void PushTransform() {
    Zadudedo3D* scene = ReadyEngine3D();
    // 16 level records: a push past the last one is refused.
    if (!scene || scene->depth >= kTransformLevelCount - 1) return;
    ++scene->depth;
    ResetLevel(scene->levels[scene->depth]);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
}

void PopTransform() {
    Zadudedo3D* scene = ReadyEngine3D();
    if (!scene || scene->depth <= 0) return;
    --scene->depth;
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}

void MoveTransform(double x, double y, double z) {
    TransformLevel* level = CurrentLevel();
    if (!level) return;
    level->translation[0] = (float)x;
    level->translation[1] = (float)y;
    level->translation[2] = (float)z;
    level->rotationCount = level->matrixCount = 0;
}

void ScaleTransform(double x, double y, double z) {
    TransformLevel* level = CurrentLevel();
    if (!level) return;
    level->scale[0] = (float)x;
    level->scale[1] = (float)y;
    level->scale[2] = (float)z;
    level->rotationCount = level->matrixCount = 0;
}

void RotateTransform(double angle, double x, double y, double z) {
    TransformLevel* level = CurrentLevel();
    if (!level || level->rotationCount >= kLevelEntries) return;
    float* rotation = level->rotations[level->rotationCount++];
    rotation[0] = (float)angle;
    rotation[1] = (float)x;
    rotation[2] = (float)y;
    rotation[3] = (float)z;
}

void MultiplyMatrix(const NumberArray& matrix) {
    if (matrix.DimensionCount() != 1 || matrix.DimensionSize(0) != 16) RuntimeError(9);
    TransformLevel* level = CurrentLevel();
    if (!level || level->matrixCount >= kLevelEntries) return;
    float* out = level->matrices[level->matrixCount++];
    for (int i = 0; i < 16; ++i) out[i] = (float)matrix.At(i);
}

void ApplyTransformStack() {
    Zadudedo3D* scene = engine.scene3D;
    if (!scene) return;
    for (int d = 0; d <= scene->depth; ++d) {
        const TransformLevel& level = scene->levels[d];
        for (int m = 0; m < level.matrixCount; ++m) glMultMatrixf(level.matrices[m]);
        glTranslatef(level.translation[0], level.translation[1], level.translation[2]);
        for (int r = level.rotationCount - 1; r >= 0; --r)
            glRotatef(level.rotations[r][0], level.rotations[r][1], level.rotations[r][2], level.rotations[r][3]);
        glScalef(level.scale[0], level.scale[1], level.scale[2]);
    }
}
