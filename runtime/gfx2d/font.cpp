// Bitmap fonts: the built-in font, loading and choosing fonts, the cell
// geometry of a font picture and monospaced text output.
#include <GL/gl.h>

#include <cmath>
#include <cstring>

#include "core/engine.h"
#include "files/archive.h"
#include "gfx2d/gfx2d_internal.h"
#include "strings/script_numbers.h"

// ---------------------------------------------------------------------------
// State

// Glyphs of codes 32 to 127, 5 x 6 dots each: bit (row * 5 + column).
static const uint32_t kBuiltinGlyphs[96] = {
    0x00000000, 0x08021080, 0x00002940, 0x15F57D40, 0x08E619C4, 0x14222140, 0x0ED114E0, 0x00001080,
    0x08210880, 0x04421040, 0x09575480, 0x08471080, 0x04400000, 0x00070000, 0x08000000, 0x04222100,
    0x00E5294E, 0x004210C4, 0x00E1390E, 0x00E4390E, 0x0084394A, 0x00E4384E, 0x00E5384E, 0x0042210E,
    0x00E5394E, 0x00E4394E, 0x00020080, 0x00220080, 0x00820888, 0x000701C0, 0x00222082, 0x0040310E,
    0x00E0B526, 0x00A5394E, 0x00E5194E, 0x00E5094E, 0x00E52946, 0x00E1384E, 0x0021384E, 0x00E5284E,
    0x00A5394A, 0x00E2108E, 0x00E5210C, 0x00A5194A, 0x00E10842, 0x015AD6BF, 0x00A5294E, 0x00E5294E,
    0x0021394E, 0x00F294A7, 0x00A5194E, 0x00E4384E, 0x0042108E, 0x00E5294A, 0x0045294A, 0x01FAD6B5,
    0x00A5114A, 0x0042394A, 0x00E1110E, 0x00610846, 0x01041041, 0x00621086, 0x00000144, 0x00E00000,
    0x00000082, 0x00E53000, 0x00E53842, 0x00E13800, 0x00E53908, 0x08273800, 0x00423888, 0x08873800,
    0x00A51842, 0x00421004, 0x04421004, 0x00A32842, 0x00421084, 0x015ABC00, 0x00A51800, 0x00E53800,
    0x04E51800, 0x10E53000, 0x00253800, 0x00E409C0, 0x00C23884, 0x00C52800, 0x00452800, 0x00EAD400,
    0x00A22800, 0x1C872800, 0x00E121C0, 0x00821888, 0x00421084, 0x00223082, 0x0002A800, 0x3F18C63F,
};

// ---------------------------------------------------------------------------
// Internal helpers

static int32_t ClampFont(double font) {
    int32_t f = TruncateToInt(font);
    return f < 0 ? 0 : (f > kFontCount - 1 ? kFontCount - 1 : f);
}

// Whether glyph `code` has the dot at (column, row); false outside 5 x 6.
static bool Dot(int code, int column, int row) {
    if (code < 32 || code > 127 || column < 0 || column > 4 || row < 0 || row > 5) return false;
    return (kBuiltinGlyphs[code - 32] >> (row * 5 + column)) & 1;
}

// The cell grid of the picture in a slot: 16 columns, and 16 rows when the
// picture is at least as tall as wide (so a square picture holds 256 glyphs
// in square cells), else 8.
struct FontGeometry {
    int rows;
    int cellWidth, cellHeight;        // pixels
    float cellU, cellV;               // texture coordinates
};

static FontGeometry GeometryOf(const SpriteStore& store, int32_t slot) {
    FontGeometry g;
    g.rows = FontRows(store, slot);
    g.cellWidth = store.imageWidth[slot] / 16;
    g.cellHeight = store.imageHeight[slot] / g.rows;
    g.cellU = SlotU(store, slot) / 16.0f;
    g.cellV = SlotV(store, slot) / (float)g.rows;
    return g;
}

// ---------------------------------------------------------------------------
// Public

void MakeBuiltinFontImage(ImageBuffer& image) {
    image.width = 128;
    image.height = 64;
    image.pixels.assign(128 * 64 * 4, 0);
    for (int code = 32; code < 128; ++code) {
        const int cellX = (code % 16) * 8, cellY = (code / 16) * 8;
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 7; ++x) {
                // Dot (column, row) sits at cell pixel (column + 1, row + 1).
                const int column = x - 1, row = y - 1;
                uint8_t* pixel = &image.pixels[((size_t)(cellY + y) * 128 + cellX + x) * 4];
                if (Dot(code, column, row)) {
                    pixel[0] = pixel[1] = pixel[2] = pixel[3] = 255;
                } else if (Dot(code, column - 1, row) || Dot(code, column + 1, row) ||
                           Dot(code, column, row - 1) || Dot(code, column, row + 1)) {
                    pixel[0] = pixel[1] = pixel[2] = 8;
                    pixel[3] = 255;
                }
            }
        }
    }
}

void InstallBuiltinFont(int32_t font) {
    SpriteStore* store = ActiveSpriteStore();
    if (!store || font < 0 || font >= kFontCount) return;
    const int32_t slot = kFirstFontSlot + font;
    FreeSprite(slot);
    ImageBuffer image;
    MakeBuiltinFontImage(image);
    UploadResult made;
    if (!UploadImage(image, 0, 0, 0, 0, &store->plainTexture[slot], nullptr, false, true, &made)) return;
    store->textureWidth[slot] = made.textureWidth;
    store->textureHeight[slot] = made.textureHeight;
    store->imageWidth[slot] = made.width;
    store->imageHeight[slot] = made.height;
}

void LoadFont(const char* file, double fontNumber) {
    SpriteStore* store = ActiveSpriteStore();
    if (!store) return;
    const int32_t font = ClampFont(fontNumber);
    engine.currentFont = font;
    BeginLoad();
    char path[kDataPathMax + 1];
    DataArchive* primary = engine.dataArchives ? &engine.dataArchives[0] : nullptr;
    bool found = ResolveDataFile(primary, file ? file : "", path) != 0;
    if (!found) NoteLoadFailure("no such file");
    if (found && LoadIntoSlot(kFirstFontSlot + font, path, store->fontColourKey, false)) return;
    // No name at all is the way to ask for the built-in font.
    if (file && *file) ReportLoadFailure(file);
    InstallBuiltinFont(font);
}

void SetFont(double font) { engine.currentFont = ClampFont(font); }

void GetFontSize(double& width, double& height) {
    width = height = 0.0;
    SpriteStore* store = ActiveSpriteStore();
    if (!store) return;
    FontGeometry g = GeometryOf(*store, kFirstFontSlot + ClampFont(engine.currentFont));
    width = g.cellWidth;
    height = g.cellHeight;
}

static void PrintAt(int32_t font, const char* text, double x, double y, double z, bool queue) {
    SpriteStore* store = ActiveSpriteStore();
    if (!store || !text || !*text || font < 0 || font >= kFontCount) return;
    const int32_t slot = kFirstFontSlot + font;
    const FontGeometry g = GeometryOf(*store, slot);
    const size_t length = std::strlen(text);
    float* queued = queue ? QueueTextQuads(slot, length) : nullptr;
    std::vector<float>& list = store->textVertices;
    if (!queued) {
        FlushDrawBatch();
        BindSprite(slot, -1, false);
        SizeVertexList(list, length * 4, 5);
    }

    float X = (float)std::ceil(x);
    const float Y = (float)std::ceil(y), Z = (float)z;
    const float W = (float)g.cellWidth, H = (float)g.cellHeight;
    float* out = queued ? queued : list.data();
    for (size_t i = 0; i < length; ++i, out += 20) {
        const int byte = (unsigned char)text[i];
        // An 8-row font holds codes 0 to 127; higher bytes wrap onto them.
        const int code = g.rows == 8 ? byte % 128 : byte;
        const float u0 = (float)(code % 16) * g.cellU;
        const float v0 = (float)(g.rows - 1 - code / 16) * g.cellV;
        const float quad[20] = {X,     Y + H, Z, u0,           v0,           X + W, Y + H, Z, u0 + g.cellU, v0,
                                X + W, Y,     Z, u0 + g.cellU, v0 + g.cellV, X,     Y,     Z, u0,           v0 + g.cellV};
        std::memcpy(out, quad, sizeof quad);
        X += W;
    }
    if (!queued) DrawVertexList(list.data(), (int)(length * 4), GL_QUADS);
}

void PrintWithFont(int32_t font, const char* text, double x, double y, double z) {
    PrintAt(font, text, x, y, z, false);
}

void QueuePrint(const char* text, double x, double y) {
    PrintAt(ClampFont(engine.currentFont), text, x, y, 0.0, DrawBatchingOn());
}

void Print(const char* text, double x, double y) {
    PrintWithFont(ClampFont(engine.currentFont), text, x, y, 0.0);
}

void PrintNumber(double value, double x, double y) {
    RuntimeString text(value);
    Print(text.Text(), x, y);
}
