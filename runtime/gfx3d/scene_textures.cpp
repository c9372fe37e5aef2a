// Texture selection for objects (sprite-store slots bound through the 2D
// bind operation), texture scroll and sphere mapping.
#include "gfx2d/gfx2d.h"
#include "gfx3d/gfx3d_internal.h"
#include "strings/script_numbers.h"

void SelectTextures(double first, double second) {
    Zadudedo3D* scene = ReadyEngine3D();
    if (!scene) return;
    scene->firstTexture = TruncateToInt(first);
    scene->secondTexture = TruncateToInt(second);
    ReapplyTextureSelection();
}

void SetTextureVariant(double variant) {
    if (engine.scene3D) engine.scene3D->textureVariant = TruncateToInt(variant);
}

void SetTextureScroll(double u, double v) {
    if (!engine.scene3D) return;
    engine.scene3D->scrollU = (float)u;
    engine.scene3D->scrollV = (float)v;
}

void SetSphereMapping(double on) {
    if (engine.scene3D) engine.scene3D->sphereMapping = on != 0 ? 1 : 0;
}

void ReapplyTextureSelection() {
    Zadudedo3D* scene = ReadyEngine3D();
    if (!scene) return;
    BindSprite(scene->firstTexture, scene->secondTexture, scene->textureVariant != 0);
}
