// Text at a point of the 3D scene: either a row of camera-facing glyph quads
// in the scene, or the point projected to the screen with the text printed
// centred above it.
#include <GL/gl.h>

#include <cmath>
#include <cstring>

#include "core/engine.h"
#include "gfx2d/gfx2d_internal.h"
#include "strings/script_numbers.h"

// ---------------------------------------------------------------------------
// Internal helpers

static void Multiply(const double m[16], const double in[4], double out[4]) {
    for (int row = 0; row < 4; ++row)
        out[row] = m[row] * in[0] + m[4 + row] * in[1] + m[8 + row] * in[2] + m[12 + row] * in[3];
}

// Glyph quads spanned by one right step and one up step each, centred on p.
static void DrawFacingText(SpriteStore& store, int32_t slot, const char* text, const float p[3], float step) {
    float m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    const float right[3] = {m[0] * step, m[4] * step, m[8] * step};
    const float up[3] = {m[1] * step, m[5] * step, m[9] * step};
    const size_t length = std::strlen(text);
    const int rows = FontRows(store, slot);
    const float cellU = SlotU(store, slot) / 16.0f, cellV = SlotV(store, slot) / (float)rows;

    BindSprite(slot, -1, false);
    std::vector<float>& list = store.textVertices;
    SizeVertexList(list, length * 4, 5);
    float start[3];
    for (int c = 0; c < 3; ++c) start[c] = p[c] - right[c] * (float)length / 2.0f;
    float* out = list.data();
    for (size_t i = 0; i < length; ++i, out += 20) {
        const int byte = (unsigned char)text[i];
        const int code = rows == 8 ? byte % 128 : byte;
        const float u0 = (float)(code % 16) * cellU;
        const float v0 = (float)(rows - 1 - code / 16) * cellV;
        for (int c = 0; c < 3; ++c) {
            out[c] = start[c];
            out[5 + c] = start[c] + right[c];
            out[10 + c] = start[c] + right[c] + up[c];
            out[15 + c] = start[c] + up[c];
            start[c] += right[c];
        }
        out[3] = u0, out[4] = v0;
        out[8] = u0 + cellU, out[9] = v0;
        out[13] = u0 + cellU, out[14] = v0 + cellV;
        out[18] = u0, out[19] = v0 + cellV;
    }
    DrawVertexList(list.data(), (int)(length * 4), GL_QUADS);
}

// Projects p to the window and prints the text centred above it in the 2D
// viewport's coordinates.
static void DrawProjectedText(const SpriteStore& store, int32_t font, const char* text, const double p[3]) {
    const OpenGLZadudedo& screen = *engine.screen;
    double model[16], projection[16];
    GLint view[4];
    glGetDoublev(GL_MODELVIEW_MATRIX, model);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetIntegerv(GL_VIEWPORT, view);
    const double point[4] = {p[0], p[1], p[2], 1.0};
    double eye[4], clip[4];
    Multiply(model, point, eye);
    Multiply(projection, eye, clip);
    if (clip[3] == 0.0) return;
    const double windowX = view[0] + (clip[0] / clip[3] + 1.0) * view[2] / 2.0;
    const double windowY = view[1] + (clip[1] / clip[3] + 1.0) * view[3] / 2.0;
    const double windowZ = (clip[2] / clip[3] + 1.0) / 2.0;

    const int32_t slot = kFirstFontSlot + font;
    const int rows = FontRows(store, slot);
    const double cellWidth = store.imageWidth[slot] / 16, cellHeight = store.imageHeight[slot] / rows;
    // Print rounds up, so the last bits of the projection's rounding noise are
    // dropped: a point on a pixel corner must not move a whole pixel.
    auto snap = [](double v) { return std::round(v * 4096.0) / 4096.0; };
    const double x = snap(windowX - view[0] - (double)std::strlen(text) * cellWidth / 2.0);
    const double y = snap((view[1] + view[3]) - windowY - cellHeight);

    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0.0, screen.viewport[2], screen.viewport[3], 0.0, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    PrintWithFont(font, text, x, y, -windowZ);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
}

// ---------------------------------------------------------------------------
// Public

void PrintAt3D(double fontNumber, const char* text, double x, double y, double z, double size) {
    SpriteStore* store = ActiveSpriteStore();
    if (!store || !text || !*text) return;
    int32_t font = TruncateToInt(fontNumber);
    font = font < 0 ? 0 : (font >= kFontCount ? kFontCount - 1 : font);

    const GLboolean culling = glIsEnabled(GL_CULL_FACE), lighting = glIsEnabled(GL_LIGHTING);
    if (culling) glDisable(GL_CULL_FACE);
    if (lighting) glDisable(GL_LIGHTING);
    if (size != 0.0) {
        const int32_t slot = kFirstFontSlot + font;
        const float step = (float)(size * (store->imageWidth[slot] / 16));
        const float p[3] = {(float)x, (float)y, (float)z};
        DrawFacingText(*store, slot, text, p, step);
    } else {
        const double p[3] = {x, y, z};
        DrawProjectedText(*store, font, text, p);
    }
    if (culling) glEnable(GL_CULL_FACE);
    if (lighting) glEnable(GL_LIGHTING);
}
