// Where an object draw takes its vertices from. Corners that are the same
// vertex in every frame are sent once, in a compact record of only what the
// fixed-function arrays read, and the triangles name them by index: a strip
// mesh uses each vertex in up to six corners, and the GL then transforms and
// lights it once instead of six times. The values the GL reads are the very
// floats of the triangle lists, in the same triangles and corner order, so
// the pictures are those of drawing the lists themselves.
#include <GL/gl.h>

#include <cstddef>
#include <cstring>

#include "gfx3d/gfx3d_internal.h"

// ---------------------------------------------------------------------------
// Internal helpers

namespace {

constexpr unsigned kArrayBuffer = 0x8892;         // GL_ARRAY_BUFFER_ARB
constexpr unsigned kElementArrayBuffer = 0x8893;  // GL_ELEMENT_ARRAY_BUFFER_ARB
constexpr unsigned kStaticDraw = 0x88E4;          // GL_STATIC_DRAW_ARB
constexpr unsigned kStreamDraw = 0x88E0;          // GL_STREAM_DRAW_ARB

// What the arrays read of a vertex, in the order of MeshVertex.
struct DrawVertex {
    float x, y, z;
    float nx, ny, nz;
    float u, v;
    float r, g, b;
};

bool HaveBuffers() { return glExt.glGenBuffersARB && glExt.glBindBufferARB && glExt.glBufferDataARB; }

uint64_t HashCorner(const MeshObject& object, size_t corner) {
    uint64_t h = 1469598103934665603ull;
    for (const MeshFrame& frame : object.frames) {
        uint32_t words[sizeof(MeshVertex) / 4];
        std::memcpy(words, &frame.triangles[corner], sizeof words);
        for (uint32_t w : words) h = (h ^ w) * 1099511628211ull;
    }
    return h ^ (h >> 29);
}

bool SameCorner(const MeshObject& object, size_t a, size_t b) {
    for (const MeshFrame& frame : object.frames)
        if (std::memcmp(&frame.triangles[a], &frame.triangles[b], sizeof(MeshVertex)) != 0) return false;
    return true;
}

void BuildCornerIndex(MeshObject& object) {
    MeshCornerIndex& index = object.cornerIndex;
    index.version = object.trianglesVersion;
    index.ofCorner.clear();
    index.firstCorner.clear();
    if (object.frames.empty()) return;
    const size_t corners = object.frames[0].triangles.size();
    if (corners == 0 || corners >= 0x7FFFFFFF) return;
    // Frames of other sizes are drawn from their lists as they are.
    for (const MeshFrame& frame : object.frames)
        if (frame.triangles.size() != corners) return;
    size_t tableSize = 16;
    while (tableSize < 2 * corners) tableSize *= 2;
    std::vector<uint32_t> table(tableSize, 0);  // vertex + 1, 0 for empty
    index.ofCorner.resize(corners);
    for (size_t c = 0; c < corners; ++c) {
        size_t slot = (size_t)HashCorner(object, c) & (tableSize - 1);
        for (;;) {
            const uint32_t entry = table[slot];
            if (entry == 0) {
                table[slot] = (uint32_t)index.firstCorner.size() + 1;
                index.ofCorner[c] = (uint32_t)index.firstCorner.size();
                index.firstCorner.push_back((uint32_t)c);
                break;
            }
            if (SameCorner(object, c, index.firstCorner[entry - 1])) {
                index.ofCorner[c] = entry - 1;
                break;
            }
            slot = (slot + 1) & (tableSize - 1);
        }
    }
}

// The corner index of the object's current triangle lists.
const MeshCornerIndex& CornerIndexOf(MeshObject& object) {
    if (object.cornerIndex.version != object.trianglesVersion) BuildCornerIndex(object);
    return object.cornerIndex;
}

// One compact record per vertex, taken from the first corner that is it.
const std::vector<DrawVertex>& Gather(const MeshCornerIndex& index, const std::vector<MeshVertex>& list) {
    static std::vector<DrawVertex> gathered;
    gathered.resize(index.firstCorner.size());
    for (size_t k = 0; k < gathered.size(); ++k) {
        const MeshVertex& v = list[index.firstCorner[k]];
        gathered[k] = {v.x, v.y, v.z, v.nx, v.ny, v.nz, v.u, v.v, v.r, v.g, v.b};
    }
    return gathered;
}

bool ShortIndices(size_t vertices) { return vertices <= 0x10000; }

// Uploads the corner indices into the bound element buffer.
void UploadIndices(const MeshCornerIndex& index, unsigned usage) {
    if (ShortIndices(index.firstCorner.size())) {
        static std::vector<uint16_t> narrow;
        narrow.assign(index.ofCorner.begin(), index.ofCorner.end());
        glExt.glBufferDataARB(kElementArrayBuffer, (std::ptrdiff_t)(narrow.size() * 2), narrow.data(), usage);
    } else {
        glExt.glBufferDataARB(kElementArrayBuffer, (std::ptrdiff_t)(index.ofCorner.size() * 4),
                              index.ofCorner.data(), usage);
    }
}

// The fields of a list of `Vertex` at `base` (null: the bound buffer).
template <typename Vertex>
DrawSource Layout(const char* base, size_t corners) {
    DrawSource source;
    source.base = base;
    source.stride = sizeof(Vertex);
    source.position = offsetof(Vertex, x);
    source.normal = offsetof(Vertex, nx);
    source.texture = offsetof(Vertex, u);
    source.colour = offsetof(Vertex, r);
    source.count = (GLsizei)corners;
    source.indexType = 0;
    source.lastVertex = 0;
    return source;
}

DrawSource Indexed(size_t corners, size_t vertices) {
    DrawSource source = Layout<DrawVertex>(nullptr, corners);
    source.indexType = ShortIndices(vertices) ? GL_UNSIGNED_SHORT : GL_UNSIGNED_INT;
    source.lastVertex = (unsigned)(vertices - 1);
    return source;
}

// The list itself, from memory or (base null) from the bound buffer.
DrawSource Plain(const char* base, size_t corners) { return Layout<MeshVertex>(base, corners); }

}  // namespace

// ---------------------------------------------------------------------------
// Public

DrawSource BindDrawSource(MeshObject& object, const std::vector<MeshVertex>& list, bool fromStatic) {
    if (!HaveBuffers()) return Plain(reinterpret_cast<const char*>(list.data()), list.size());
    const MeshCornerIndex& index = CornerIndexOf(object);
    const bool indexable = !index.ofCorner.empty() && index.ofCorner.size() == list.size();
    if (fromStatic) {
        // Frame 0 goes up once, with its indices; later draws reuse both.
        if (!object.staticBuffer) {
            glExt.glGenBuffersARB(1, &object.staticBuffer);
            glExt.glBindBufferARB(kArrayBuffer, object.staticBuffer);
            if (indexable) {
                const std::vector<DrawVertex>& vertices = Gather(index, list);
                glExt.glBufferDataARB(kArrayBuffer, (std::ptrdiff_t)(vertices.size() * sizeof(DrawVertex)),
                                      vertices.data(), kStaticDraw);
                glExt.glGenBuffersARB(1, &object.staticIndexBuffer);
                glExt.glBindBufferARB(kElementArrayBuffer, object.staticIndexBuffer);
                UploadIndices(index, kStaticDraw);
                object.staticIndexCount = (uint32_t)index.ofCorner.size();
                object.staticVertexCount = (uint32_t)index.firstCorner.size();
            } else {
                glExt.glBufferDataARB(kArrayBuffer, (std::ptrdiff_t)(list.size() * sizeof(MeshVertex)),
                                      list.data(), kStaticDraw);
            }
        } else {
            glExt.glBindBufferARB(kArrayBuffer, object.staticBuffer);
            if (object.staticIndexBuffer) glExt.glBindBufferARB(kElementArrayBuffer, object.staticIndexBuffer);
        }
        if (object.staticIndexBuffer) return Indexed(object.staticIndexCount, object.staticVertexCount);
        return Plain(nullptr, list.size());
    }
    if (!object.dynamicBuffer) glExt.glGenBuffersARB(1, &object.dynamicBuffer);
    glExt.glBindBufferARB(kArrayBuffer, object.dynamicBuffer);
    // A fresh store each draw: it grows with the data and never stalls on the
    // previous draw's contents.
    if (!indexable) {
        glExt.glBufferDataARB(kArrayBuffer, (std::ptrdiff_t)(list.size() * sizeof(MeshVertex)), list.data(),
                              kStreamDraw);
        return Plain(nullptr, list.size());
    }
    const std::vector<DrawVertex>& vertices = Gather(index, list);
    glExt.glBufferDataARB(kArrayBuffer, (std::ptrdiff_t)(vertices.size() * sizeof(DrawVertex)), vertices.data(),
                          kStreamDraw);
    // The indices change only with the triangle lists.
    if (!object.indexBuffer) glExt.glGenBuffersARB(1, &object.indexBuffer);
    glExt.glBindBufferARB(kElementArrayBuffer, object.indexBuffer);
    if (object.indexBufferVersion != index.version) {
        UploadIndices(index, kStaticDraw);
        object.indexBufferVersion = index.version;
    }
    return Indexed(index.ofCorner.size(), index.firstCorner.size());
}

const std::vector<uint32_t>* SharedCornersOf(MeshObject& object, size_t corners) {
    if (!HaveBuffers()) return nullptr;
    const MeshCornerIndex& index = CornerIndexOf(object);
    if (index.ofCorner.empty() || index.ofCorner.size() != corners) return nullptr;
    return &index.firstCorner;
}

void DrawFromSource(const DrawSource& source) {
    // The range spares the GL a scan of the indices for their bounds.
    if (source.indexType)
        glDrawRangeElements(GL_TRIANGLES, 0, source.lastVertex, source.count, source.indexType, nullptr);
    else
        glDrawArrays(GL_TRIANGLES, 0, source.count);
}

void UnbindDrawSource(const DrawSource& source) {
    if (!HaveBuffers()) return;
    glExt.glBindBufferARB(kArrayBuffer, 0);
    // The 2D side draws with indices from memory.
    if (source.indexType) glExt.glBindBufferARB(kElementArrayBuffer, 0);
}

void ReleaseObjectBuffers(MeshObject& object) {
    if (glExt.glDeleteBuffersARB) {
        for (uint32_t* name : {&object.staticBuffer, &object.dynamicBuffer, &object.staticIndexBuffer,
                               &object.indexBuffer})
            if (*name) glExt.glDeleteBuffersARB(1, name);
    }
    object.staticBuffer = object.dynamicBuffer = object.staticIndexBuffer = object.indexBuffer = 0;
    object.indexBufferVersion = 0xFFFFFFFF;
}
