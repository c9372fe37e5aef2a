// Object drawing: a key frame, or two blended, from a vertex buffer (static
// for frame 0, streamed otherwise) through the fixed-function arrays.
#include <GL/gl.h>

#include <cstddef>

#include "gfx2d/gfx2d.h"
#include "gfx3d/gfx3d_internal.h"
#include "strings/script_numbers.h"

// ---------------------------------------------------------------------------
// Internal helpers

// Fills the current list from frames P and Q and adds the texture scroll:
// every record, or with `only` the records it names (the first corner of
// each shared vertex, the only ones an indexed draw reads; the others are
// the same vertex in every frame, so they would receive the same values).
static void FillCurrentTriangles(MeshObject& object, const MeshFrame& p, const MeshFrame& q, float weight,
                                 float scrollU, float scrollV, const std::vector<uint32_t>* only) {
    std::vector<MeshVertex>& current = object.currentTriangles;
    if (current.size() != p.triangles.size()) current = p.triangles;
    const bool blend = weight != 0 && q.triangles.size() == p.triangles.size();
    auto fill = [&](size_t k) {
        MeshVertex& out = current[k];
        if (blend) {
            const MeshVertex& a = p.triangles[k];
            const MeshVertex& b = q.triangles[k];
            out.x = (a.x - b.x) * weight + b.x;
            out.y = (a.y - b.y) * weight + b.y;
            out.z = (a.z - b.z) * weight + b.z;
            out.nx = (a.nx - b.nx) * weight + b.nx;
            out.ny = (a.ny - b.ny) * weight + b.ny;
            out.nz = (a.nz - b.nz) * weight + b.nz;
        } else if (weight == 0) {
            out = p.triangles[k];
        }
        out.u += scrollU;
        out.v += scrollV;
    };
    if (only) {
        for (uint32_t k : *only) fill(k);
    } else {
        for (size_t k = 0; k < current.size(); ++k) fill(k);
    }
}

// A software GL starts drawing only when its commands are flushed, which
// the present does at the end of the frame, and the frame's drawing then
// waits for it. Flushing every so many triangles or draws lets it draw the
// first objects of a frame while the script sends the rest. (Every flush
// makes it load and store the touched parts of the screen once more, so
// not too often.)
constexpr int64_t kTrianglesPerGlFlush = 32768;
constexpr int32_t kDrawsPerGlFlush = 256;
static int64_t trianglesSinceFlush = 0;
static int32_t drawsSinceFlush = 0;

static void CountDrawnTriangles(int64_t triangles) {
    trianglesSinceFlush += triangles;
    ++drawsSinceFlush;
    if (trianglesSinceFlush >= kTrianglesPerGlFlush || drawsSinceFlush >= kDrawsPerGlFlush) {
        glFlush();
        trianglesSinceFlush = 0;
        drawsSinceFlush = 0;
    }
}

// Unit 1's mode is modulate and nothing has used the unit since it was set.
// Making unit 1 active costs the GL a whole revalidation of texture state at
// the next draw (several microseconds, as much as the rest of a small draw),
// so the reset after a draw touches unit 1 only when it may differ.
static bool unit1ModulateKnown = false;

static void ResetTextureEnvironments(bool usedUnit1) {
    if (glExt.glActiveTextureARB && (usedUnit1 || !unit1ModulateKnown)) {
        glExt.glActiveTextureARB(GL_TEXTURE1);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
        glExt.glActiveTextureARB(GL_TEXTURE0);
        unit1ModulateKnown = true;
    }
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
}

static void DrawMeshObject(Zadudedo3D& scene, MeshObjectX& object, int32_t from, int32_t to, double position,
                           bool interpolate, bool secondTexture) {
    const FrameChoice choice = ChooseFrames(from, to, position, interpolate, (int32_t)object.frames.size());
    const MeshFrame& p = object.frames[choice.p];
    const MeshFrame& q = object.frames[choice.q];

    const TransformLevel& base = scene.levels[0];
    if (scene.depth == 0 && base.matrixCount == 0) {
        const float centre[3] = {base.translation[0] + p.centre[0], base.translation[1] + p.centre[1],
                                 base.translation[2] + p.centre[2]};
        float largest = base.scale[0];
        if (base.scale[1] > largest) largest = base.scale[1];
        if (base.scale[2] > largest) largest = base.scale[2];
        if (!SphereVisible(centre, largest * p.radius, scene.eye, scene.target, scene.cullTangent)) return;
    }

    ResetColourToIntensity();
    if (object.currentTriangles.empty()) object.BuildTriangles();
    // Effects draw the object their own way; shadows draw only its volume.
    if (scene.effectOn && DrawObjectEffect(scene, object, p, secondTexture)) return;

    const bool unchanged = !scene.effectOn && choice.weight == 0 && scene.scrollU == 0 && scene.scrollV == 0;
    const std::vector<MeshVertex>* vertices = &p.triangles;
    if (!unchanged) {
        FillCurrentTriangles(object, p, q, choice.weight, scene.scrollU, scene.scrollV,
                             SharedCornersOf(object, p.triangles.size()));
        vertices = &object.currentTriangles;
    }
    if (vertices->empty()) return;
    const DrawSource source = BindDrawSource(object, *vertices, unchanged && choice.p == 0);
    const char* base0 = source.base;

    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, source.stride, VertexField(base0, source.position));
    if (glExt.glClientActiveTextureARB) glExt.glClientActiveTextureARB(GL_TEXTURE0);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glTexCoordPointer(2, GL_FLOAT, source.stride, VertexField(base0, source.texture));
    const bool unit1 = secondTexture && glExt.glClientActiveTextureARB && glExt.glActiveTextureARB;
    if (unit1) {
        glExt.glClientActiveTextureARB(GL_TEXTURE1);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        glTexCoordPointer(2, GL_FLOAT, source.stride, VertexField(base0, source.texture));
        glExt.glClientActiveTextureARB(GL_TEXTURE0);
    }
    if (object.hasColours) {
        glEnableClientState(GL_COLOR_ARRAY);
        glColorPointer(3, GL_FLOAT, source.stride, VertexField(base0, source.colour));
    }
    if (scene.lightMask || scene.sphereMapping) {
        glEnableClientState(GL_NORMAL_ARRAY);
        glNormalPointer(GL_FLOAT, source.stride, VertexField(base0, source.normal));
    }
    if (scene.sphereMapping) {
        glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
        glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
        glEnable(GL_TEXTURE_GEN_S);
        glEnable(GL_TEXTURE_GEN_T);
    }

    glEnable(GL_COLOR_MATERIAL);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    ApplyTransformStack();
    DrawFromSource(source);
    CountDrawnTriangles(source.count / 3);

    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    if (unit1) {
        glExt.glClientActiveTextureARB(GL_TEXTURE1);
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
        glExt.glClientActiveTextureARB(GL_TEXTURE0);
    }
    UnbindDrawSource(source);
    ResetTextureEnvironments(secondTexture);
    glPopMatrix();
    ResetColourToIntensity();
}

static void DrawSlot(double slotNumber, double from, double to, double position, bool interpolate) {
    Zadudedo3D* scene = ReadyEngine3D();
    const int32_t number = TruncateToInt(slotNumber);
    if (!scene || !IsObjectSlot(number)) return;
    ObjectSlot& slot = scene->objectSlots[number];
    if (!slot.loaded) return;
    for (size_t i = 0; i < slot.objects.size(); ++i) {
        MeshObjectX& object = slot.objects[i];
        if (object.frames.empty() || object.frames[0].packed.empty()) {
            if (!slot.multiObject) return;
            continue;
        }
        bool second;
        if (slot.multiObject) {
            // Texture indices outside the slot's list count as none.
            const int32_t count = (int32_t)slot.textures.size();
            const int32_t first = object.firstTexture < count ? object.firstTexture : -1;
            const int32_t other = object.secondTexture < count ? object.secondTexture : -1;
            BindSprite(first, other, false, slot.textures.data());
            second = other >= 0 && first >= 0;
        } else {
            ReapplyTextureSelection();
            second = scene->firstTexture >= 0 && scene->secondTexture >= 0;
        }
        DrawMeshObject(*scene, object, TruncateToInt(from), TruncateToInt(to), position, interpolate, second);
        if (!slot.multiObject) return;
    }
}

// ---------------------------------------------------------------------------
// Public

void ForgetTextureEnvironments() { unit1ModulateKnown = false; }

void DrawObject(double slot, double frame) { DrawSlot(slot, frame, frame, 0, false); }

void DrawObjectAnimated(double slot, double from, double to, double position, double interpolate) {
    DrawSlot(slot, from, to, position, interpolate != 0);
}

void ReleaseSlotGlObjects(ObjectSlot& slot) {
    if (!engine.screen || !engine.screen->glReady) return;
    for (MeshObjectX& object : slot.objects) {
        ReleaseObjectBuffers(object);
        if (object.paletteTexture) glDeleteTextures(1, &object.paletteTexture);
        object.paletteTexture = 0;
    }
    if (!slot.textures.empty()) glDeleteTextures((GLsizei)slot.textures.size(), slot.textures.data());
}
