// The shading effects' preparation and the shadow mode's per-object draw,
// the cartoon shade ramp and palette textures.
#include <GL/gl.h>

#include <vector>

#include "gfx3d/gfx3d_internal.h"
#include "strings/number_array.h"

// ---------------------------------------------------------------------------
// State

static const uint8_t kDefaultRamp[kDefaultShadeLevels] = {100, 160, 160, 160, 160, 160, 160, 207,
                                                          255, 255, 255, 255, 255, 255, 255, 255};
static std::vector<uint8_t> shadeRamp;

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

bool DrawObjectEffect(Zadudedo3D& scene, MeshObjectX& object, const MeshFrame& frame) {
    if (!scene.effectOn || scene.effectMode != 3) return false;
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
