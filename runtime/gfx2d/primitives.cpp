// Polygons built vertex by vertex, and the untextured primitives: points,
// lines and filled rectangles, drawn on pixel centres.
#include <GL/gl.h>

#include "gfx2d/gfx2d_internal.h"
#include "strings/script_numbers.h"

// ---------------------------------------------------------------------------
// State

// Polygon buffer: x, y, u, v, red, green, blue, alpha per vertex. It keeps its
// vertices until the next StartPoly, so EndPoly can draw it again.
constexpr size_t kPolyFloats = 8;
static std::vector<float> polyVertices;
static size_t polyCount = 0;
// The slot StartPoly bound (-1: none). EndPoly binds it again, so the polygon
// keeps its texture however often it is drawn and whatever was drawn between.
static int32_t polySlot = -1;

// ---------------------------------------------------------------------------
// Internal helpers

// Capacity in vertices becomes 512, or 128 x (n / 128 + 1) when n is larger.
static void GrowPolygonBuffer(size_t needed) {
    size_t grown = needed <= 512 ? 512 : 128 * (needed / 128 + 1);
    polyVertices.reserve(grown * kPolyFloats);
}

struct PrimitiveColour {
    uint8_t red, green, blue, alpha;
};

// Whether BeginPrimitive found multisampling on, for EndPrimitive to restore.
static bool multisampleWasOn = false;

// Starts a primitive: alpha test off, colour scaled by the intensity (alpha 0
// for the key colour), texturing off, integer coordinates on pixel centres.
// Multisampling is off for it: a multisampled GL draws lines as rectangles
// ending at their end points and tests fills at its sample points, not the
// pixel centres (the software GL at one point 1/8 of a pixel from the top),
// so the 3/8 shift that puts a primitive on its pixels of a plain screen
// would leave out the top row of a fill or of a vertical line, and add the
// row below a fill. Without it the GL covers the plain screen's pixels, in
// every sample.
static void BeginPrimitive(const SpriteStore& store, double colourNumber) {
    const int32_t colour = TruncateToInt(colourNumber);
    const float f = store.alphaFactor;
    PrimitiveColour c;
    c.red = (uint8_t)((colour & 255) * f);
    c.green = (uint8_t)(((colour >> 8) & 255) * f);
    c.blue = (uint8_t)(((colour >> 16) & 255) * f);
    c.alpha = colour == store.spriteColourKey ? 0 : (uint8_t)(f * 255.0f);
    glDisable(GL_ALPHA_TEST);
    multisampleWasOn = glIsEnabled(GL_MULTISAMPLE) == GL_TRUE;
    if (multisampleWasOn) glDisable(GL_MULTISAMPLE);
    glColor4ub(c.red, c.green, c.blue, c.alpha);
    BindSprite(-1, -1, false);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glTranslatef(0.375f, 0.375f, 0.0f);
    glMatrixMode(GL_MODELVIEW);
}

static void EndPrimitive(const SpriteStore& store) {
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    const float f = store.alphaFactor;
    glColor4f(f, f, f, f);
    glEnable(GL_ALPHA_TEST);
    if (multisampleWasOn) glEnable(GL_MULTISAMPLE);
}

static void DrawPoints(const float* xy, int count, GLenum mode) {
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(2, GL_FLOAT, 2 * sizeof(float), xy);
    glDrawArrays(mode, 0, count);
    glDisableClientState(GL_VERTEX_ARRAY);
}

// ---------------------------------------------------------------------------
// Public: polygons

void StartPoly(double slotNumber) {
    if (!ActiveSpriteStore()) return;
    BindSprite(TruncateToInt(slotNumber), -1, false);
    polySlot = boundSprite;
    if (polyVertices.capacity() / kPolyFloats < 9) GrowPolygonBuffer(8);
    polyCount = 0;
}

void PolyVector(double x, double y, double tx, double ty, double colourNumber) {
    SpriteStore* store = ActiveSpriteStore();
    if (!store) return;
    float u = 0, v = 0;
    if (polySlot >= 0) {
        const int32_t textureWidth = store->textureWidth[polySlot];
        const int32_t textureHeight = store->textureHeight[polySlot];
        // Picture pixels counted from the picture's top-left corner.
        if (textureWidth > 0) u = (float)(tx / textureWidth);
        if (textureHeight > 0) v = (float)((store->imageHeight[polySlot] - ty) / textureHeight);
    }
    const int32_t colour = TruncateToInt(colourNumber);
    const float f = store->alphaFactor;
    if (polyCount + 1 >= polyVertices.capacity() / kPolyFloats) GrowPolygonBuffer(polyCount + 1);
    polyVertices.resize((polyCount + 1) * kPolyFloats);
    float* out = polyVertices.data() + polyCount * kPolyFloats;
    out[0] = (float)TruncateToInt(x);
    out[1] = (float)TruncateToInt(y);
    out[2] = u;
    out[3] = v;
    out[4] = (colour & 255) / 255.0f * f;
    out[5] = ((colour >> 8) & 255) / 255.0f * f;
    out[6] = ((colour >> 16) & 255) / 255.0f * f;
    out[7] = colour == store->spriteColourKey ? 0.0f : 1.0f;
    ++polyCount;
}

void EndPoly() {
    SpriteStore* store = ActiveSpriteStore();
    if (!store) return;
    BindSprite(polySlot, -1, false);
    glEnable(GL_COLOR_MATERIAL);
    glEnable(GL_DITHER);
    glShadeModel(GL_SMOOTH);
    if (polyCount > 0) {
        const bool textured = boundSprite >= 0;
        const GLsizei stride = kPolyFloats * sizeof(float);
        glEnableClientState(GL_VERTEX_ARRAY);
        glEnableClientState(GL_COLOR_ARRAY);
        glVertexPointer(2, GL_FLOAT, stride, polyVertices.data());
        glColorPointer(4, GL_FLOAT, stride, polyVertices.data() + 4);
        if (textured) {
            glEnableClientState(GL_TEXTURE_COORD_ARRAY);
            glTexCoordPointer(2, GL_FLOAT, stride, polyVertices.data() + 2);
        }
        glDrawArrays(GL_TRIANGLE_FAN, 0, (GLsizei)polyCount);
        if (textured) glDisableClientState(GL_TEXTURE_COORD_ARRAY);
        glDisableClientState(GL_COLOR_ARRAY);
        glDisableClientState(GL_VERTEX_ARRAY);
    }
    const float f = store->alphaFactor;
    glShadeModel(GL_FLAT);
    glEnable(GL_TEXTURE_2D);
    glColor4f(f, f, f, f);
    glDisable(GL_DITHER);
    glDisable(GL_COLOR_MATERIAL);
}

// ---------------------------------------------------------------------------
// Public: primitives

void SetPixel(double x, double y, double colour) {
    SpriteStore* store = ActiveSpriteStore();
    if (!store) return;
    BeginPrimitive(*store, colour);
    const float point[2] = {(float)TruncateToInt(x), (float)TruncateToInt(y)};
    DrawPoints(point, 1, GL_POINTS);
    EndPrimitive(*store);
}

void DrawLine(double x1, double y1, double x2, double y2, double colour) {
    SpriteStore* store = ActiveSpriteStore();
    if (!store) return;
    BeginPrimitive(*store, colour);
    const float line[4] = {(float)TruncateToInt(x1), (float)TruncateToInt(y1), (float)TruncateToInt(x2),
                           (float)TruncateToInt(y2)};
    DrawPoints(line, 2, GL_LINES);
    // A line leaves out its last pixel; the point puts it in.
    DrawPoints(line + 2, 1, GL_POINTS);
    EndPrimitive(*store);
}

void DrawRect(double xNumber, double yNumber, double wNumber, double hNumber, double colour) {
    SpriteStore* store = ActiveSpriteStore();
    if (!store) return;
    int64_t x = TruncateToInt(xNumber), y = TruncateToInt(yNumber);
    int64_t w = TruncateToInt(wNumber), h = TruncateToInt(hNumber);
    if (w < 0) {
        x = x + w + 1;
        w = -w;
    }
    if (h < 0) {
        y = y + h + 1;
        h = -h;
    }
    BeginPrimitive(*store, colour);
    const float X = (float)x, Y = (float)y, W = (float)w, H = (float)h;
    const float quad[8] = {X, Y + H, X + W, Y + H, X + W, Y, X, Y};
    DrawPoints(quad, 4, GL_TRIANGLE_FAN);
    EndPrimitive(*store);
}
