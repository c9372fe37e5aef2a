// The shading effects' preparation and the shadow mode's per-object draw,
// the cartoon shade ramp and palette textures.
#include <GL/gl.h>

#include <cmath>
#include <cstddef>
#include <vector>

#include "gfx2d/gfx2d.h"
#include "gfx3d/gfx3d_internal.h"
#include "strings/number_array.h"

// ---------------------------------------------------------------------------
// State

static const uint8_t kDefaultRamp[kDefaultShadeLevels] = {100, 160, 160, 160, 160, 160, 160, 207,
                                                          255, 255, 255, 255, 255, 255, 255, 255};
static std::vector<uint8_t> shadeRamp;

// Cartoon shades are held inside the palette, clear of its clamped edges.
constexpr float kShadeLow = 0.05f;
constexpr float kShadeHigh = 0.95f;

// ---------------------------------------------------------------------------
// Internal helpers

static const std::vector<uint8_t>& Ramp() {
    if (shadeRamp.empty()) shadeRamp.assign(kDefaultRamp, kDefaultRamp + kDefaultShadeLevels);
    return shadeRamp;
}

static int32_t PowerOfTwoAtLeast(size_t n, int32_t lowest, int32_t highest) {
    int32_t side = lowest;
    while ((size_t)side < n && side < highest) side *= 2;
    return side;
}

// Normals once, made per record, and the edge list once.
static void PrepareShadow(MeshObjectX& object) {
    if (object.normalsValid == 0) {
        GenerateNormals(object, true, false, false);
        object.BuildTriangles();
    }
    if (object.edges.empty()) BuildEdgeList(object);
}

// ---------------------------------------------------------------------------
// Public

void SetShadeRamp(const double* levels, size_t count) {
    shadeRamp.clear();
    for (size_t i = 0; i < count; ++i) {
        const double level = levels[i] * 255;
        shadeRamp.push_back((uint8_t)(level == level && level > -2147483648.0 && level < 2147483648.0
                                          ? (int32_t)level
                                          : 0));
    }
    if (shadeRamp.empty()) shadeRamp.push_back(255);
    Zadudedo3D* scene = engine.scene3D;
    if (!scene) return;
    const bool glReady = ReadyEngine3D() != nullptr;
    for (ObjectSlot& slot : scene->objectSlots)
        for (MeshObjectX& object : slot.objects) {
            if (object.paletteTexture && glReady) glDeleteTextures(1, &object.paletteTexture);
            object.paletteTexture = 0;
        }
}

void SetShadeRampCommand(const NumberArray& levels) {
    if (levels.DimensionCount() != 1 || levels.DimensionSize(0) < 1) RuntimeError(9);
    std::vector<double> values(levels.DimensionSize(0));
    for (size_t i = 0; i < values.size(); ++i) values[i] = levels.At((int64_t)i);
    SetShadeRamp(values.data(), values.size());
}

PaletteSize PaletteSizeFor(size_t colours) {
    PaletteSize size;
    size.height = PowerOfTwoAtLeast(colours, 1, 32768);
    size.scale = 1.0f / (float)size.height;
    size.width = PowerOfTwoAtLeast(4 * Ramp().size(), 64, 512);
    return size;
}

void BuildPaletteTexture(MeshObjectX& object) {
    if (object.paletteTexture || !ReadyEngine3D()) return;
    const std::vector<uint8_t>& ramp = Ramp();
    const PaletteSize size = PaletteSizeFor(object.colourTable.size());
    std::vector<uint8_t> texels((size_t)size.width * size.height * 4);
    for (int32_t y = 0; y < size.height; ++y) {
        const uint32_t colour = (size_t)y < object.colourTable.size() ? object.colourTable[(size_t)y]
                                : object.colourTable.empty()             ? COLOUR_PLAIN
                                                                         : object.colourTable[0];
        for (int32_t x = 0; x < size.width; ++x) {
            const uint32_t s = ramp[ramp.size() * (size_t)x / (size_t)size.width];
            uint8_t* t = &texels[((size_t)y * size.width + x) * 4];
            if (IsReservedColour(colour)) {
                t[0] = t[1] = t[2] = (uint8_t)s;
            } else {
                t[0] = (uint8_t)((colour & 255) * s / 255);
                t[1] = (uint8_t)(((colour >> 8) & 255) * s / 255);
                t[2] = (uint8_t)(((colour >> 16) & 255) * s / 255);
            }
            t[3] = 255;
        }
    }
    object.paletteScale = size.scale;
    glGenTextures(1, &object.paletteTexture);
    glBindTexture(GL_TEXTURE_2D, object.paletteTexture);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, size.width, size.height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 texels.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glBindTexture(GL_TEXTURE_2D, 0);
}

// The cartoon draw of frame `frame`: palette coordinates per corner from the
// light, the palette on unit 1 over the selected texture on unit 0, then the
// outline when culling is on.
static void DrawCartoon(Zadudedo3D& scene, MeshObjectX& object, const MeshFrame& frame, const float light[3]) {
    std::vector<MeshVertex>& corners = object.currentTriangles;
    corners = frame.triangles;
    for (MeshVertex& v : corners) {
        float l[3] = {light[0] - v.x, light[1] - v.y, light[2] - v.z};
        NormaliseSmall(l);
        // The intensity follows the normal alone: position and normal mixed
        // would shade a face by where it lies rather than how it is turned.
        float shade = l[0] * v.nx + l[1] * v.ny + l[2] * v.nz;
        if (!(shade >= kShadeLow)) shade = kShadeLow;
        if (shade > kShadeHigh) shade = kShadeHigh;
        v.auxB[0] = shade;
        v.auxB[1] = ((float)v.colourIndex + 0.5f) * object.paletteScale;
    }
    if (corners.empty()) return;
    // Unit 1 is turned on here, not through the sprite binding.
    ResetSpriteBinding();
    ForgetTextureEnvironments();
    constexpr GLsizei kStride = sizeof(MeshVertex);
    const char* base = reinterpret_cast<const char*>(corners.data());
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, kStride, VertexField(base, offsetof(MeshVertex, x)));
    glExt.glClientActiveTextureARB(GL_TEXTURE0);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glTexCoordPointer(2, GL_FLOAT, kStride, VertexField(base, offsetof(MeshVertex, u)));
    glExt.glClientActiveTextureARB(GL_TEXTURE1);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glTexCoordPointer(2, GL_FLOAT, kStride, VertexField(base, offsetof(MeshVertex, auxB)));
    glExt.glActiveTextureARB(GL_TEXTURE1);
    glBindTexture(GL_TEXTURE_2D, object.paletteTexture);
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glExt.glActiveTextureARB(GL_TEXTURE0);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    ApplyTransformStack();
    glDrawArrays(GL_TRIANGLES, 0, (GLsizei)corners.size());
    glExt.glActiveTextureARB(GL_TEXTURE1);
    glDisable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, 0);
    glExt.glActiveTextureARB(GL_TEXTURE0);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glExt.glClientActiveTextureARB(GL_TEXTURE0);

    if (scene.cullMode != 0) {
        // The outline: the object grown along its normals, its back faces
        // drawn black behind the shaded ones.
        float model[16], eye[3];
        StackModelMatrix(model);
        InverseRigidPoint(model, scene.eye, eye);
        const float d[3] = {eye[0] - frame.centre[0], eye[1] - frame.centre[1], eye[2] - frame.centre[2]};
        float width = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]) * scene.cullTangent * 0.003f;
        for (int level = 0; level <= scene.depth; ++level) {
            const float sy = scene.levels[level].scale[1];
            if (sy != 0) width /= sy * sy;
        }
        if (width <= frame.radius * 0.5f) {
            if (width < 1e-7f) width = 1e-7f;
            for (MeshVertex& v : corners) {
                v.x += v.nx * width;
                v.y += v.ny * width;
                v.z += v.nz * width;
            }
            glFrontFace(scene.cullMode > 0 ? GL_CCW : GL_CW);
            glDisable(GL_TEXTURE_2D);
            glDisable(GL_LIGHTING);
            glColor3f(0, 0, 0);
            glDepthFunc(GL_LEQUAL);
            glEnable(GL_BLEND);
            glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
            glDrawArrays(GL_TRIANGLES, 0, (GLsizei)corners.size());
            glDisable(GL_BLEND);
            glDepthFunc(GL_LESS);
            if (scene.lightMask) glEnable(GL_LIGHTING);
            glFrontFace(scene.cullMode > 0 ? GL_CW : GL_CCW);
            ReapplyTextureSelection();
        }
    }
    glPopMatrix();
    glDisableClientState(GL_VERTEX_ARRAY);
    ResetColourToIntensity();
}

// The relief draw: the light in each corner's tangent space as its colour,
// combined by a dot product with the normal map of the first texture; the
// second texture modulates on unit 1.
static void DrawRelief(MeshObjectX& object, const MeshFrame& frame, const float light[3],
                       bool secondTexture) {
    std::vector<MeshVertex>& corners = object.currentTriangles;
    corners = frame.triangles;
    for (MeshVertex& v : corners) {
        float l[3] = {light[0] - v.x, light[1] - v.y, light[2] - v.z};
        NormaliseSmall(l);
        v.relief[0] = (v.auxA[0] * l[0] + v.auxA[1] * l[1] + v.auxA[2] * l[2]) * 0.5f + 0.5f;
        v.relief[1] = (v.auxB[0] * l[0] + v.auxB[1] * l[1] + v.auxB[2] * l[2]) * 0.5f + 0.5f;
        v.relief[2] = (v.nx * l[0] + v.ny * l[1] + v.nz * l[2]) * 0.5f + 0.5f;
    }
    if (corners.empty()) return;
    constexpr GLsizei kStride = sizeof(MeshVertex);
    const char* base = reinterpret_cast<const char*>(corners.data());
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, kStride, VertexField(base, offsetof(MeshVertex, x)));
    glEnableClientState(GL_COLOR_ARRAY);
    glColorPointer(3, GL_FLOAT, kStride, VertexField(base, offsetof(MeshVertex, relief)));
    for (unsigned unit : {GL_TEXTURE0, GL_TEXTURE1}) {
        glExt.glClientActiveTextureARB(unit);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        glTexCoordPointer(2, GL_FLOAT, kStride, VertexField(base, offsetof(MeshVertex, u)));
    }
    glExt.glClientActiveTextureARB(GL_TEXTURE0);
    ForgetTextureEnvironments();
    if (secondTexture) {
        glExt.glActiveTextureARB(GL_TEXTURE1);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    }
    glExt.glActiveTextureARB(GL_TEXTURE0);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE);
    glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB, GL_DOT3_RGB);
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_RGB, GL_PRIMARY_COLOR);
    glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND0_RGB, GL_SRC_COLOR);
    glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE1_RGB, GL_TEXTURE);
    glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND1_RGB, GL_SRC_COLOR);
    const GLboolean lit = glIsEnabled(GL_LIGHTING);
    glDisable(GL_LIGHTING);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    ApplyTransformStack();
    glDrawArrays(GL_TRIANGLES, 0, (GLsizei)corners.size());
    glPopMatrix();
    if (lit) glEnable(GL_LIGHTING);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glExt.glClientActiveTextureARB(GL_TEXTURE1);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glExt.glClientActiveTextureARB(GL_TEXTURE0);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    ResetColourToIntensity();
}

bool DrawObjectEffect(Zadudedo3D& scene, MeshObjectX& object, const MeshFrame& frame, bool secondTexture) {
    if (!scene.effectOn) return false;
    if (scene.effectMode == 1) {
        if (!glExt.glActiveTextureARB || !glExt.glClientActiveTextureARB) return false;
        const bool needsNormals = object.normalsValid == 0;
        const bool needsTangents = !object.frames.empty() && !object.frames[0].packed.empty() &&
                                   object.frames[0].packed[0].auxA == 0 && object.frames[0].packed[0].auxB == 0;
        if (needsNormals || needsTangents) {
            GenerateNormals(object, true, scene.normalMode == 2, true);
            object.BuildTriangles();
        }
        float model[16], light[3];
        StackModelMatrix(model);
        InverseRigidPoint(model, scene.effectLightPosition, light);
        DrawRelief(object, frame, light, secondTexture);
        return true;
    }
    if (scene.effectMode == 2) {
        if (!glExt.glActiveTextureARB || !glExt.glClientActiveTextureARB) return false;
        if (object.normalsValid == 0) {
            GenerateNormals(object, true, false, false);
            object.BuildTriangles();
        }
        BuildPaletteTexture(object);
        float model[16], light[3];
        StackModelMatrix(model);
        InverseRigidPoint(model, scene.effectLightPosition, light);
        DrawCartoon(scene, object, frame, light);
        return true;
    }
    if (scene.effectMode != 3) return false;
    PrepareShadow(object);
    float model[16], light[3];
    StackModelMatrix(model);
    InverseRigidPoint(model, scene.effectLightPosition, light);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    ApplyTransformStack();
    ComputeFacing(object, frame.triangles, light);
    DrawShadowVolume(object, frame.triangles, light, true);
    glPopMatrix();
    return true;
}
