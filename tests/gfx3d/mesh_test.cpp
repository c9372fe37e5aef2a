// The 3D object model without a GL context: the binary object file (version
// test, byte-exact saving, a table of malformed files), packing, the normal
// table search, triangle expansion, has-colours, bounds and the slot loader.
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "core/engine.h"
#include "files/archive.h"
#include "gfx3d/mesh.h"
#include "support/headless.h"
#include "torus_model.h"

namespace {

// ---------------------------------------------------------------------------
// A file builder of its own, so the tests do not trust the writer under test.

struct FrameLayout {
    float bias[3] = {0, 0, 0};
    float scale[3] = {1, 1, 1};
    std::vector<std::array<uint8_t, 5>> records;  // qx, qy, qz, normal, colour index
    int64_t count = -1;                           // written instead of records.size() when >= 0
};

struct FileLayout {
    uint32_t magic = 0x00C6B317;
    double version = 1.02;
    std::vector<uint32_t> colours;
    std::vector<std::array<float, 2>> coordinates;
    std::vector<FrameLayout> frames;
    int64_t frameCount = -1, colourCount = -1, coordinateCount = -1;  // overrides when >= 0
};

void Put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back((uint8_t)(v >> (8 * i)));
}
void PutFloat(std::vector<uint8_t>& out, float f) { Put32(out, std::bit_cast<uint32_t>(f)); }
uint32_t Count(int64_t over, size_t real) { return (uint32_t)(over >= 0 ? over : (int64_t)real); }

std::vector<uint8_t> Build(const FileLayout& layout) {
    std::vector<uint8_t> out;
    Put32(out, layout.magic);
    uint64_t version = std::bit_cast<uint64_t>(layout.version);
    Put32(out, (uint32_t)version);
    Put32(out, (uint32_t)(version >> 32));
    Put32(out, Count(layout.frameCount, layout.frames.size()));
    Put32(out, Count(layout.colourCount, layout.colours.size()));
    Put32(out, Count(layout.coordinateCount, layout.coordinates.size()));
    for (uint32_t c : layout.colours) Put32(out, c);
    for (const auto& uv : layout.coordinates) {
        PutFloat(out, uv[0]);
        PutFloat(out, uv[1]);
    }
    for (const FrameLayout& frame : layout.frames) {
        Put32(out, Count(frame.count, frame.records.size()));
        for (float b : frame.bias) PutFloat(out, b);
        for (float s : frame.scale) PutFloat(out, s);
        for (const auto& r : frame.records) out.insert(out.end(), r.begin(), r.end());
    }
    return out;
}

// Two frames of one strip (marker and four vertices) in two colours.
FileLayout TwoFrameStrip() {
    FileLayout layout;
    layout.colours = {MARKER_STRIP, 0x00FFFFFF, 0x000080FF};
    layout.coordinates = {{0, 0}, {0, 0}, {1, 0}, {0, 0.5f}, {1, 0.5f}};
    FrameLayout first;
    first.bias[0] = 10;
    first.scale[0] = 0.5f;
    first.records = {{0, 0, 0, 0, 0}, {10, 0, 0, 5, 1}, {20, 0, 0, 5, 1}, {10, 255, 0, 5, 2}, {20, 255, 0, 5, 2}};
    FrameLayout second = first;
    second.records[4] = {30, 255, 7, 161, 2};
    layout.frames = {first, second};
    return layout;
}

std::vector<uint8_t> VersionBytes(double v) {
    std::vector<uint8_t> out(8);
    uint64_t bits = std::bit_cast<uint64_t>(v);
    for (int i = 0; i < 8; ++i) out[i] = (uint8_t)(bits >> (8 * i));
    return out;
}

MeshVertex Vertex(float x, float y, float z, uint32_t colour = 0x00FFFFFF) {
    MeshVertex v{};
    v.x = x;
    v.y = y;
    v.z = z;
    v.nz = 1;
    v.colour = colour;
    return v;
}

MeshVertex Marker(uint32_t kind) {
    MeshVertex v{};
    v.colour = kind;
    return v;
}

// One frame with its packed stream made from these x positions (y = z = 0)
// and colour words, so expansion can be read back by x.
MeshObjectX Stream(const std::vector<std::pair<uint32_t, uint8_t>>& records) {
    MeshObjectX object;
    object.colourTable = {MARKER_TRIANGLES, MARKER_STRIP, MARKER_FAN, 0x00FFFFFF};
    MeshFrame frame;
    frame.scale[0] = frame.scale[1] = frame.scale[2] = 1;
    for (const auto& [colour, x] : records) {
        PackedVertex p{};
        p.qx = x;
        for (uint8_t i = 0; i < object.colourTable.size(); ++i)
            if (object.colourTable[i] == colour) p.colourIndex = i;
        frame.packed.push_back(p);
    }
    object.frames.push_back(frame);
    return object;
}

std::vector<int> TriangleXs(const MeshFrame& frame) {
    std::vector<int> xs;
    for (const MeshVertex& v : frame.triangles) xs.push_back((int)v.x);
    return xs;
}

class MeshTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = UseScratchTempDirectory();
        ErrorLogDelete();
    }
    std::string Log() { return ReadWholeFile(ErrorLogPath()); }
    std::string WriteFile(const std::string& name, const std::vector<uint8_t>& bytes) {
        std::string path = dir + name;
        WriteWholeFile(path, std::string(bytes.begin(), bytes.end()));
        return path;
    }
    std::string dir;
};

bool IsEmpty(const MeshObject& o) {
    return o.frames.empty() && o.colourTable.empty() && o.uList.empty() && o.vList.empty() &&
           o.currentTriangles.empty() && o.normalsValid == 0;
}

}  // namespace

// ---------------------------------------------------------------------------
// The binary file

TEST_F(MeshTest, OnlyTheExactVersionIsRead) {
    EXPECT_EQ(VersionBytes(1.02), (std::vector<uint8_t>{0x52, 0xB8, 0x1E, 0x85, 0xEB, 0x51, 0xF0, 0x3F}));
    for (double version : {1.0200001, 1.01, std::nextafter(1.02, 2.0), std::nextafter(1.02, 0.0), 0.0}) {
        ErrorLogDelete();
        FileLayout layout = TwoFrameStrip();
        layout.version = version;
        std::vector<uint8_t> bytes = Build(layout);
        MeshObjectX object;
        EXPECT_FALSE(LoadObjectFromBytes(object, bytes.data(), bytes.size(), false, "old.ddd")) << version;
        EXPECT_TRUE(IsEmpty(object));
        EXPECT_EQ(Log(), "Wrong .ddd version.\r\n# read error\r\nold.ddd\r\n") << version;
    }
    ErrorLogDelete();
    std::vector<uint8_t> bytes = Build(TwoFrameStrip());
    MeshObjectX object;
    ASSERT_TRUE(LoadObjectFromBytes(object, bytes.data(), bytes.size(), false, "good.ddd"));
    EXPECT_EQ(object.frames.size(), 2u);
    EXPECT_EQ(object.normalsValid, 1u);
    EXPECT_EQ(Log(), "");
}

TEST_F(MeshTest, ReadingKeepsTheFileAsStoredAndSavingWritesItBack) {
    std::vector<uint8_t> bytes = Build(TwoFrameStrip());
    std::string path = WriteFile("strip.ddd", bytes);
    MeshObjectX object;
    ASSERT_TRUE(LoadObject(object, path.c_str(), false));
    EXPECT_EQ(object.vList, (std::vector<float>{0, 0, 0, 0.5f, 0.5f}));  // not negated
    EXPECT_EQ(object.frames[1].packed[4].normal, 161);
    EXPECT_EQ(object.frames[0].packed[0].auxA, 0);
    EXPECT_TRUE(object.frames[0].vertices.empty());

    std::string saved = dir + "saved.ddd";
    ASSERT_TRUE(SaveObject(object, saved.c_str()));
    EXPECT_EQ(ReadWholeFile(saved), std::string(bytes.begin(), bytes.end()));
    // Saving replaces a longer file of the same name.
    WriteWholeFile(saved, std::string(bytes.size() * 2, 'x'));
    ASSERT_TRUE(SaveObject(object, saved.c_str()));
    EXPECT_EQ(ReadWholeFile(saved).size(), bytes.size());
    EXPECT_FALSE(SaveObject(object, (dir + "no/such/dir.ddd").c_str()));
}

TEST_F(MeshTest, DecodingExpandsEveryRecordIntoTheVertexList) {
    std::vector<uint8_t> bytes = Build(TwoFrameStrip());
    MeshObjectX object;
    ASSERT_TRUE(LoadObjectFromBytes(object, bytes.data(), bytes.size(), true, "strip.ddd"));
    const std::vector<MeshVertex>& v = object.frames[0].vertices;
    ASSERT_EQ(v.size(), 5u);
    EXPECT_EQ(v[0].colour, MARKER_STRIP);
    EXPECT_FLOAT_EQ(v[1].x, (10 - 10) * 0.5f);
    EXPECT_FLOAT_EQ(v[2].x, (20 - 10) * 0.5f);
    EXPECT_FLOAT_EQ(v[3].y, 255.0f);
    EXPECT_FLOAT_EQ(v[3].nz, 1.0f);  // entry 5
    EXPECT_FLOAT_EQ(v[3].auxA[0], kNormalTable[0][0]);
    EXPECT_EQ(v[3].colour, 0x000080FFu);
    EXPECT_EQ(v[3].colourIndex, 2u);
    EXPECT_FLOAT_EQ(v[3].r, 1.0f);
    EXPECT_FLOAT_EQ(v[3].g, 128 / 255.0f);
    EXPECT_FLOAT_EQ(v[3].b, 0.0f);
    EXPECT_FLOAT_EQ(v[4].u, 1.0f);
    EXPECT_FLOAT_EQ(v[4].v, -0.5f);
    EXPECT_FLOAT_EQ(object.frames[1].vertices[4].z, 7.0f);
}

TEST_F(MeshTest, MalformedFilesAreRefusedAndLeaveTheObjectEmpty) {
    struct Case {
        const char* what;
        std::function<void(FileLayout&)> change;
    } cases[] = {
        {"negative frame count", [](FileLayout& s) { s.frameCount = -1 & 0xFFFFFFFF; }},
        {"frame count beyond the file", [](FileLayout& s) { s.frameCount = 3; }},
        {"huge frame count", [](FileLayout& s) { s.frameCount = 0x7FFFFFFF; }},
        {"negative colour count", [](FileLayout& s) { s.colourCount = 0x80000000; }},
        {"colour count beyond the file", [](FileLayout& s) { s.colourCount = 0x7FFFFFFF; }},
        {"coordinate count beyond the file", [](FileLayout& s) { s.coordinateCount = 0x10000000; }},
        {"negative coordinate count", [](FileLayout& s) { s.coordinateCount = 0xFFFFFFF0; }},
        {"record count beyond the file", [](FileLayout& s) { s.frames[1].count = 6; }},
        {"record count that overflows", [](FileLayout& s) { s.frames[0].count = 0x7FFFFFFF; }},
        {"negative record count", [](FileLayout& s) { s.frames[0].count = 0xFFFFFFFB; }},
        {"colour index beyond the table", [](FileLayout& s) { s.frames[0].records[2][4] = 3; }},
        {"colour index beyond a short table", [](FileLayout& s) { s.colours.resize(1); }},
        {"normal index 162", [](FileLayout& s) { s.frames[1].records[1][3] = 162; }},
        {"normal index 255", [](FileLayout& s) { s.frames[0].records[1][3] = 255; }},
        {"frames of different sizes",
         [](FileLayout& s) {
             s.frames[1].records.pop_back();
         }},
        {"frames with markers in different places",
         [](FileLayout& s) {
             s.frames[1].records[0][4] = 1;
             s.frames[1].records[1][4] = 0;
         }},
        {"not the binary magic", [](FileLayout& s) { s.magic = 0x41444444; }},
    };
    for (const Case& c : cases) {
        ErrorLogDelete();
        FileLayout layout = TwoFrameStrip();
        c.change(layout);
        std::vector<uint8_t> bytes = Build(layout);
        MeshObjectX object;
        EXPECT_FALSE(LoadObjectFromBytes(object, bytes.data(), bytes.size(), true, "bad.ddd")) << c.what;
        EXPECT_TRUE(IsEmpty(object)) << c.what;
        EXPECT_EQ(Log(), "# read error\r\nbad.ddd\r\n") << c.what;
    }
}

TEST_F(MeshTest, EveryTruncationIsRefusedOrEmpty) {
    std::vector<uint8_t> bytes = Build(TwoFrameStrip());
    for (size_t size = 0; size < bytes.size(); ++size) {
        // A copy of exactly `size` bytes, so the sanitizer sees any read past it.
        std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + size);
        MeshObjectX object;
        bool loaded = LoadObjectFromBytes(object, cut.data(), cut.size(), true, "cut.ddd");
        // Only a cut inside the counts reads them as zero: a file with nothing.
        if (loaded) {
            EXPECT_TRUE(size >= 12 && size < 24) << size;
            EXPECT_TRUE(object.frames.empty()) << size;
        } else {
            EXPECT_TRUE(IsEmpty(object)) << size;
        }
        std::string path = WriteFile("cut.ddd", cut);
        ObjectSlot slot;
        EXPECT_EQ(LoadObjectSlot(slot, path.c_str()), 0) << size;
        EXPECT_EQ(slot.loaded, 0) << size;
        EXPECT_TRUE(slot.objects.empty()) << size;
    }
    ErrorLogDelete();
    MeshObjectX object;
    EXPECT_FALSE(LoadObject(object, (dir + "missing.ddd").c_str(), false));
    EXPECT_EQ(Log(), "# read error\r\n" + dir + "missing.ddd\r\n");
}

// ---------------------------------------------------------------------------
// Packing and the normal table

TEST_F(MeshTest, PackingQuantizesEachAxisBetweenItsExtremes) {
    MeshObjectX object;
    object.colourTable = {0x00123456};
    MeshFrame frame;
    // x constant, y from -3 to 7, z from 0.1 to 0.35; markers and plain
    // vertices do not widen the bounds.
    MeshVertex far = Vertex(100, 100, 100, MARKER_STRIP);
    frame.vertices = {far, Vertex(4, -3, 0.1f), Vertex(4, 7, 0.35f), Vertex(4, 2, 0.2f),
                      Vertex(50, 50, 50, COLOUR_PLAIN)};
    frame.vertices[2].u = 0.25f;
    frame.vertices[2].v = 0.75f;
    object.frames.push_back(frame);
    object.normalsValid = 1;
    PackObject(object);

    const MeshFrame& packed = object.frames[0];
    EXPECT_TRUE(packed.vertices.empty());
    ASSERT_EQ(packed.packed.size(), 5u);
    EXPECT_EQ(packed.scale[0], 1.0f);
    EXPECT_EQ(packed.bias[0], -4.0f);
    EXPECT_FLOAT_EQ(packed.scale[1], 10 / 255.0f);
    EXPECT_EQ(packed.packed[1].qx, 0);
    EXPECT_EQ(packed.packed[1].qy, 0);
    EXPECT_EQ(packed.packed[2].qy, 255);
    EXPECT_EQ(packed.packed[1].qz, 0);
    EXPECT_EQ(packed.packed[2].qz, 255);
    EXPECT_EQ(packed.packed[3].qy, 127);  // 5 of 10 steps: 127.5 truncated
    // The plain vertex outside the box is held at its edge.
    EXPECT_EQ(packed.packed[4].qy, 255);
    EXPECT_EQ(object.colourTable, (std::vector<uint32_t>{0x00123456, MARKER_STRIP, 0x00FFFFFF, COLOUR_PLAIN}));
    EXPECT_EQ(packed.packed[0].colourIndex, 1);
    EXPECT_EQ(packed.packed[2].colourIndex, 2);
    EXPECT_EQ(object.uList, (std::vector<float>{0, 0, 0.25f, 0, 0}));
    EXPECT_EQ(object.vList[2], 0.75f);
    EXPECT_EQ(object.normalsValid, 0u);
}

TEST_F(MeshTest, TheMaximumOfAnyRangePacksTo255) {
    const float ranges[][2] = {{0, 1}, {-1, 1}, {0.1f, 0.7f}, {-123.4f, 56.7f}, {3, 4.5f}, {-1e5f, 1e5f}, {1000, 1001}};
    for (const auto& r : ranges) {
        MeshObjectX object;
        MeshFrame frame;
        frame.vertices = {Vertex(r[0], r[0], r[0]), Vertex(r[1], r[1], r[1])};
        object.frames.push_back(frame);
        PackObject(object);
        EXPECT_EQ(object.frames[0].packed[0].qx, 0) << r[0];
        EXPECT_EQ(object.frames[0].packed[1].qx, 255) << r[1];
    }
}

TEST_F(MeshTest, NormalsPackToTheNearestTableEntry) {
    EXPECT_EQ(kNormalTable[5][2], 1.0f);
    EXPECT_EQ(NearestNormalIndex(0, 0, 0), 0);
    EXPECT_EQ(NearestNormalIndex(0, 0, 2), 5);
    EXPECT_EQ(NearestNormalIndex(0, 0, 1), 5);
    for (int i = 0; i < kNormalCount; ++i) {
        const float* n = kNormalTable[i];
        EXPECT_EQ(NearestNormalIndex(n[0] * 3, n[1] * 3, n[2] * 3), i) << i;
        EXPECT_NEAR(n[0] * n[0] + n[1] * n[1] + n[2] * n[2], 1.0, 1e-5) << i;
    }
    EXPECT_FLOAT_EQ(kNormalTable[0][0], -0.525731f);
    EXPECT_FLOAT_EQ(kNormalTable[161][2], -0.425325f);
}

TEST_F(MeshTest, PackingKeepsTableEntriesAndTakesCoordinatesFromFrameZero) {
    MeshObjectX object;
    object.colourTable = {0x00000001, 0x00000002};
    for (int f = 0; f < 2; ++f) {
        MeshFrame frame;
        frame.vertices = {Vertex(0, 0, 0, 0x00000002), Vertex(1, 1, 1, 0x00000003)};
        frame.vertices[1].u = (float)(f + 1);
        object.frames.push_back(frame);
    }
    PackObject(object);
    EXPECT_EQ(object.colourTable, (std::vector<uint32_t>{1, 2, 3}));
    EXPECT_EQ(object.uList, (std::vector<float>{0, 1}));
    EXPECT_EQ(object.frames[1].packed[0].colourIndex, 1);
    EXPECT_EQ(object.frames[1].packed[1].colourIndex, 2);
}

TEST_F(MeshTest, AFullColourTableStillAddressesMarkers) {
    MeshObjectX object;
    MeshFrame frame;
    for (uint32_t c = 0; c < 300; ++c) frame.vertices.push_back(Vertex((float)c, 0, 0, c));
    frame.vertices.push_back(Marker(MARKER_FAN));
    frame.vertices.push_back(Vertex(0, 0, 0, COLOUR_PLAIN));
    object.frames.push_back(frame);
    PackObject(object);
    ASSERT_LE(object.colourTable.size(), 256u);
    const std::vector<PackedVertex>& p = object.frames[0].packed;
    EXPECT_EQ(object.colourTable[p[300].colourIndex], MARKER_FAN);
    EXPECT_EQ(object.colourTable[p[301].colourIndex], COLOUR_PLAIN);
    // A colour with no room takes the nearest ordinary one: 299 is red 43,
    // green 1, and red 43 alone made it into the table.
    EXPECT_EQ(object.colourTable[p[299].colourIndex], 43u);
}

// ---------------------------------------------------------------------------
// Triangles, colours and bounds

TEST_F(MeshTest, StripsAlternateTheirWindingAndFansPivotOnTheFirstVertex) {
    MeshObjectX strip = Stream({{MARKER_STRIP, 0}, {0x00FFFFFF, 10}, {0x00FFFFFF, 11}, {0x00FFFFFF, 12},
                                {0x00FFFFFF, 13}, {0x00FFFFFF, 14}});
    strip.BuildTriangles();
    EXPECT_EQ(TriangleXs(strip.frames[0]), (std::vector<int>{10, 11, 12, 12, 11, 13, 12, 13, 14}));

    MeshObjectX fan = Stream({{MARKER_FAN, 0}, {0x00FFFFFF, 10}, {0x00FFFFFF, 11}, {0x00FFFFFF, 12},
                              {0x00FFFFFF, 13}, {0x00FFFFFF, 14}});
    BuildTriangles(fan);
    EXPECT_EQ(TriangleXs(fan.frames[0]), (std::vector<int>{10, 11, 12, 10, 12, 13, 10, 13, 14}));

    MeshObjectX loose = Stream({{MARKER_TRIANGLES, 0}, {0x00FFFFFF, 10}, {0x00FFFFFF, 11}, {0x00FFFFFF, 12},
                                {0x00FFFFFF, 13}, {0x00FFFFFF, 14}});
    loose.BuildTriangles();
    EXPECT_EQ(TriangleXs(loose.frames[0]), (std::vector<int>{10, 11, 12}));

    // A marker starts afresh: the strip's parity and the fan's pivot are reset.
    MeshObjectX mixed = Stream({{MARKER_STRIP, 0}, {0x00FFFFFF, 1}, {0x00FFFFFF, 2}, {0x00FFFFFF, 3},
                                {0x00FFFFFF, 4}, {MARKER_STRIP, 0}, {0x00FFFFFF, 5}, {0x00FFFFFF, 6},
                                {0x00FFFFFF, 7}, {MARKER_FAN, 0}, {0x00FFFFFF, 8}, {0x00FFFFFF, 9}});
    mixed.BuildTriangles();
    EXPECT_EQ(TriangleXs(mixed.frames[0]), (std::vector<int>{1, 2, 3, 3, 2, 4, 5, 6, 7}));
    EXPECT_EQ(mixed.currentTriangles.size(), 9u);
    EXPECT_EQ(mixed.currentTriangles[8].x, 7.0f);

    // The base object has no triangle builder.
    MeshObject base;
    base.frames = strip.frames;
    base.frames[0].triangles.clear();
    BuildTriangles(base);
    EXPECT_TRUE(base.frames[0].triangles.empty());
}

TEST_F(MeshTest, ExpandedVerticesCarryTheirRecordsCoordinateAndColour) {
    MeshObjectX object = Stream({{MARKER_TRIANGLES, 0}, {0x00FFFFFF, 1}, {0x00FFFFFF, 2}, {0x00FFFFFF, 3}});
    object.uList = {9, 0.1f, 0.2f, 0.3f};
    object.vList = {9, 0.4f, 0.5f, 0.6f};
    object.colourTable[3] = 0x00FF0000;
    object.frames[0].packed[2].normal = 5;
    object.BuildTriangles();
    const MeshVertex& v = object.frames[0].triangles[1];
    EXPECT_FLOAT_EQ(v.u, 0.2f);
    EXPECT_FLOAT_EQ(v.v, -0.5f);
    EXPECT_EQ(v.nz, 1.0f);
    EXPECT_EQ(v.colour, 0x00FF0000u);
    EXPECT_EQ(v.b, 1.0f);
    EXPECT_EQ(v.r, 0.0f);
}

TEST_F(MeshTest, HasColoursIgnoresWhiteAndReservedWords) {
    MeshObjectX object = Stream({{MARKER_STRIP, 0}});
    object.BuildTriangles();
    EXPECT_EQ(object.hasColours, 0u);  // markers, plain white and 0x00FFFFFF only
    object.colourTable.push_back(COLOUR_PLAIN);
    object.BuildTriangles();
    EXPECT_EQ(object.hasColours, 0u);
    object.colourTable.push_back(0x00FFFFFE);
    object.BuildTriangles();
    EXPECT_EQ(object.hasColours, 1u);

    float r, g, b;
    ColourToRgb(COLOUR_PLAIN, r, g, b);
    EXPECT_EQ(r + g + b, 3.0f);
    ColourToRgb(0xAB000000 | 0x00FF00, r, g, b);  // the top byte is ignored
    EXPECT_EQ(r, 0.0f);
    EXPECT_EQ(g, 1.0f);
}

TEST_F(MeshTest, BoundsAreTheMeanAndTheFarthestCorner) {
    MeshObjectX object;
    object.frames.resize(2);
    MeshVertex corners[] = {Vertex(0, 0, 0), Vertex(4, 0, 0), Vertex(0, 4, 0), Vertex(0, 4, 0),
                            Vertex(4, 0, 0), Vertex(4, 4, 0)};
    object.frames[1].triangles.assign(std::begin(corners), std::end(corners));
    object.frames[0].centre[0] = 5;
    object.frames[0].radius = 5;
    ComputeBounds(object);
    EXPECT_EQ(object.frames[0].centre[0], 0.0f);  // an empty list
    EXPECT_EQ(object.frames[0].radius, 0.0f);
    EXPECT_FLOAT_EQ(object.frames[1].centre[0], 2.0f);  // shared corners count per use
    EXPECT_FLOAT_EQ(object.frames[1].centre[1], 2.0f);
    EXPECT_FLOAT_EQ(object.frames[1].radius, std::sqrt(8.0f));

    MeshObjectX single;
    single.frames.resize(1);
    single.frames[0].triangles.assign(3, Vertex(1, 2, 3));
    ComputeBounds(single);
    EXPECT_EQ(single.frames[0].radius, 0.0f);
    EXPECT_FLOAT_EQ(single.frames[0].centre[2], 3.0f);
}

TEST_F(MeshTest, ClearingEmptiesEveryListAndDropsTheFrames) {
    std::vector<uint8_t> bytes = Build(TwoFrameStrip());
    MeshObjectX object;
    ASSERT_TRUE(LoadObjectFromBytes(object, bytes.data(), bytes.size(), true, "x"));
    object.BuildTriangles();
    object.edges.resize(3);
    object.facing.resize(1);
    object.staticBuffer = 7;
    ClearObject(object, false);
    EXPECT_TRUE(IsEmpty(object));
    EXPECT_TRUE(object.edges.empty() && object.facing.empty());
    EXPECT_EQ(object.staticBuffer, 7u);  // its GL owner releases it
    ASSERT_TRUE(LoadObjectFromBytes(object, bytes.data(), bytes.size(), false, "x"));
    ClearObject(object, true);
    EXPECT_EQ(object.colourTable.capacity(), 0u);
}

// ---------------------------------------------------------------------------
// Round trip and the slot loader

TEST_F(MeshTest, APackedObjectSurvivesSavingAndLoading) {
    MeshObjectX object;
    MeshFrame frame;
    frame.vertices = {Marker(MARKER_FAN), Vertex(-1, -1, 0, 0x0000FF), Vertex(1, -1, 0, 0x00FF00),
                      Vertex(1, 1, 0, 0xFF0000), Vertex(-1, 1, 0, 0x0000FF)};
    object.frames.push_back(frame);
    PackObject(object);
    std::string path = dir + "quad.ddd";
    ASSERT_TRUE(SaveObject(object, path.c_str()));

    ObjectSlot slot;
    ASSERT_EQ(LoadObjectSlot(slot, path.c_str()), 1);
    EXPECT_EQ(slot.loaded, 1);
    ASSERT_EQ(slot.objects.size(), 1u);
    const MeshObjectX& loaded = slot.objects[0];
    ASSERT_EQ(loaded.currentTriangles.size(), 6u);
    EXPECT_EQ(loaded.hasColours, 1u);
    EXPECT_NEAR(loaded.currentTriangles[2].x, 1.0f, 1e-5);
    EXPECT_NEAR(loaded.currentTriangles[2].y, 1.0f, 1e-5);
    EXPECT_EQ(loaded.currentTriangles[2].b, 1.0f);
    EXPECT_NEAR(loaded.frames[0].radius, std::sqrt(2.0f), 1e-4);
    EXPECT_EQ(ObjectToBytes(loaded), ObjectToBytes(object));
    std::string again = dir + "again.ddd";
    ASSERT_TRUE(SaveObjectSlot(slot, again.c_str()));
    EXPECT_EQ(ReadWholeFile(again), ReadWholeFile(path));
    EXPECT_FALSE(SaveObjectSlot(ObjectSlot(), again.c_str()));
}

TEST_F(MeshTest, TheSlotLoaderResolvesNamesAndRefusesWhatItCannotRead) {
    static int released = 0;
    SetObjectSlotReleaseHook([](ObjectSlot&) { ++released; });
    DataArchivesCreate();
    WriteFile("model.ddd", Build(TwoFrameStrip()));
    FileLayout empty = TwoFrameStrip();
    empty.frames.clear();
    WriteFile("empty.ddd", Build(empty));
    FileLayout noRecords = TwoFrameStrip();
    noRecords.frames.resize(1);
    noRecords.frames[0].records.clear();
    WriteFile("norecords.ddd", Build(noRecords));
    WriteWholeFile(dir + "text.ddd", "DDDA 1.1\n0 0 0\n");

    std::string model = dir + "model.ddd";
    ObjectSlot slot;
    ASSERT_EQ(LoadObjectSlot(slot, model.c_str()), 1);
    EXPECT_EQ(slot.objects[0].frames[1].triangles.size(), 6u);
    slot.textures = {3, 4};
    released = 0;
    ErrorLogDelete();
    struct Case {
        const char* file;
        std::string log;
    } cases[] = {
        {"empty.ddd", ""},
        {"norecords.ddd", ""},
        {"text.ddd", ""},  // a text object file without frames
        {"missing.ddd", "# read error\r\n" + dir + "missing.ddd\r\n"},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(LoadObjectSlot(slot, model.c_str()), 1);
        ErrorLogDelete();
        EXPECT_EQ(LoadObjectSlot(slot, (dir + c.file).c_str()), 0) << c.file;
        EXPECT_EQ(slot.loaded, 0) << c.file;
        EXPECT_TRUE(slot.objects.empty() && slot.textures.empty()) << c.file;
        EXPECT_EQ(Log(), c.log) << c.file;
    }
    EXPECT_GE(released, 5);
    SetObjectSlotReleaseHook(nullptr);

    // Records that are all markers make a frame that is not empty: the file
    // loads, with no triangle to draw or test.
    FileLayout markers;
    markers.colours = {MARKER_STRIP, MARKER_FAN};
    markers.coordinates = {{0, 0}, {0, 0}, {0, 0}};
    markers.frames.resize(1);
    markers.frames[0].records = {{0, 0, 0, 0, 0}, {0, 0, 0, 0, 1}, {0, 0, 0, 0, 0}};
    ErrorLogDelete();
    EXPECT_EQ(LoadObjectSlot(slot, WriteFile("markers.ddd", Build(markers)).c_str()), 1);
    EXPECT_EQ(slot.loaded, 1);
    ASSERT_EQ(slot.objects.size(), 1u);
    EXPECT_EQ(slot.objects[0].frames[0].packed.size(), 3u);
    EXPECT_TRUE(slot.objects[0].frames[0].triangles.empty());
    EXPECT_EQ(Log(), "");
    DataArchivesRelease();
}

// ---------------------------------------------------------------------------
// The example's model

TEST_F(MeshTest, TheExampleTorusFacesOutwardInEveryFrame) {
    MeshObjectX torus;
    TorusShape shape;
    BuildTorus(torus, shape);
    torus.BuildTriangles();
    ASSERT_EQ(torus.frames.size(), (size_t)shape.frames);
    EXPECT_EQ(torus.uList.size(), torus.frames[0].packed.size());
    EXPECT_EQ(torus.hasColours, 1u);
    for (const MeshFrame& frame : torus.frames) {
        ASSERT_EQ(frame.triangles.size(), (size_t)shape.rings * shape.sides * 2 * 3);
        // Counter-clockwise seen from outside: the face normal leans the way
        // the corners' normals point.
        for (size_t t = 0; t < frame.triangles.size(); t += 3) {
            const MeshVertex* c = &frame.triangles[t];
            float ax = c[1].x - c[0].x, ay = c[1].y - c[0].y, az = c[1].z - c[0].z;
            float bx = c[2].x - c[0].x, by = c[2].y - c[0].y, bz = c[2].z - c[0].z;
            float nx = ay * bz - az * by, ny = az * bx - ax * bz, nz = ax * by - ay * bx;
            float along = nx * (c[0].nx + c[1].nx + c[2].nx) + ny * (c[0].ny + c[1].ny + c[2].ny) +
                          nz * (c[0].nz + c[1].nz + c[2].nz);
            ASSERT_GT(along, 0.0f) << "triangle " << t / 3;
        }
    }
    // Written and read back, it loads into a slot.
    std::string path = dir + "torus.ddd";
    ASSERT_TRUE(SaveObject(torus, path.c_str()));
    ObjectSlot slot;
    EXPECT_EQ(LoadObjectSlot(slot, path.c_str()), 1);
    EXPECT_GT(slot.objects[0].frames[3].radius, 1.0f);
}
