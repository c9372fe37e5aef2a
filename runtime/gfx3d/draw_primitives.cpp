// Smoothed lines, points and the axis arrows, drawn in the space current at
// the call (the transform stack does not apply to them).
#include <GL/gl.h>

#include "gfx3d/gfx3d_internal.h"

// ---------------------------------------------------------------------------
// Internal helpers

static float HeldSize(double size) {
    if (!(size >= 1)) return 1;
    return size > 512 ? 512.0f : (float)size;
}

// One arrow along an axis: the shaft and two pairs of barbs, as one strip.
// `axis` picks which coordinate runs along the arrow.
static void ArrowStrip(int axis) {
    static const float shape[8][3] = {{0, 0, 0},       {1, 0, 0},     {0.75f, 0.25f, 0}, {0.75f, -0.25f, 0},
                                      {1, 0, 0},       {0.75f, 0, 0.25f}, {0.75f, 0, -0.25f}, {1, 0, 0}};
    glBegin(GL_LINE_STRIP);
    for (const auto& p : shape) {
        float v[3];
        // Rotate the x-arrow's coordinates so that its length lies on `axis`.
        v[axis] = p[0];
        v[(axis + 1) % 3] = p[1];
        v[(axis + 2) % 3] = p[2];
        glVertex3fv(v);
    }
    glEnd();
}

// ---------------------------------------------------------------------------
// Public

void DrawLine3D(double x1, double y1, double z1, double x2, double y2, double z2, double colour,
                double width) {
    if (!ReadyEngine3D()) return;
    float rgb[3];
    ColourToFloats(colour, rgb);
    const GLboolean lighting = glIsEnabled(GL_LIGHTING);
    const GLboolean texturing = glIsEnabled(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_LINE_SMOOTH);
    glLineWidth(HeldSize(width));
    glColor3f(rgb[0], rgb[1], rgb[2]);
    glBegin(GL_LINES);
    glVertex3d(x1, y1, z1);
    glVertex3d(x2, y2, z2);
    glEnd();
    glLineWidth(1);
    glDisable(GL_LINE_SMOOTH);
    if (lighting) glEnable(GL_LIGHTING);
    if (texturing) glEnable(GL_TEXTURE_2D);
    ResetColourToIntensity();
}

void DrawPoint3D(double x, double y, double z, double colour, double size) {
    if (!ReadyEngine3D()) return;
    float rgb[3];
    ColourToFloats(colour, rgb);
    const GLboolean texturing = glIsEnabled(GL_TEXTURE_2D);
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_POINT_SMOOTH);
    glPointSize(HeldSize(size));
    glColor3f(rgb[0], rgb[1], rgb[2]);
    glBegin(GL_POINTS);
    glVertex3d(x, y, z);
    glEnd();
    glPointSize(1);
    glDisable(GL_POINT_SMOOTH);
    if (texturing) glEnable(GL_TEXTURE_2D);
    ResetColourToIntensity();
}

void DrawAxes(double x, double y, double z) {
    Zadudedo3D* scene = ReadyEngine3D();
    if (!scene) return;
    const GLboolean lighting = glIsEnabled(GL_LIGHTING);
    const GLboolean texturing = glIsEnabled(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_LINE_SMOOTH);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadMatrixf(scene->cameraMatrix);
    glTranslated(x, y, z);
    glScalef(20, 20, 20);
    const float colours[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    for (int axis = 0; axis < 3; ++axis) {
        glColor3fv(colours[axis]);
        ArrowStrip(axis);
    }
    glPopMatrix();
    glDisable(GL_LINE_SMOOTH);
    if (lighting) glEnable(GL_LIGHTING);
    if (texturing) glEnable(GL_TEXTURE_2D);
    ResetColourToIntensity();
}
