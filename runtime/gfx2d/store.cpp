// The sprite store: its life with the screen object, freeing slots and tiled
// records, loading pictures into slots and into tiled records, and the store's
// script commands.
#include "gfx2d/gfx2d_internal.h"

#include <GL/gl.h>

#include <algorithm>

#include "core/engine.h"
#include "files/archive.h"
#include "strings/script_numbers.h"

// ---------------------------------------------------------------------------
// State

int32_t boundSprite = -1;

// ---------------------------------------------------------------------------
// Internal helpers

static bool GlReady() { return engine.screen && engine.screen->glReady; }

static void FreeSlotIn(SpriteStore& store, int32_t slot, bool glReady) {
    if (glReady) {
        if (store.plainTexture[slot]) glDeleteTextures(1, &store.plainTexture[slot]);
        if (store.mipTexture[slot]) glDeleteTextures(1, &store.mipTexture[slot]);
        store.plainTexture[slot] = 0;
        store.mipTexture[slot] = 0;
    }
    store.textureWidth[slot] = -1;
    store.textureHeight[slot] = -1;
    store.imageWidth[slot] = 0;
    store.imageHeight[slot] = 0;
    delete[] store.alphaMask[slot];
    store.alphaMask[slot] = nullptr;
}

static void FreeRecordIn(SpriteStore& store, int32_t record, bool glReady) {
    TiledImage& tiles = store.tiledImages[record];
    if (glReady) {
        for (uint32_t& name : tiles.texture) {
            if (name) glDeleteTextures(1, &name);
        }
    }
    std::fill(std::begin(tiles.texture), std::end(tiles.texture), 0u);
    std::fill(std::begin(tiles.textureWidth), std::end(tiles.textureWidth), 0);
    std::fill(std::begin(tiles.textureHeight), std::end(tiles.textureHeight), 0);
    std::fill(std::begin(tiles.imageWidth), std::end(tiles.imageWidth), 0);
    std::fill(std::begin(tiles.imageHeight), std::end(tiles.imageHeight), 0);
    tiles.columnCount = 0;
    tiles.rowCount = 0;
}

static void FreeAllIn(SpriteStore& store, bool glReady) {
    for (int32_t slot = 0; slot < kSpriteSlots; ++slot) FreeSlotIn(store, slot, glReady);
    for (int32_t record = 0; record < kTiledRecords; ++record) FreeRecordIn(store, record, glReady);
}

// The screen object is going away (or its context is rebuilt): every texture
// goes, and so does the store; the next use starts an empty one.
static void ReleaseStore(OpenGLZadudedo& screen) {
    ReleaseSpriteProgram(screen.glReady != 0);
    if (!screen.sprites) return;
    FreeAllIn(*screen.sprites, screen.glReady != 0);
    delete screen.sprites;
    screen.sprites = nullptr;
    boundSprite = -1;
    ReleaseBindObjects(screen.glReady != 0);
}

static int32_t LargestTextureSide() {
    GLint largest = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
    return largest > 0 ? largest : 64;
}

// Resolves `file` through the primary data archive record into `path`.
static bool Resolve(const char* file, char (&path)[kDataPathMax + 1]) {
    DataArchive* primary = engine.dataArchives ? &engine.dataArchives[0] : nullptr;
    return ResolveDataFile(primary, file ? file : "", path) != 0;
}

static double LoadSpriteWithKey(const char* file, double slotNumber, int32_t key, bool normalMap) {
    int32_t slot = TruncateToInt(slotNumber);
    if (!IsSpriteSlot(slot) || !ActiveSpriteStore()) return 0.0;
    FreeSprite(slot);
    BeginLoad();
    char path[kDataPathMax + 1];
    if (!Resolve(file, path)) NoteLoadFailure("no such file");
    else if (LoadIntoSlot(slot, path, key, normalMap)) return 1.0;
    ReportLoadFailure(file);
    return 0.0;
}

// ---------------------------------------------------------------------------
// Public: the store's life

SpriteStore* ActiveSpriteStore() {
    OpenGLZadudedo* screen = engine.screen;
    if (!screen) return nullptr;
    if (!screen->sprites) {
        screen->sprites = new SpriteStore();
        SetTextureReleaseHook(ReleaseStore);
    }
    return screen->sprites;
}

// ---------------------------------------------------------------------------
// Public: store operations

void FreeSprite(int32_t slot) {
    SpriteStore* store = ActiveSpriteStore();
    if (!store || !IsSpriteSlot(slot)) return;
    FreeSlotIn(*store, slot, GlReady());
}

void FreeTiledImage(int32_t record) {
    SpriteStore* store = ActiveSpriteStore();
    if (!store || record < 0 || record >= kTiledRecords) return;
    FreeRecordIn(*store, record, GlReady());
}

void FreeAllSprites() {
    SpriteStore* store = ActiveSpriteStore();
    if (!store) return;
    FreeAllIn(*store, GlReady());
    boundSprite = -1;
}

int LoadIntoSlot(int32_t slot, const char* path, int32_t colourKey, bool normalMap) {
    SpriteStore* store = ActiveSpriteStore();
    if (!store || !IsSpriteSlot(slot)) return 0;
    FreeSprite(slot);
    ImageBuffer image;
    if (!LoadImage(path, colourKey, image) || image.width == 0 || image.height == 0) return 0;

    // The picture is not needed once it is a texture, so the upload may use
    // its pixels up rather than copy them.
    bool fontSlot = slot >= kFirstFontSlot;
    UploadResult made;
    bool uploaded = fontSlot ? UploadWholeImage(image, &store->plainTexture[slot], nullptr, false, true, &made)
                             : UploadWholeImage(image, &store->plainTexture[slot], &store->mipTexture[slot],
                                                normalMap, false, &made);
    if (!uploaded) {
        NoteLoadFailure("too large for the memory at hand");
        FreeSprite(slot);
        return 0;
    }
    // A picture larger than the GL allows was cut to its top-left part; the
    // slot records what the texture really holds, so it draws at 1:1.
    store->textureWidth[slot] = made.textureWidth;
    store->textureHeight[slot] = made.textureHeight;
    store->imageWidth[slot] = made.width;
    store->imageHeight[slot] = made.height;
    return 1;
}

int LoadTiledImage(int32_t record, const char* path) {
    SpriteStore* store = ActiveSpriteStore();
    if (!store || record < 0 || record >= kTiledRecords) return 0;
    ImageBuffer image;
    if (!LoadImage(path, kNoColourKey, image) || image.width == 0 || image.height == 0) return 0;

    const int32_t tile = std::min(LargestTextureSide(), kLargestTile);
    FreeRecordIn(*store, record, GlReady());
    TiledImage& tiles = store->tiledImages[record];

    // At most 64 tiles across and down: a larger picture keeps its top-left part.
    const int64_t limit = (int64_t)tile * kTilesPerSide;
    const int32_t width = (int32_t)std::min<int64_t>(image.width, limit);
    const int32_t height = (int32_t)std::min<int64_t>(image.height, limit);
    int32_t rows = 0, columns = 0;
    for (int32_t top = 0; top < height; top += tile, ++rows) {
        int32_t column = 0;
        for (int32_t left = 0; left < width; left += tile, ++column) {
            int entry = column * kTilesPerSide + rows;
            if (!UploadImage(image, left, top, tile, tile, &tiles.texture[entry], nullptr, false, false)) {
                NoteLoadFailure("too large for the memory at hand");
                FreeRecordIn(*store, record, GlReady());
                return 0;
            }
            tiles.textureWidth[entry] = tile;
            tiles.textureHeight[entry] = tile;
            tiles.imageWidth[entry] = tile;
            tiles.imageHeight[entry] = tile;
        }
        columns = std::max(columns, column);
    }
    tiles.rowCount = rows;
    tiles.columnCount = columns;
    return 1;
}

// ---------------------------------------------------------------------------
// Public: commands

double LoadSprite(const char* file, double slot) {
    SpriteStore* store = ActiveSpriteStore();
    if (!store) return 0.0;
    return LoadSpriteWithKey(file, slot, store->spriteColourKey, false);
}

double LoadNormalMap(const char* file, double slot) {
    return LoadSpriteWithKey(file, slot, kDefaultSpriteColourKey, true);
}

void LoadBmp(const char* file) {
    if (!ActiveSpriteStore()) return;
    BeginLoad();
    char path[kDataPathMax + 1];
    if (!Resolve(file, path)) {
        NoteLoadFailure("no such file");
    } else if (LoadTiledImage(0, path)) {
        DrawTiledImage(0);
        return;
    }
    ReportLoadFailure(file);
    FreeTiledImage(0);
    if (GlReady()) glClear(GL_COLOR_BUFFER_BIT);
}

void BlackScreen() {
    if (!ActiveSpriteStore()) return;
    FreeTiledImage(0);
    if (GlReady()) glClear(GL_COLOR_BUFFER_BIT);
}

void SetTransparency(double colour) {
    SpriteStore* store = ActiveSpriteStore();
    if (!store) return;
    store->spriteColourKey = TruncateToInt(colour);
    store->fontColourKey = store->spriteColourKey;
}

double GetTextureName(double slotNumber) {
    SpriteStore* store = ActiveSpriteStore();
    int32_t slot = TruncateToInt(slotNumber);
    if (!store || !IsSpriteSlot(slot)) return 0.0;
    return store->plainTexture[slot];
}

void GetSpriteSize(double slotNumber, double& width, double& height) {
    width = height = 0.0;
    SpriteStore* store = ActiveSpriteStore();
    int32_t slot = TruncateToInt(slotNumber);
    if (!store || !IsSpriteSlot(slot)) return;
    width = store->imageWidth[slot];
    height = store->imageHeight[slot];
}
