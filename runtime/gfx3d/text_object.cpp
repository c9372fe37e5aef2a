// The text object file: a token stream of texture coordinates, coloured
// polygons over vertex indices, and one vertex list per frame. Every polygon
// becomes a fan in every frame; the frames are then packed like any built
// object. A file that ends early reads its missing numbers as 0; corner
// indices are checked against the counts that then hold. The writer gives
// any object back in this form.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "gfx3d/mesh.h"
#include "gfx3d/mesh_internal.h"
#include "gfx3d/text_object_stored.h"
#include "strings/script_numbers.h"

// ---------------------------------------------------------------------------
// Types

namespace {

constexpr float kNewestTextVersion = 1.1f;
// More records than this across all frames are refused: a small file with
// many frames and many polygons would otherwise ask for their product.
constexpr size_t kLargestTextRecords = (size_t)1 << 22;

struct Polygon {
    uint32_t r, g, b;
    std::vector<int32_t> vertices;
    std::vector<int32_t> coordinates;
};

// The intermediate records of the reader.
struct TextObject {
    std::vector<float> coordinates;             // u, v pairs
    std::vector<Polygon> polygons;
    std::vector<std::vector<float>> frames;     // six floats a vertex: position, normal
    // The vertex count each frame declares. Vertices past the end of the
    // file are not stored: all their numbers read as 0.
    std::vector<size_t> frameVertices;
    bool normals = false;                       // version 1.1 or later
};

// Splits the file into tokens; the end of the input reads as no token.
struct Tokens {
    const char* at;
    const char* end;

    static bool Blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

    void SkipBlanksAndComments() {
        while (at < end) {
            if (Blank(*at)) {
                ++at;
            } else if (*at == '#') {
                const void* lineEnd = std::memchr(at, '\n', (size_t)(end - at));
                at = lineEnd ? (const char*)lineEnd + 1 : end;
            } else {
                break;
            }
        }
    }
    bool AtEnd() {
        SkipBlanksAndComments();
        return at >= end;
    }
    std::string_view Next() {
        SkipBlanksAndComments();
        const char* start = at;
        while (at < end && !Blank(*at) && *at != '#') ++at;
        return {start, (size_t)(at - start)};
    }
    // The longest number prefix of the next token; no prefix (or no token) is 0.
    float Number() {
        const std::string_view token = Next();
        size_t n = 0;
        bool negative = false;
        if (n < token.size() && (token[n] == '+' || token[n] == '-')) negative = token[n++] == '-';
        const size_t digitsStart = n;
        size_t digits = 0;
        while (n < token.size() && token[n] >= '0' && token[n] <= '9') ++n, ++digits;
        if (n < token.size() && token[n] == '.') {
            ++n;
            while (n < token.size() && token[n] >= '0' && token[n] <= '9') ++n, ++digits;
        }
        if (digits == 0) return 0.0f;
        // An exponent counts only with at least one digit.
        bool tiny = false;
        if (n < token.size() && (token[n] == 'e' || token[n] == 'E')) {
            size_t e = n + 1;
            if (e < token.size() && (token[e] == '+' || token[e] == '-')) tiny = token[e++] == '-';
            if (e < token.size() && token[e] >= '0' && token[e] <= '9') {
                while (e < token.size() && token[e] >= '0' && token[e] <= '9') ++e;
                n = e;
            }
        }
        double value = 0.0;
        const char* first = token.data() + digitsStart;
        const char* last = token.data() + n;
        // from_chars wants a digit before the point.
        std::string withZero;
        if (*first == '.') {
            withZero.assign("0").append(first, last);
            first = withZero.data();
            last = first + withZero.size();
        }
        const auto parsed = std::from_chars(first, last, value, std::chars_format::general);
        if (parsed.ec == std::errc::result_out_of_range) {
            value = tiny ? 0.0 : HUGE_VAL;
        } else if (parsed.ec != std::errc()) {
            value = 0.0;
        }
        return (float)(negative ? -value : value);
    }
    int32_t Integer() { return TruncateToInt(Number()); }
};

}  // namespace

// ---------------------------------------------------------------------------
// Internal helpers

static bool Parse(TextObject& text, const uint8_t* data, size_t size) {
    Tokens in{(const char*)data, (const char*)data + size};
    if (in.Next() != "DDDA") return false;
    const float version = in.Number();
    if (!(version <= kNewestTextVersion)) return false;
    const bool normals = version >= kNewestTextVersion;
    text.normals = normals;

    const int32_t coordinateCount = in.Integer();
    if (coordinateCount < 0) return false;
    for (int32_t i = 0; i < coordinateCount && !in.AtEnd(); ++i) {
        text.coordinates.push_back(in.Number());
        text.coordinates.push_back(in.Number());
    }

    const int32_t polygonCount = in.Integer();
    if (polygonCount < 0) return false;
    for (int32_t i = 0; i < polygonCount && !in.AtEnd(); ++i) {
        Polygon polygon;
        polygon.r = (uint32_t)in.Integer();
        polygon.g = (uint32_t)in.Integer();
        polygon.b = (uint32_t)in.Integer();
        const int32_t corners = in.Integer();
        if (corners < 0) return false;
        for (int32_t k = 0; k < corners && !in.AtEnd(); ++k) {
            polygon.vertices.push_back(in.Integer());
            polygon.coordinates.push_back(in.Integer());
        }
        text.polygons.push_back(std::move(polygon));
    }

    const int32_t frameCount = in.Integer();
    if (frameCount < 0) return false;
    const int perVertex = normals ? 6 : 3;
    for (int32_t f = 0; f < frameCount && !in.AtEnd(); ++f) {
        const int32_t vertexCount = in.Integer();
        if (vertexCount < 0) return false;
        std::vector<float> frame;
        for (int32_t v = 0; v < vertexCount && !in.AtEnd(); ++v) {
            for (int k = 0; k < perVertex; ++k) frame.push_back(in.Number());
            for (int k = perVertex; k < 6; ++k) frame.push_back(0.0f);
        }
        text.frames.push_back(std::move(frame));
        text.frameVertices.push_back((size_t)vertexCount);
    }
    return true;
}

// Every corner must name a vertex that every frame declares, and a texture
// coordinate when the file has any.
static bool IndicesInRange(const TextObject& text) {
    size_t fewestVertices = SIZE_MAX;
    for (size_t count : text.frameVertices) fewestVertices = std::min(fewestVertices, count);
    const size_t coordinates = text.coordinates.size() / 2;
    size_t records = 0;
    for (const Polygon& polygon : text.polygons) {
        records += 1 + polygon.vertices.size();
        for (size_t k = 0; k < polygon.vertices.size(); ++k) {
            if (polygon.vertices[k] < 0 || (size_t)polygon.vertices[k] >= fewestVertices) return false;
            if (coordinates != 0 && (polygon.coordinates[k] < 0 || (size_t)polygon.coordinates[k] >= coordinates))
                return false;
        }
    }
    return text.frames.empty() || records <= kLargestTextRecords / text.frames.size();
}

static void Convert(const TextObject& text, MeshObject& object) {
    ClearObject(object, true);
    MeshVertex marker{};
    marker.colour = MARKER_FAN;
    marker.r = marker.g = marker.b = 1.0f;
    const bool hasCoordinates = !text.coordinates.empty();
    for (const std::vector<float>& positions : text.frames) {
        MeshFrame frame;
        for (const Polygon& polygon : text.polygons) {
            frame.vertices.push_back(marker);
            for (size_t k = 0; k < polygon.vertices.size(); ++k) {
                static const float kMissing[6] = {0, 0, 0, 0, 0, 0};
                const size_t at = (size_t)polygon.vertices[k] * 6;
                const float* p = at < positions.size() ? &positions[at] : kMissing;
                MeshVertex vertex{};
                vertex.x = p[0];
                vertex.y = p[1];
                vertex.z = p[2];
                vertex.nx = p[3];
                vertex.ny = p[4];
                vertex.nz = p[5];
                if (hasCoordinates) {
                    vertex.u = text.coordinates[(size_t)polygon.coordinates[k] * 2];
                    vertex.v = text.coordinates[(size_t)polygon.coordinates[k] * 2 + 1];
                }
                vertex.colour = (polygon.b & 255) << 16 | (polygon.g & 255) << 8 | (polygon.r & 255);
                vertex.r = (float)(polygon.r & 255) / 255.0f;
                vertex.g = (float)(polygon.g & 255) / 255.0f;
                vertex.b = (float)(polygon.b & 255) / 255.0f;
                frame.vertices.push_back(vertex);
            }
        }
        object.frames.push_back(std::move(frame));
    }
    PackObject(object);
}

// ---------------------------------------------------------------------------
// Shared with the object file reader

bool ReadTextObject(MeshObject& object, const uint8_t* data, size_t size) {
    // Text written from a binary file converts back to the same bytes.
    if (ReadStoredBinaryForm(object, data, size)) return true;
    TextObject text;
    if (!Parse(text, data, size) || !IndicesInRange(text)) return false;
    Convert(text, object);
    // Files before version 1.1 carry no normals: smooth ones are made from
    // the polygons, as for a built object.
    if (text.normals)
        object.normalsValid = 1;
    else
        GenerateNormals(object, true, true, false);
    return true;
}

// ---------------------------------------------------------------------------
// Writer

std::string ObjectToText(MeshObject& object) {
    ExpandTriangles(object);
    std::string out = "DDDA 1.1\n# one polygon per triangle; one vertex per corner in every frame\n";
    const std::vector<MeshVertex> none;
    const std::vector<MeshVertex>& first = object.frames.empty() ? none : object.frames[0].triangles;
    char line[160];
    std::snprintf(line, sizeof line, "%zu\n", first.size());
    out += line;
    for (const MeshVertex& v : first) {
        // The triangle list holds the drawn v, the stored one negated.
        std::snprintf(line, sizeof line, "%.9g %.9g\n", v.u, -v.v);
        out += line;
    }
    std::snprintf(line, sizeof line, "%zu\n", first.size() / 3);
    out += line;
    for (size_t t = 0; t + 2 < first.size(); t += 3) {
        const uint32_t c = IsReservedColour(first[t].colour) ? 0x00FFFFFF : first[t].colour;
        std::snprintf(line, sizeof line, "%u %u %u 3  %zu %zu  %zu %zu  %zu %zu\n", c & 255, (c >> 8) & 255,
                      (c >> 16) & 255, t, t, t + 1, t + 1, t + 2, t + 2);
        out += line;
    }
    std::snprintf(line, sizeof line, "%zu\n", object.frames.size());
    out += line;
    for (const MeshFrame& frame : object.frames) {
        std::snprintf(line, sizeof line, "%zu\n", frame.triangles.size());
        out += line;
        for (const MeshVertex& v : frame.triangles) {
            std::snprintf(line, sizeof line, "%.9g %.9g %.9g  %.9g %.9g %.9g\n", v.x, v.y, v.z, v.nx, v.ny, v.nz);
            out += line;
        }
    }
    return out + StoredBinaryForm(object);
}
