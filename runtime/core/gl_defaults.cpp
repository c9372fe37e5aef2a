// The default GL state for 2D drawing: top-left origin, y downward, and the
// largest viewport the GL draws.
#include "core/core_internal.h"

#include <GL/gl.h>
#include <algorithm>
#include <cstdint>

// ---------------------------------------------------------------------------
// State

static GLint maxViewport[2] = {0, 0};

// ---------------------------------------------------------------------------
// Internal helpers

static int32_t Limit(int64_t value, int64_t bound) {
    return (int32_t)std::clamp<int64_t>(value, -bound, bound);
}

// ---------------------------------------------------------------------------
// Public

void MaxViewportSize(int& w, int& h) {
    // A constant of the driver: read once, and again while no context answered.
    if (maxViewport[0] <= 0 || maxViewport[1] <= 0) glGetIntegerv(GL_MAX_VIEWPORT_DIMS, maxViewport);
    w = maxViewport[0] > 0 ? maxViewport[0] : INT32_MAX;
    h = maxViewport[1] > 0 ? maxViewport[1] : INT32_MAX;
}

void ApplyGlDefaults(OpenGLZadudedo& screen, int x, int y, int w, int h) {
    if (w <= 0 || h <= 0) {
        w = screen.width;
        h = screen.height;
    }
    // The GL draws no wider than its largest viewport. A corner farther out
    // than that on either side puts the whole viewport off the screen, as the
    // unlimited one would be, so limiting it changes nothing drawn and keeps
    // every sum over the viewport (here and in its readers) in 32 bits.
    int maxW, maxH;
    MaxViewportSize(maxW, maxH);
    w = std::min(w, maxW);
    h = std::min(h, maxH);
    x = Limit(x, maxW);
    y = Limit(y, maxH);
    screen.viewport[0] = x;
    screen.viewport[1] = y;
    screen.viewport[2] = w;
    screen.viewport[3] = h;
    glViewport(x, Limit((int64_t)screen.height - h - y, maxH), w, h);

    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0.0, (double)w, (double)h, 0.0, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();

    glEnable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    glFrontFace(GL_CCW);
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_GREATER, 0.15f);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glShadeModel(GL_SMOOTH);

    glDisable(GL_DITHER);
    glDisable(GL_FOG);
    glDisable(GL_LINE_SMOOTH);
    glDisable(GL_POINT_SMOOTH);
    glDisable(GL_POLYGON_SMOOTH);
    glDisable(GL_STENCIL_TEST);
    glDisable(GL_POLYGON_OFFSET_POINT);
    glDisable(GL_COLOR_MATERIAL);
    glDisable(GL_AUTO_NORMAL);
    glDisable(GL_NORMALIZE);
    glDisable(GL_LIGHTING);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glHint(GL_FOG_HINT, GL_NICEST);
}
