// The 3D engine object's lifecycle, the 3D mode set-up with its projection,
// cull modes and the frame routine's reset.
#include <GL/gl.h>

#include <cmath>

#include "gfx2d/gfx2d.h"
#include "gfx3d/gfx3d_internal.h"

// ---------------------------------------------------------------------------
// Internal helpers

// Fields of view whose cone would reach 90 degrees cull with the widest cone.
constexpr double kWidestCullAngle = 1.553343;
constexpr double kDegreesPerRadian = 57.29578;

// The fixed-function state of 3D drawing, in the order the GL defaults of the
// 2D side leave it behind.
static void Apply3DState() {
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    glEnable(GL_CULL_FACE);
    glFrontFace(GL_CCW);
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_GREATER, 0.0f);
    ResetColourToIntensity();
    glClearColor(0, 0, 0, 1);
    glDisable(GL_FOG);
    glDisable(GL_LINE_SMOOTH);
    glDisable(GL_POINT_SMOOTH);
    glDisable(GL_POLYGON_SMOOTH);
    glDisable(GL_STENCIL_TEST);
    glDisable(GL_POLYGON_OFFSET_POINT);
    glDisable(GL_AUTO_NORMAL);
    glDisable(GL_NORMALIZE);
    glDisable(GL_LIGHTING);
    for (int i = 0; i < 8; ++i) glDisable(GL_LIGHT0 + i);
    glShadeModel(GL_SMOOTH);
    glEnable(GL_COLOR_MATERIAL);
    glEnable(GL_DITHER);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glHint(GL_POLYGON_SMOOTH_HINT, GL_NICEST);
}

// ---------------------------------------------------------------------------
// Public

Zadudedo3D::Zadudedo3D() {}

Zadudedo3D::~Zadudedo3D() {
    for (ObjectSlot& slot : objectSlots) ClearObjectSlot(slot);
    DeleteShaderPrograms(*this, engine.screen && engine.screen->glReady);
}

void Create3DEngine() {
    if (engine.scene3D) return;
    SetObjectSlotReleaseHook(ReleaseSlotGlObjects);
    engine.scene3D = new Zadudedo3D();
    engine.scene3D->screen = engine.screen;
}

void Destroy3DEngine() {
    delete engine.scene3D;
    engine.scene3D = nullptr;
}

void Reset3DFrameState() {
    if (!engine.scene3D) return;
    engine.scene3D->textureVariant = 0;
    UseShader(kShaderSlotCount);
}

float GlobalIntensity() {
    SpriteStore* store = ActiveSpriteStore();
    return store ? store->alphaFactor : 1.0f;
}

void ResetColourToIntensity() {
    const float g = GlobalIntensity();
    glColor4f(g, g, g, g);
}

float CullTangentFor(double fov) {
    if (fov <= 0) return (float)std::tan(kWidestCullAngle);
    return (float)(fov + 5 <= 89 ? std::tan((fov + 5) / kDegreesPerRadian) : std::tan(kWidestCullAngle));
}

ProjectionBox ComputeProjectionBox(double nearPlane, double farPlane, double fov, double aspect) {
    ProjectionBox box;
    box.orthographic = fov <= 0;
    const double e = box.orthographic ? 100.0 * nearPlane * std::tan(-fov * M_PI / 360.0)
                                      : nearPlane * std::tan(fov * M_PI / 360.0);
    box.left = -e * aspect;
    box.right = e * aspect;
    box.bottom = -e;
    box.top = e;
    box.nearPlane = nearPlane;
    box.farPlane = farPlane;
    return box;
}

void Setup3DMode(double nearPlane, double farPlane, double fov) {
    Zadudedo3D* scene = ReadyEngine3D();
    if (!scene) return;
    OpenGLZadudedo& screen = *engine.screen;
    // The stencil-shadow pass of the shading effects ends here.
    SetShadowPass(*scene, false);
    scene->cullTangent = CullTangentFor(fov);
    scene->up[0] = 0;
    scene->up[1] = 1;
    scene->up[2] = 0;
    scene->nearDistance = (float)nearPlane;
    scene->farDistance = (float)farPlane;

    const int x = screen.viewport[0], y = screen.viewport[1];
    int w = screen.viewport[2], h = screen.viewport[3];
    if (w <= 0 || h <= 0) {
        w = screen.width;
        h = screen.height;
    }
    glViewport(x, screen.height - h - y, w, h);

    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    const ProjectionBox box = ComputeProjectionBox(nearPlane, farPlane, fov, h > 0 ? (double)w / h : 1.0);
    if (box.orthographic) glOrtho(box.left, box.right, box.bottom, box.top, box.nearPlane, box.farPlane);
    else glFrustum(box.left, box.right, box.bottom, box.top, box.nearPlane, box.farPlane);

    // The matrices pushed by the transform stack go first, so the identity
    // loaded below is what stays current.
    glMatrixMode(GL_MODELVIEW);
    PopTransformStack(*scene);
    glLoadIdentity();
    Apply3DState();
    glGetFloatv(GL_MODELVIEW_MATRIX, scene->cameraMatrix);

    scene->scrollU = scene->scrollV = 0;
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, GL_FALSE);
    SetCullMode(0);
    scene->lightMask = 0;
    scene->sphereMapping = 0;
    scene->effectOn = 0;

    scene->firstTexture = scene->secondTexture = -1;
    BindSprite(-1, -1, false);
    // Once a frame the next object draw sets unit 1's mode for certain.
    ForgetTextureEnvironments();
}

void SetCullMode(double mode) {
    Zadudedo3D* scene = ReadyEngine3D();
    if (!scene) return;
    if (mode == 0 || !(mode == mode)) {
        scene->cullMode = 0;
        glDisable(GL_CULL_FACE);
        return;
    }
    scene->cullMode = mode > 0 ? 1 : -1;
    glFrontFace(mode > 0 ? GL_CW : GL_CCW);
    glCullFace(GL_BACK);
    glEnable(GL_CULL_FACE);
}

void ClearDepth() {
    if (!ReadyEngine3D()) return;
    glClear(GL_DEPTH_BUFFER_BIT);
}
