// The 3D object model: animated meshes held in the 3D engine's object slots,
// their compact (quantized) form, the binary object file, packing, the
// expansion into triangle lists and the per-frame bounding sphere. Nothing
// here needs a GL context; vertex buffers and textures belong to the scene.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// ---------------------------------------------------------------------------
// Colour words and markers

// An ordinary colour word holds red in bits 0-7, green in 8-15, blue in 16-23;
// the four highest values are reserved.
constexpr uint32_t MARKER_TRIANGLES = 0xFFFFFFFF;  // next vertices: independent triangles
constexpr uint32_t MARKER_STRIP = 0xFFFFFFFE;      // next vertices: a triangle strip
constexpr uint32_t MARKER_FAN = 0xFFFFFFFD;        // next vertices: a triangle fan
constexpr uint32_t COLOUR_PLAIN = 0xFFFFFFFC;      // an ordinary vertex drawn white

// True for the three markers and COLOUR_PLAIN.
inline bool IsReservedColour(uint32_t colour) { return colour >= COLOUR_PLAIN; }
inline bool IsMarker(uint32_t colour) { return colour > COLOUR_PLAIN; }

// Writes r, g, b (0.0-1.0) of a colour word; reserved words give white.
void ColourToRgb(uint32_t colour, float& r, float& g, float& b);

// ---------------------------------------------------------------------------
// Normal table

constexpr int kNormalCount = 162;
// The precomputed unit normals a packed normal index (0-161) selects.
extern const float kNormalTable[kNormalCount][3];

// Index of the table entry nearest the normal (nx, ny, nz): the normal is
// normalised first unless its squared length is below 1e-7; ties go to the
// later entry and an exact match ends the search.
uint8_t NearestNormalIndex(float nx, float ny, float nz);

// ---------------------------------------------------------------------------
// Types

// A full-precision vertex: 22 four-byte fields, laid out for the GL arrays
// (position at byte 0, normal at 12, texture coordinate at 24, colour at 76).
struct MeshVertex {
    float x, y, z;
    float nx, ny, nz;
    float u, v;
    float relief[3];      // light vector of the relief effect; zero otherwise
    float auxA[3];        // table direction of auxiliary index A (tangent)
    float auxB[3];        // table direction of auxiliary index B (bitangent)
    uint32_t colour;      // colour word, markers included
    uint32_t colourIndex; // position of `colour` in the object's colour table (0-255)
    float r, g, b;        // converted colour, 0.0-1.0
};
static_assert(sizeof(MeshVertex) == 88, "MeshVertex is 22 four-byte fields");
static_assert(offsetof(MeshVertex, nx) == 12 && offsetof(MeshVertex, u) == 24 &&
                  offsetof(MeshVertex, colour) == 68 && offsetof(MeshVertex, r) == 76,
              "the GL arrays read MeshVertex at fixed offsets");

// A compact vertex: one byte per coordinate, normal, auxiliary direction and
// colour. A coordinate q decodes to (q - bias) * scale on its axis.
struct PackedVertex {
    uint8_t qx, qy, qz;
    uint8_t normal;       // 0-161
    uint8_t auxA, auxB;   // 0-161; packing and the file reader set 0
    uint8_t colourIndex;  // into the object's colour table
};

// One key frame of an object.
struct MeshFrame {
    std::vector<MeshVertex> vertices;   // full-precision input stream; emptied by packing
    std::vector<MeshVertex> triangles;  // expanded list, three records per triangle
    std::vector<PackedVertex> packed;   // compact stream, markers included
    float bias[3] = {0, 0, 0};          // per axis, in quantization steps
    float scale[3] = {0, 0, 0};         // per axis, model units per step
    float radius = 0;                   // bounding sphere
    float centre[3] = {0, 0, 0};
};

// Which corners of an object's triangle lists are one vertex: equal, byte for
// byte, in every frame. Drawing sends each such vertex once and names the
// corners by index, so the GL transforms and lights it once (the scene
// builds it when it draws, for the triangle lists of `version`).
struct MeshCornerIndex {
    uint32_t version = 0xFFFFFFFF;      // the object's trianglesVersion it describes
    std::vector<uint32_t> ofCorner;     // per corner, its vertex; empty when frames differ in size
    std::vector<uint32_t> firstCorner;  // per vertex, the first corner that is it
};

// An animated mesh. Texture coordinates are indexed by a record's position in
// its frame's packed stream, markers included, so every frame has the same
// record layout as frame 0.
class MeshObject {
public:
    virtual ~MeshObject() = default;
    // The triangle builder: expands the packed streams for drawing. The base
    // object has none; MeshObjectX supplies it.
    virtual void BuildTriangles() {}

    std::vector<MeshFrame> frames;
    std::vector<MeshVertex> currentTriangles;  // the list being drawn
    std::vector<float> uList;                  // per packed record of frame 0, as stored
    std::vector<float> vList;                  // as stored; drawing uses -v
    std::vector<uint32_t> colourTable;         // distinct colour words, markers included
    uint32_t normalsValid = 0;
    uint32_t staticBuffer = 0;   // GL buffer of frame 0's triangles (scene); 0 when none
    uint32_t dynamicBuffer = 0;  // GL buffer of the current triangles (scene); 0 when none
    uint32_t hasColours = 0;     // some table entry is neither white nor reserved
    uint32_t paletteTexture = 0; // cartoon palette (shading effects); 0 when none
    float paletteScale = 0;

    // Bumped whenever the frames' triangle lists are rebuilt or emptied.
    uint32_t trianglesVersion = 0;
    MeshCornerIndex cornerIndex;      // drawing's (scene)
    // GL names of the scene's indexed drawing; 0 when none.
    uint32_t staticIndexBuffer = 0;   // corner indices into the static buffer, made with it
    uint32_t staticIndexCount = 0;
    uint32_t staticVertexCount = 0;
    uint32_t indexBuffer = 0;         // corner indices for streamed draws
    uint32_t indexBufferVersion = 0xFFFFFFFF;
};

// One edge of frame 0's triangle list: edge k of triangle t is record 3t + k.
struct MeshEdge {
    uint32_t neighbour = 0xFFFFFFFF;  // triangle across the edge; 0xFFFFFFFF for none
    uint8_t silhouette = 0;
};

// The object kind the engine's slots hold.
class MeshObjectX : public MeshObject {
public:
    // Expands every frame (ExpandTriangles).
    void BuildTriangles() override;

    std::vector<MeshEdge> edges;    // shading effects; built on first use
    std::vector<uint8_t> facing;    // one per triangle, 1 when it faces the effect light
    int32_t firstTexture = -1;      // into the slot's texture list (multi-object slots)
    int32_t secondTexture = -1;
};

constexpr int kObjectSlots = 4096;

// One numbered object slot of the 3D engine.
struct ObjectSlot {
    uint8_t loaded = 0;
    uint8_t multiObject = 0;              // read by the multi-object reader
    std::vector<MeshObjectX> objects;     // a slot loaded from a binary file holds one
    std::vector<uint32_t> textures;       // GL texture names, deleted with the slot
};

// The 4096 slots; the 3D engine object (Zadudedo3D) holds one of these.
using ObjectSlotArray = std::array<ObjectSlot, kObjectSlots>;

// True when slot is 0..4095.
inline bool IsObjectSlot(int32_t slot) { return slot >= 0 && slot < kObjectSlots; }

// ---------------------------------------------------------------------------
// Object operations

// Empties every list of the object and of its frames (freeing their blocks
// when `release` is set), removes the frames and sets normalsValid to 0. GL
// names (buffers, palette) are left for their owner to release.
void ClearObject(MeshObject& object, bool release);

// Replaces the object's contents from the file at `path` (already resolved).
// With `decode` every frame's packed stream is also expanded into its vertex
// list. On failure appends its messages, "# read error" or "# malloc error"
// and the path to the error log, leaves the object empty and returns false.
// Files without the binary magic are read as text object files.
bool LoadObject(MeshObject& object, const char* path, bool decode);
// The same from a file already in memory; `logName` is the name logged.
bool LoadObjectFromBytes(MeshObject& object, const uint8_t* data, size_t size, bool decode,
                         const char* logName);

// Writes the binary object file. False only when the file cannot be created
// or written.
bool SaveObject(const MeshObject& object, const char* path);
// The bytes SaveObject writes.
std::vector<uint8_t> ObjectToBytes(const MeshObject& object);
// The object as a text object file (version 1.1): one polygon per triangle
// of its expanded frames, one vertex per corner, then the binary form as
// comment lines (text_object_stored.h). Expands the triangles.
std::string ObjectToText(MeshObject& object);

// Turns every frame's vertex list into its packed stream (the list is
// emptied), rebuilds the u and v lists from frame 0 and adds new colour words
// to the colour table. Sets normalsValid to 0. The table stays addressable
// by one byte: ordinary colours stop at 252 entries (so the four reserved
// words always fit), after which a new one takes the nearest ordinary entry.
void PackObject(MeshObject& object);

// Expands packed record `index` of `frame` into `out`: decoded position,
// table normal and auxiliary directions, colour word with its index and
// converted colour, texture coordinate (u, -v). Relief fields are zero.
void ExpandPackedVertex(const MeshObject& object, const MeshFrame& frame, size_t index,
                        MeshVertex& out);

// Expands every frame's packed stream into its triangle list following the
// markers (independent triangles, strips with alternating winding, fans),
// sets currentTriangles to a copy of frame 0's list and sets hasColours.
void ExpandTriangles(MeshObject& object);

// The object's triangle builder (its virtual operation).
inline void BuildTriangles(MeshObject& object) { object.BuildTriangles(); }

// Sets every frame's bounding sphere from its triangle list: the centre is
// the mean position, the radius the largest distance from it. An empty list
// gives centre (0, 0, 0) and radius 0.
void ComputeBounds(MeshObject& object);

// Normal and tangent generation over the packed streams of every frame.
// Face normals of the triangles (strips, fans, independent triangles) are
// summed per vertex group: one group per record, or with `smooth` one per
// packed position. Normals are written only when wanted and normalsValid is
// 0 (it is then set); tangent and bitangent go to auxiliary indices A and B
// only when wanted and frame 0's first record has both at 0. An object
// without a packed frame 0 is left alone.
void GenerateNormals(MeshObject& object, bool normals, bool smooth, bool tangents);

// ---------------------------------------------------------------------------
// Slots

// Called with a slot just before its objects and texture list are emptied,
// so the scene can delete the GL textures and buffers it holds; null for none.
void SetObjectSlotReleaseHook(void (*hook)(ObjectSlot& slot));

// Destroys the slot's objects and texture list (through the release hook) and
// marks it not loaded.
void ClearObjectSlot(ObjectSlot& slot);

// The load command: empties the slot, resolves `name` through the primary data
// archive and reads it into one MeshObjectX, then builds its triangles and
// bounds. Returns 1 when the object has a frame with a non-empty packed
// stream (the slot is then loaded); 0 otherwise, with the slot left empty.
// Multi-object scene files (first bytes ";DDW") fill the slot with their
// objects and textures instead; they give 1 unless their counts are bad.
int LoadObjectSlot(ObjectSlot& slot, const char* name);

// Saves the slot's first object. False when the slot has none or the file
// cannot be written.
bool SaveObjectSlot(const ObjectSlot& slot, const char* path);
