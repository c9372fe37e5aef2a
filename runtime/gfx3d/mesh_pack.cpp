// Packing: full-precision vertex lists become quantized streams with one byte
// per coordinate, a normal-table index and a colour-table index.
#include <cmath>

#include "gfx3d/mesh.h"

// ---------------------------------------------------------------------------
// Internal helpers

constexpr size_t kColourTableLimit = 256;  // a packed colour index is one byte
// Ordinary colours stop here, so the four reserved words always find room.
constexpr size_t kOrdinaryColourLimit = kColourTableLimit - 4;

static int ColourDistance(uint32_t a, uint32_t b) {
    int dr = (int)(a & 0xFF) - (int)(b & 0xFF);
    int dg = (int)((a >> 8) & 0xFF) - (int)((b >> 8) & 0xFF);
    int db = (int)((a >> 16) & 0xFF) - (int)((b >> 16) & 0xFF);
    return dr * dr + dg * dg + db * db;
}

// Position of `colour` in the table, appending it when absent and there is
// room. A full table gives an ordinary colour its nearest ordinary entry; a
// reserved word finds no room only in a table that came full from elsewhere,
// and then takes entry 0.
static uint8_t ColourIndex(std::vector<uint32_t>& table, uint32_t colour) {
    for (size_t i = 0; i < table.size(); ++i)
        if (table[i] == colour) return (uint8_t)i;
    size_t limit = IsReservedColour(colour) ? kColourTableLimit : kOrdinaryColourLimit;
    if (table.size() < limit) {
        table.push_back(colour);
        return (uint8_t)(table.size() - 1);
    }
    size_t best = 0;
    int bestDistance = 1 << 30;
    if (!IsReservedColour(colour)) {
        size_t end = table.size() < kColourTableLimit ? table.size() : kColourTableLimit;
        for (size_t i = 0; i < end; ++i) {
            if (IsReservedColour(table[i])) continue;
            int d = ColourDistance(table[i], colour);
            if (d < bestDistance) {
                bestDistance = d;
                best = i;
            }
        }
    }
    return (uint8_t)best;
}

// A thousandth of a step absorbs the rounding of the stored scale and bias,
// which would otherwise put a frame's maximum at 254.
constexpr double kQuantizeSlack = 1e-3;

// Quantized coordinate: truncated toward zero, 255 for anything at or above
// 255 or not a number. Below 0 only for a plain vertex outside the bounds.
static uint8_t Quantize(float position, float scale, float bias) {
    double q = (double)position / scale + bias + kQuantizeSlack;
    if (!(q < 255.0)) return 255;
    if (q < 0.0) return 0;
    return (uint8_t)q;
}

static void PackFrame(MeshObject& object, MeshFrame& frame, bool firstFrame) {
    float low[3] = {0, 0, 0};
    float high[3] = {0, 0, 0};
    bool any = false;
    for (const MeshVertex& vertex : frame.vertices) {
        if (IsReservedColour(vertex.colour)) continue;
        const float p[3] = {vertex.x, vertex.y, vertex.z};
        for (int a = 0; a < 3; ++a) {
            if (!any || p[a] < low[a]) low[a] = p[a];
            if (!any || p[a] > high[a]) high[a] = p[a];
        }
        any = true;
    }
    for (int a = 0; a < 3; ++a) {
        float scale = (float)((high[a] - low[a]) / 255.0);
        if (scale == 0.0f) scale = 1.0f;
        frame.scale[a] = scale;
        frame.bias[a] = -low[a] / scale;
    }

    frame.packed.clear();
    frame.packed.reserve(frame.vertices.size());
    for (const MeshVertex& vertex : frame.vertices) {
        PackedVertex packed{};
        packed.colourIndex = ColourIndex(object.colourTable, vertex.colour);
        // Markers carry no position. A plain vertex is left out of the bounds
        // but still quantized (clamped to the box), so it draws near where
        // it was put.
        if (!IsMarker(vertex.colour)) {
            packed.qx = Quantize(vertex.x, frame.scale[0], frame.bias[0]);
            packed.qy = Quantize(vertex.y, frame.scale[1], frame.bias[1]);
            packed.qz = Quantize(vertex.z, frame.scale[2], frame.bias[2]);
            packed.normal = NearestNormalIndex(vertex.nx, vertex.ny, vertex.nz);
        }
        if (firstFrame) {
            object.uList.push_back(vertex.u);
            object.vList.push_back(vertex.v);
        }
        frame.packed.push_back(packed);
    }
    frame.vertices.clear();
}

// ---------------------------------------------------------------------------
// Public

uint8_t NearestNormalIndex(float nx, float ny, float nz) {
    float lengthSquared = nx * nx + ny * ny + nz * nz;
    if (lengthSquared >= 1e-7f) {
        float length = std::sqrt(lengthSquared);
        nx /= length;
        ny /= length;
        nz /= length;
    }
    float best = 10000.0f;
    int chosen = 0;
    for (int i = 0; i < kNormalCount; ++i) {
        const float* t = kNormalTable[i];
        float d = std::fabs(nx * (nx - t[0]) + ny * (ny - t[1]) + nz * (nz - t[2]));
        if (d <= best) {
            best = d;
            chosen = i;
            if (d == 0.0f) break;
        }
    }
    return (uint8_t)chosen;
}

void PackObject(MeshObject& object) {
    object.uList.clear();
    object.vList.clear();
    for (size_t f = 0; f < object.frames.size(); ++f) PackFrame(object, object.frames[f], f == 0);
    object.normalsValid = 0;
}
