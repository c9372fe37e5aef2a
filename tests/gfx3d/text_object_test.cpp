// The text object file through the object loader: accepted versions with and
// without normals, comments inside and after tokens, polygons as fans, the
// defaults of files without coordinates, and a table of malformed files.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "core/engine.h"
#include "gfx3d/mesh.h"
#include "support/headless.h"

namespace {

class TextObjectTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = UseScratchTempDirectory();
        ErrorLogDelete();
    }
    std::string Log() { return ReadWholeFile(ErrorLogPath()); }
    bool Load(MeshObject& object, const std::string& text) {
        const std::string path = dir + "model.txt";
        WriteWholeFile(path, text);
        return LoadObject(object, path.c_str(), false);
    }
    std::string dir;
};

// One triangle of vertices 0, 1, 2 coloured 10 20 30, two texture coordinates.
const char* kHeader = "DDDA ";
const char* kBody =
    " 2  0.25 0.5  1 1\n"
    " 1  10 20 30 3  0 0  1 1  2 0\n"
    " 1  3\n";

uint32_t ColourOf(const MeshObject& object, size_t record) {
    return object.colourTable[object.frames[0].packed[record].colourIndex];
}

}  // namespace

// ---------------------------------------------------------------------------
// Versions

TEST_F(TextObjectTest, VersionDecidesWhetherVerticesCarryNormals) {
    MeshObject withNormals;
    ASSERT_TRUE(Load(withNormals, std::string(kHeader) + "1.1 # normals follow each position\n" + kBody +
                                      "0 0 0  0 0 1\n 4 0 0  0 0 1\n 0 4 0  0 0 1\n"));
    ASSERT_EQ(withNormals.frames.size(), 1u);
    ASSERT_EQ(withNormals.frames[0].packed.size(), 4u);
    EXPECT_EQ(withNormals.normalsValid, 1u);
    ExpandTriangles(withNormals);
    ASSERT_EQ(withNormals.frames[0].triangles.size(), 3u);
    EXPECT_NEAR(withNormals.frames[0].triangles[1].x, 4, 1e-4);
    EXPECT_NEAR(withNormals.frames[0].triangles[1].nz, 1, 1e-4);

    // Three numbers a vertex: the same positions follow without normals.
    MeshObject without;
    ASSERT_TRUE(Load(without, std::string(kHeader) + "1.0" + kBody + "0 0 0  4 0 0  0 4 0\n"));
    ExpandTriangles(without);
    ASSERT_EQ(without.frames[0].triangles.size(), 3u);
    EXPECT_NEAR(without.frames[0].triangles[2].y, 4, 1e-4);
    // Normals are made from the polygon instead: along z, one way or the other.
    EXPECT_NEAR(std::fabs(without.frames[0].triangles[0].nz), 1, 1e-4);

    MeshObject newer;
    EXPECT_FALSE(Load(newer, std::string(kHeader) + "1.2" + kBody + "0 0 0 0 0 1 4 0 0 0 0 1 0 4 0 0 0 1"));
    EXPECT_TRUE(newer.frames.empty());
    EXPECT_EQ(Log(), "# read error\r\n" + dir + "model.txt\r\n");
}

// ---------------------------------------------------------------------------
// Contents

TEST_F(TextObjectTest, PolygonsBecomeColouredFans) {
    MeshObject object;
    ASSERT_TRUE(Load(object,
                     "DDDA 1.0\n"
                     "0\n"
                     "3#three polygons: a square, a line, a white triangle\n"
                     "255 0 0 4  0 9  1 9  2 9  3 9\n"
                     "0 255 0 2  0 0  1 0\n"
                     "255 255 255 3  0 0  1 0  2 0\n"
                     "2\n"
                     "4  0 0 0  1 0 0  1 1 0  0 1 0\n"
                     "4  0 0 5  2 0 5  2 2 5  0 2 5\n"));
    ASSERT_EQ(object.frames.size(), 2u);
    // Marker and four corners, marker and two, marker and three.
    ASSERT_EQ(object.frames[0].packed.size(), 12u);
    EXPECT_EQ(ColourOf(object, 0), MARKER_FAN);
    EXPECT_EQ(ColourOf(object, 1), 0x0000FFu);
    EXPECT_EQ(ColourOf(object, 6), 0x00FF00u);
    EXPECT_EQ(ColourOf(object, 9), 0x00FFFFFFu);
    // Without texture coordinates every corner has (0, 0), whatever it names.
    for (float u : object.uList) EXPECT_EQ(u, 0.0f);
    ExpandTriangles(object);
    // The square gives corners 0, 1, 2 and 0, 2, 3; the line none.
    ASSERT_EQ(object.frames[0].triangles.size(), 9u);
    const float square[6][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 0}, {1, 1}, {0, 1}};
    for (int k = 0; k < 6; ++k) {
        EXPECT_NEAR(object.frames[0].triangles[k].x, square[k][0], 1e-4);
        EXPECT_NEAR(object.frames[0].triangles[k].y, square[k][1], 1e-4);
        EXPECT_NEAR(object.frames[1].triangles[k].x, 2 * square[k][0], 1e-4);
        EXPECT_NEAR(object.frames[1].triangles[k].z, 5, 1e-4);
    }
    // The white polygon alone would not make the object coloured; red does.
    EXPECT_EQ(object.hasColours, 1u);
}

TEST_F(TextObjectTest, TextureCoordinatesAreStoredAsRead) {
    MeshObject object;
    ASSERT_TRUE(Load(object, std::string(kHeader) + "1.0" + kBody + "0 0 0  4 0 0  0 4 0\n"));
    ASSERT_EQ(object.uList.size(), 4u);
    EXPECT_EQ(object.uList[1], 0.25f);
    EXPECT_EQ(object.vList[1], 0.5f);
    EXPECT_EQ(object.uList[2], 1.0f);
    EXPECT_EQ(object.vList[3], 0.5f);
}

TEST_F(TextObjectTest, NumbersStopAtTheFirstCharacterThatDoesNotFit) {
    MeshObject object;
    // "3#" is 3, "1e1x" is 10, "-.5" is -0.5 and "abc" is 0.
    ASSERT_TRUE(Load(object,
                     "DDDA\t1.0e0\r\n0 1 1 2 3 3#corners follow\n0 0 1 0 2 0\n"
                     "1 3 1e1x 0 0  0 -.5 0  abc 0 1\n"));
    ExpandTriangles(object);
    ASSERT_EQ(object.frames[0].triangles.size(), 3u);
    EXPECT_NEAR(object.frames[0].triangles[0].x, 10, 1e-3);
    EXPECT_NEAR(object.frames[0].triangles[1].y, -0.5, 1e-3);
    EXPECT_NEAR(object.frames[0].triangles[2].x, 0, 1e-3);
    EXPECT_NEAR(object.frames[0].triangles[2].z, 1, 1e-3);
}

// ---------------------------------------------------------------------------
// Malformed files

TEST_F(TextObjectTest, MalformedFilesAreRefused) {
    const std::string triangle = " 1  0 0 0  1 0 0  0 1 0\n";
    const struct {
        const char* what;
        std::string text;
    } cases[] = {
        {"empty file", ""},
        {"only blanks and a comment", "  \n# DDDA 1.0\n"},
        {"magic in lower case", "ddda 1.0" + std::string(kBody) + triangle},
        {"magic one character off", "DDDB 1.0" + std::string(kBody) + triangle},
        {"magic longer", "DDDAA 1.0" + std::string(kBody) + triangle},
        {"magic shorter", "DDD 1.0" + std::string(kBody) + triangle},
        {"version above 1.1", "DDDA 1.10001" + std::string(kBody) + triangle},
        {"negative coordinate count", "DDDA 1.0 -1 1 0 0 0 3 0 0 1 0 2 0" + triangle},
        {"negative polygon count", "DDDA 1.0 0 -2" + triangle},
        {"negative corner count", "DDDA 1.0 0 1 0 0 0 -3 1" + triangle},
        {"negative frame count", "DDDA 1.0 0 1 0 0 0 3 0 0 1 0 2 0 -1"},
        {"negative vertex count", "DDDA 1.0 0 1 0 0 0 3 0 0 1 0 2 0 1 -3"},
        {"vertex index past the frame", "DDDA 1.0 0 1 0 0 0 3 0 0 1 0 3 0" + triangle},
        {"negative vertex index", "DDDA 1.0 0 1 0 0 0 3 0 0 -1 0 2 0" + triangle},
        {"vertex index past a later frame",
         "DDDA 1.0 0 1 0 0 0 3 0 0 1 0 2 0 2" + triangle + " 2 0 0 0 1 0 0\n"},
        {"coordinate index past the list", "DDDA 1.0 1 0 0 1 0 0 0 3 0 0 1 1 2 0" + triangle},
        {"negative coordinate index", "DDDA 1.0 1 0 0 1 0 0 0 3 0 0 1 -1 2 0" + triangle},
        {"vertex index past a frame the file ends in", "DDDA 1.0 0 1 0 0 0 3 0 0 1 0 3 0 1 3 0 0 0 1 0 0"},
        // One polygon of 3000 corners in 1500 frames: 4.5 million records.
        {"frames times corners too large", [] {
             std::string text = "DDDA 1.0 0 1 0 0 0 3000";
             for (int i = 0; i < 3000; ++i) text += " 0 0";
             text += " 1500";
             for (int i = 0; i < 1500; ++i) text += " 1 0 0 0";
             return text;
         }()},
    };
    for (const auto& c : cases) {
        ErrorLogDelete();
        MeshObject object;
        EXPECT_FALSE(Load(object, c.text)) << c.what;
        EXPECT_TRUE(object.frames.empty()) << c.what;
        EXPECT_EQ(Log(), "# read error\r\n" + dir + "model.txt\r\n") << c.what;
    }
}

TEST_F(TextObjectTest, TruncatedFileReadsItsMissingNumbersAsZero) {
    // The frame count is missing: no frames, nothing to draw, but no error.
    MeshObject object;
    EXPECT_TRUE(Load(object, "DDDA 1.0 0 1 0 0 0 3 0 0 1 0 2 0"));
    EXPECT_TRUE(object.frames.empty());
    EXPECT_EQ(Log(), "");

    // The frame declares three vertices and the file ends after the second
    // (or inside it): the missing vertex, or numbers, are 0.
    const struct {
        const char* what;
        std::string text;
        float second[3];
    } cases[] = {
        {"last vertex missing", "DDDA 1.0 0 1 0 0 0 3 0 0 1 0 2 0 1 3  2 0 0  0 3 0", {0, 3, 0}},
        {"last vertex missing after normals", "DDDA 1.1 0 1 0 0 0 3 0 0 1 0 2 0 1 3  2 0 0 0 0 1  0 3 0 0 0 1",
         {0, 3, 0}},
        {"two vertices missing", "DDDA 1.0 0 1 0 0 0 3 0 0 1 0 2 0 1 3  2 0 0", {0, 0, 0}},
        {"last vertex cut short", "DDDA 1.0 0 1 0 0 0 3 0 0 1 0 2 0 1 3  2 0 0  0 3", {0, 3, 0}},
    };
    for (const auto& c : cases) {
        ErrorLogDelete();
        MeshObject read;
        ASSERT_TRUE(Load(read, c.text)) << c.what;
        EXPECT_EQ(Log(), "") << c.what;
        ASSERT_EQ(read.frames.size(), 1u) << c.what;
        ExpandTriangles(read);
        const std::vector<MeshVertex>& corners = read.frames[0].triangles;
        ASSERT_EQ(corners.size(), 3u) << c.what;
        EXPECT_NEAR(corners[0].x, 2, 0.02) << c.what;
        EXPECT_NEAR(corners[1].x, c.second[0], 0.02) << c.what;
        EXPECT_NEAR(corners[1].y, c.second[1], 0.02) << c.what;
        for (float p : {corners[2].x, corners[2].y, corners[2].z}) EXPECT_NEAR(p, 0, 0.02) << c.what;
    }
}

TEST_F(TextObjectTest, WrittenTextReadsBackAsTheSameTriangles) {
    MeshObject object;
    ASSERT_TRUE(Load(object, std::string(kHeader) + "1.1" + kBody + "0 0 0 0 0 1  4 0 0 0 0 1  0 4 0 0 0 1\n"));
    const std::string text = ObjectToText(object);
    MeshObject again;
    ASSERT_TRUE(Load(again, text));
    ExpandTriangles(again);
    ASSERT_EQ(again.frames.size(), 1u);
    ASSERT_EQ(again.frames[0].triangles.size(), object.frames[0].triangles.size());
    for (size_t i = 0; i < again.frames[0].triangles.size(); ++i) {
        const MeshVertex& a = object.frames[0].triangles[i];
        const MeshVertex& b = again.frames[0].triangles[i];
        EXPECT_NEAR(a.x, b.x, 1e-4);
        EXPECT_NEAR(a.y, b.y, 1e-4);
        EXPECT_FLOAT_EQ(a.u, b.u);
        EXPECT_FLOAT_EQ(a.v, b.v);
        EXPECT_EQ(a.colour, b.colour);
        EXPECT_NEAR(a.nz, b.nz, 1e-4);
    }
}
