// Text entry: the script's text edited on a frozen copy of the screen, with a
// blinking "_" cursor, until Enter.
#include "input/input.h"

#include <GL/gl.h>

#include "core/engine.h"
#include "gfx2d/gfx2d.h"

// ---------------------------------------------------------------------------
// State

// The tiled record that holds the frozen screen while text is entered.
constexpr int kFrozenScreenRecord = 3;
// Frames without a character between two toggles of the cursor.
constexpr int kBlinkFrames = 20;

// ---------------------------------------------------------------------------
// Internal helpers

// Copies the whole back buffer into tiled record n, tile by tile, reusing
// tiles of the right size. The 2D graphics have no whole-screen grab into a
// record of their own yet; this one follows the store's tile layout (entry =
// column * 64 + row, the picture's bottom row in texture row 0).
static void FreezeScreen(int record) {
    SpriteStore* store = ActiveSpriteStore();
    OpenGLZadudedo* screen = engine.screen;
    if (!store || !screen || !screen->glReady) return;
    TiledImage& tiles = store->tiledImages[record];
    GLint largest = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
    // Tiles as large as the loaded records use: the largest texture size of
    // some drivers would cost gigabytes for a small screen.
    const int size = largest > 0 && largest < kLargestTile ? largest : kLargestTile;
    const int width = screen->width, height = screen->height;

    int columns = 0, rows = 0;
    for (int left = 0; left < width && columns < kTilesPerSide; left += size, ++columns) {
        rows = 0;
        for (int top = 0; top < height && rows < kTilesPerSide; top += size, ++rows) {
            const int e = columns * kTilesPerSide + rows;
            if (tiles.texture[e] == 0 || tiles.textureWidth[e] != size || tiles.textureHeight[e] != size) {
                GLuint name = tiles.texture[e];
                if (name == 0) glGenTextures(1, &name);
                glBindTexture(GL_TEXTURE_2D, name);
                glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, size, size, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
                glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
                glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
                glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
                glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
                tiles.texture[e] = name;
            } else {
                glBindTexture(GL_TEXTURE_2D, tiles.texture[e]);
            }
            const int tw = width - left < size ? width - left : size;
            const int th = height - top < size ? height - top : size;
            glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, left, height - top - th, tw, th);
            tiles.textureWidth[e] = size;
            tiles.textureHeight[e] = size;
            tiles.imageWidth[e] = tw;
            tiles.imageHeight[e] = th;
        }
    }
    tiles.columnCount = columns;
    tiles.rowCount = rows;
    BindSprite(-1, -1, false);
}

// ---------------------------------------------------------------------------
// Public

void TextEntry(RuntimeString& text, double x, double y) {
    if (!engine.input || !engine.screen) return;
    FreezeScreen(kFrozenScreenRecord);
    DrawTiledImage(kFrozenScreenRecord);

    double printX = TruncateToInt(x), printY = TruncateToInt(y);
    bool cursorShown = false;
    int idleFrames = 0;
    for (;;) {
        ShowScreen();
        int character = ReadCharacterCode();
        if (character == 0) {
            if (++idleFrames > kBlinkFrames) {
                idleFrames = 0;
                cursorShown = !cursorShown;
            }
        } else if (character == 10) {
            FreeTiledImage(kFrozenScreenRecord);
            return;
        } else if (character == 8) {
            if (text.Length() > 0) text.Truncate(text.Length() - 1);
        } else {
            const char typed[2] = {(char)character, 0};
            text += typed;
        }
        DrawTiledImage(kFrozenScreenRecord);
        RuntimeString shown = text;
        if (cursorShown) shown += "_";
        Print(shown.Text(), printX, printY);
    }
}
