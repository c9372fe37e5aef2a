// The 2D graphics: the sprite store of the screen object (sprite slots with
// their textures, font slots, tiled image records, colour keys), the BMP and
// PNG readers, the texture upload, sprite and primitive drawing, bitmap fonts
// with text output, grabs and read-back with sprite collision, the image
// writer, and off-screen surfaces. Coordinates have their origin at the
// top-left corner, y downward, one unit per pixel.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class OpenGLZadudedo;

// ---------------------------------------------------------------------------
// Store layout

constexpr int kSpriteSlots = 65536;
constexpr int kFirstFontSlot = 65504;   // font f lives in slot 65504 + f
constexpr int kFontCount = 32;
constexpr int kScratchSlot = 65503;     // emulated off-screen surfaces
constexpr int kTiledRecords = 16;       // record 0 is the background picture
constexpr int kTilesPerSide = 64;       // tiles per record: 64 columns x 64 rows
constexpr int kTilesPerRecord = kTilesPerSide * kTilesPerSide;
constexpr int kLargestTile = 512;
constexpr int32_t kNoColourKey = -1;
constexpr int32_t kDefaultSpriteColourKey = 0x8000FF;  // red 255, green 0, blue 128

// A picture split into square tiles; entry index = tile column * 64 + tile row.
struct TiledImage {
    uint32_t texture[kTilesPerRecord];
    int32_t textureWidth[kTilesPerRecord];
    int32_t textureHeight[kTilesPerRecord];
    int32_t imageWidth[kTilesPerRecord];
    int32_t imageHeight[kTilesPerRecord];
    int32_t columnCount;
    int32_t rowCount;
};

constexpr int kSurfaceCount = 32;  // off-screen surfaces 0 to 31

// An off-screen surface: a framebuffer object drawing into a sprite slot's
// texture, with a depth renderbuffer. Width or height 0: no framebuffer object,
// the surface is emulated in the back buffer's corner. Slot -1: never created.
struct SurfaceRecord {
    uint32_t framebuffer = 0;
    uint32_t depthBuffer = 0;
    int32_t width = 0;
    int32_t height = 0;
    int32_t slot = -1;
};

// The sprite store, owned by the screen object (`OpenGLZadudedo::sprites`).
// Slot arrays are parallel: one entry per slot in each. An empty slot has
// texture names 0, texture sizes -1 (0 before first use), image sizes 0 and no
// alpha mask.
struct SpriteStore {
    uint32_t plainTexture[kSpriteSlots];  // drawn by every 2D command
    uint32_t mipTexture[kSpriteSlots];    // mipmapped twin, ordinary slots only
    int32_t textureWidth[kSpriteSlots];   // power of two
    int32_t textureHeight[kSpriteSlots];
    int32_t imageWidth[kSpriteSlots];
    int32_t imageHeight[kSpriteSlots];
    // Alpha channel of the plain texture (texture width x height bytes), built
    // on first use by sprite collision, allocated with new[], freed with the slot.
    uint8_t* alphaMask[kSpriteSlots];

    TiledImage tiledImages[kTiledRecords];

    SurfaceRecord surfaces[kSurfaceCount];
    int32_t currentSurface = -1;         // -1: drawing goes to the back buffer
    uint8_t currentSurfaceEmulated = 0;  // the active surface lives in the back buffer's corner

    int32_t spriteColourKey = kDefaultSpriteColourKey;  // sprite loading and 2D drawing
    int32_t fontColourKey = 0;                          // black font pixels are transparent
    float alphaFactor = 1.0f;                           // intensity of 2D drawing, 0..1

    // What the last bind recorded.
    int32_t boundSlot = -1;
    int32_t boundSecondSlot = -1;
    int32_t boundMipmapped = 0;

    // Text vertex list: 5 floats per vertex (x, y, z, u, v), reused by every
    // text draw and by sprites at a 3D position.
    std::vector<float> textVertices;
};

// The slot whose texture the last bind selected; -1 when texturing is off.
extern int32_t boundSprite;

// The store of the current screen object, created empty on first use. Null
// while there is no screen object. Creating it registers the texture-release
// hook, which frees every texture and the store itself when the screen object
// is destroyed (the next use then creates a fresh, empty store).
SpriteStore* ActiveSpriteStore();

// True when slot is 0..65535.
inline bool IsSpriteSlot(int32_t slot) { return slot >= 0 && slot < kSpriteSlots; }

// ---------------------------------------------------------------------------
// Image buffer and readers

// Pixels of 4 bytes (red, green, blue, alpha), rows from top to bottom, no
// row padding.
struct ImageBuffer {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> pixels;
    void Free() {
        width = height = 0;
        std::vector<uint8_t>().swap(pixels);
    }
};

// Largest width or height either reader accepts; larger pictures are refused.
constexpr int32_t kLargestImageSide = 65536;
// Largest number of pixels either reader accepts (8192 x 8192, 256 MiB as
// RGBA); larger pictures are refused before their pixels are allocated.
constexpr int64_t kLargestImagePixels = (int64_t)1 << 26;

// Reads an uncompressed Windows bitmap (8-bit palette, 24 or 32 bits) held in
// memory. Pixels whose red + 256 green + 65536 blue equals colourKey (unless
// it is -1) become 0, 0, 0, 0. Returns false, with `image` emptied, for
// anything it cannot read safely: wrong type, header smaller than 40 bytes,
// pixel data offset below 54 or past the end, other bit depths, compression,
// palette indices past the palette, pixel data the file does not hold, more
// than kLargestImagePixels pixels.
bool ReadBmp(const uint8_t* data, size_t size, int32_t colourKey, ImageBuffer& image);
// Reads a PNG held in memory through libpng (palette, grey and tRNS expanded,
// 16-bit stripped). Three-channel pixels of the key colour become 0, 0, 0, 0;
// four-channel pixels keep their alpha. Grey with alpha is refused. `name` is
// used only in the two messages printed for an unsupported depth or colour
// type. Returns false, with `image` emptied, on any failure (more than
// kLargestImagePixels pixels among them).
bool ReadPng(const uint8_t* data, size_t size, const char* name, int32_t colourKey, ImageBuffer& image);
// Reads the file at `path` (already resolved) with the BMP reader, then the
// PNG reader. Returns false when both fail.
bool LoadImage(const char* path, int32_t colourKey, ImageBuffer& image);

// ---------------------------------------------------------------------------
// Texture upload

// What an upload made.
struct UploadResult {
    int32_t width = 0;          // picture part uploaded, after cutting to the GL limit
    int32_t height = 0;
    int32_t textureWidth = 0;   // power of two, at least 2
    int32_t textureHeight = 0;
};

// Makes one texture from the rectangle (x, y, w, h) of `image`: w of 0 means
// to the right edge, h of 0 to the bottom. The rectangle is cut to the largest
// texture the GL allows, padded with transparent black to a power-of-two size
// and turned upside down (picture bottom row = texture row 0). With linear
// filtering, transparent texels take the mean colour of their opaque inner
// neighbours. `*plainTexture` is replaced; when `mipTexture` is not null a
// mipmapped twin is made into it (its previous texture deleted). Returns false
// and uploads nothing when the rectangle is empty or the GL is not ready.
bool UploadImage(const ImageBuffer& image, int x, int y, int w, int h, uint32_t* plainTexture,
                 uint32_t* mipTexture, bool normalMap, bool nearest, UploadResult* result = nullptr);
// UploadImage of the whole picture for a caller that no longer needs it: the
// pixels become the texture's buffer where they lie, so the picture is not
// held twice while the GL takes its copies. `image` is empty afterwards,
// whatever the result.
bool UploadWholeImage(ImageBuffer& image, uint32_t* plainTexture, uint32_t* mipTexture, bool normalMap,
                      bool nearest, UploadResult* result = nullptr);

// The CPU steps of the upload, on a texture-sized RGBA buffer whose row 0 is
// the texture's first row.
// Edge colour bleeding for linear filtering.
void BleedEdgeColours(uint8_t* texels, int width, int height);
// Computes the next mipmap level in place; returns false at 1 x 1.
bool NextMipLevel(uint8_t* texels, int& width, int& height);
// Normal map from the blue channel as height field; alpha is kept.
std::vector<uint8_t> MakeNormalMap(const uint8_t* texels, int width, int height);

// ---------------------------------------------------------------------------
// Store operations and commands

// Frees slot s: deletes both textures when the GL is ready (names become 0),
// otherwise leaves the names; sizes become -1 / 0; frees the alpha mask.
void FreeSprite(int32_t slot);
// Deletes the record's tile textures (when the GL is ready) and zeroes it.
void FreeTiledImage(int32_t record);
// Frees all slots and all records.
void FreeAllSprites();
// Frees slot s and loads the picture at `path` (already resolved) into it
// with the given colour key: ordinary slots get linear filtering and a
// mipmapped twin, font slots nearest filtering and no twin. Returns 1 or 0.
int LoadIntoSlot(int32_t slot, const char* path, int32_t colourKey, bool normalMap);
// Loads the picture at `path` (already resolved), without colour key, into
// tiled record n with tiles of the largest texture size up to 512; a picture
// needing more than 64 tiles across or down is cut to its top-left part.
// Returns 1, or 0 when it cannot be read or uploaded.
int LoadTiledImage(int32_t record, const char* path);

// Script commands. File names are resolved through the data archive.
// Loads a sprite with the sprite colour key; 1 on success, 0 on failure (the
// slot is then empty; slots outside 0..65535 give 0 and change nothing).
double LoadSprite(const char* file, double slot);
// As LoadSprite, with the fixed key 0x8000FF and normal-map conversion.
double LoadNormalMap(const char* file, double slot);
// Loads the background (tiled record 0) and draws it at once; on failure
// empties record 0 and clears the colour buffer.
void LoadBmp(const char* file);
// Empties the background and clears the colour buffer.
void BlackScreen();
// Sets both colour keys (-1: no key).
void SetTransparency(double colour);
// The slot's plain texture name; 0 for an empty or invalid slot.
double GetTextureName(double slot);
// Image width and height of the slot; 0, 0 for an invalid slot.
void GetSpriteSize(double slot, double& width, double& height);

// ---------------------------------------------------------------------------
// Drawing

// Selects textures for drawing: `slot` on unit 0 (or `secondSlot` there and
// `slot` on unit 1 with multitexture); a negative slot turns texturing off.
// The texture is nameTable[slot] when a table is given, else the mipmapped
// twin when asked, else the plain texture. Sets `boundSprite`.
void BindSprite(int32_t slot, int32_t secondSlot, bool mipmapped, const uint32_t* nameTable = nullptr);
// For speed the binding keeps state between binds: it remembers that it
// turned texturing off on unit 1 and then leaves that unit alone, and
// DrawSprite leaves a nearest-filtering sampler object on unit 0. Code that
// binds textures or turns unit 1 on without BindSprite calls this first; it
// takes the sampler off and forgets about unit 1. The frame routine's reset
// calls it too.
void ResetSpriteBinding();
// Blending and intensity: 0 opaque, negative alpha blending, positive
// additive; the intensity |a| is at most 1.
void AlphaMode(double a);
void DrawSprite(double slot, double x, double y);
// Negative sizes mirror; the quad stays visible.
void StretchSprite(double slot, double x, double y, double w, double h);
void ZoomSprite(double slot, double x, double y, double sx, double sy);
void RotoZoomSprite(double slot, double x, double y, double angle, double zoom);
// Polygon: bind (slot -1 for none), append vertices, draw as a triangle fan.
void StartPoly(double slot);
void PolyVector(double x, double y, double tx, double ty, double colour);
void EndPoly();
void SetPixel(double x, double y, double colour);
void DrawLine(double x1, double y1, double x2, double y2, double colour);
void DrawRect(double x, double y, double w, double h, double colour);
// Draws tiled record n at the top-left corner of the viewport.
void DrawTiledImage(double record);
// A camera-facing quad standing on (x, y, z) in the 3D scene.
void DrawSprite3D(double slot, double x, double y, double z, double scale);
// Draws `count` vertices of 5 floats (x, y, z, u, v) with the GL primitive
// `mode`; texture coordinates only while a sprite is bound.
void DrawVertexList(const float* vertices, int count, unsigned mode);

// Draw batching. While on, sprites drawn at their own size or rotated and text
// are queued, and runs that share texture and state reach the GL as one draw
// with the same pixels. The queue must be flushed before any other GL work:
// present does it; other callers that turn batching on must do it themselves.
// Off by default; turning it off flushes.
void SetDrawBatching(bool on);
bool DrawBatchingOn();
// Draws what is queued (nothing when the queue is empty or its store is gone).
void FlushDrawBatch();
// Long runs of the draw batching go through a small GLSL program that gives
// the pixels of the fixed-function pipeline at less cost, where the state
// allows it and the GL has GLSL 1.30 (the environment variable
// REVEV_SPRITE_PROGRAM=0 turns it off for the process). Off here means the
// fixed-function pipeline always.
void SetSpriteProgram(bool on);
// Whether the batching can use the program in this context.
bool SpriteProgramReady();
// DrawSprite, RotoZoomSprite and Print through the draw batching while it is
// on, else at once. The plain commands always draw at once, after the queue.
void QueueSprite(double slot, double x, double y);
void QueueRotoZoomSprite(double slot, double x, double y, double angle, double zoom);
void QueuePrint(const char* text, double x, double y);
// The frame routine's reset: intensity 1 and the background drawn when set.
void ResetFrameDrawing();

// ---------------------------------------------------------------------------
// Fonts and text

// Installs the built-in 128 x 64 font into font slot f (0..31).
void InstallBuiltinFont(int32_t font);
// The built-in font picture (128 x 64, RGBA, rows top-down).
void MakeBuiltinFontImage(ImageBuffer& image);
// Selects font f (clamped to 0..31) and loads `file` into it with the font
// colour key; the built-in font when the file cannot be resolved or read.
void LoadFont(const char* file, double font);
void SetFont(double font);
// Cell width and height of the current font; 0, 0 when it is empty.
void GetFontSize(double& width, double& height);
// Draws text with the current font, top-left corner at (ceil x, ceil y).
void Print(const char* text, double x, double y);
// Draws the number's text (10 significant digits) as Print does.
void PrintNumber(double value, double x, double y);
// Draws text with font f at depth z.
void PrintWithFont(int32_t font, const char* text, double x, double y, double z);
// Text at a 3D point: facing the camera with a size other than 0, else
// projected to the screen and printed centred above the point.
void PrintAt3D(double font, const char* text, double x, double y, double z, double size);

// ---------------------------------------------------------------------------
// Grab, read-back, sprite collision and image saving
//
// These read what drawing lands in: the back buffer, or the framebuffer
// object of the active off-screen surface (whose corner is then the 2D
// origin). Coordinates are from the top-left corner, y downward.

// Copies the w x h rectangle at (x, y) into the slot: texture sides are powers
// of two of at least 32, a texture of the same size is reused; the slot loses
// its mipmapped twin and alpha mask. Without frame-buffer alpha, pixels of the
// sprite colour key (black when the key is 0) become transparent; with it, the
// alpha is copied. w and h are held to 0..largest texture size. Returns 1
// (also when the slot is outside 0..65535, which changes nothing).
double GrabSprite(double slot, double x, double y, double w, double h);
// Copies the whole screen into tiled record n (0..15; others do nothing) in
// tiles of the largest texture size up to 512, reusing tiles of that size.
void GrabBackground(double record = 0);
// Colour of one pixel as red + 256 green + 65536 blue; 0 outside the screen.
double GetPixel(double x, double y);
// 1 when the two sprites drawn at (xa, ya) and (xb, yb) share a pixel where
// neither is fully transparent, else 0 (also for empty or invalid slots).
// Each slot's alpha mask is read from the GL once and kept.
double SpriteCollision(double a, double xa, double ya, double b, double xb, double yb);

// A picture read back for saving: blue, green, red bytes, rows from the
// bottom, `rowLength` pixels per row, and the sprite colour key of the moment.
struct ScreenPixels {
    std::vector<uint8_t> bgr;
    int32_t width = 0;
    int32_t height = 0;
    int32_t rowLength = 0;
    int32_t colourKey = kNoColourKey;
};
// Reads the whole screen as SaveScreen does. False when there is no GL
// context or no memory.
bool ReadScreenPixels(ScreenPixels& shot);
// Writes a read-back picture as WriteImage does: 1 on success, 0 on failure.
double WriteScreenPixels(const char* file, const ScreenPixels& shot);
// True when the name is longer than 4 characters and ends in ".png", any case.
bool IsPngFileName(const char* file);
// The image writer: BGR pixels with rows from the bottom, `rowLength` pixels
// per row, written as an 8-bit RGBA PNG when IsPngFileName, else as a 24-bit
// BMP (rows padded to 4 bytes). BMP: pixels of the key colour are written as
// red 255, green 0, blue 128. PNG: when the key's red byte is not 0, pixels of
// the key colour become transparent. A key of -1 changes no pixel. Returns 1,
// or 0 when the picture is empty, the file cannot be written or libpng fails.
int WriteImage(const char* file, const uint8_t* bgr, int32_t width, int32_t height, int32_t rowLength,
               int32_t colourKey);
// Writes the whole screen to the file; 1 on success, 0 on failure.
double SaveScreen(const char* file);
// Writes the slot's picture (its image size) to the file; 1 on success, 0 on
// failure or for an empty slot.
double SaveSprite(const char* file, double slot);
// Test hook: the frame buffer's alpha bits as the grab sees them; -1 asks the
// GL again.
void OverrideFrameBufferAlphaBits(int bits);

// ---------------------------------------------------------------------------
// Off-screen surfaces

// The framebuffer-object entry points, each null when missing.
struct FramebufferEntryPoints {
    void (*glBindRenderbufferEXT)(unsigned target, unsigned renderbuffer) = nullptr;
    void (*glDeleteRenderbuffersEXT)(int n, const unsigned* renderbuffers) = nullptr;
    void (*glGenRenderbuffersEXT)(int n, unsigned* renderbuffers) = nullptr;
    void (*glRenderbufferStorageEXT)(unsigned target, unsigned format, int width, int height) = nullptr;
    void (*glBindFramebufferEXT)(unsigned target, unsigned framebuffer) = nullptr;
    void (*glDeleteFramebuffersEXT)(int n, const unsigned* framebuffers) = nullptr;
    void (*glGenFramebuffersEXT)(int n, unsigned* framebuffers) = nullptr;
    unsigned (*glCheckFramebufferStatusEXT)(unsigned target) = nullptr;
    void (*glFramebufferTexture2DEXT)(unsigned target, unsigned attachment, unsigned textureTarget,
                                      unsigned texture, int level) = nullptr;
    void (*glFramebufferRenderbufferEXT)(unsigned target, unsigned attachment, unsigned renderbufferTarget,
                                         unsigned renderbuffer) = nullptr;
};
extern FramebufferEntryPoints fboEntryPoints;

// Looks the ten entry points up for the current context when it offers
// GL_EXT_framebuffer_object. With the environment variable REVEV_NO_FBO set
// (and not "0") all stay null, so surfaces are emulated.
void LoadFramebufferEntryPoints();
// Creates surface n (0..31; other numbers do nothing) drawing into `slot`,
// whose picture becomes w x h of transparent black (texture sides powers of
// two of at least 2). The surface gets a framebuffer object when every entry
// point is there and the framebuffer is complete, else it is emulated.
// Re-creating the active surface ends it first.
void CreateScreen(double surface, double slot, double w, double h);
// A negative number ends the active surface and resets the GL defaults to the
// whole screen; 0..31 makes that surface the drawing target (a surface never
// created, and other numbers, do nothing).
void UseScreen(double surface);
// The present step: ends the active surface, if any, so the frame shown is
// the window's.
void EndActiveSurface();
