// Object files from binary to text and back: a binary file written as text
// converts back to its own bytes (strips, biases, scales and colour table as
// stored), text converts to binary and back without drifting after the first
// conversion, and an edited text is packed from what it then says. On the
// example models and on random objects of every kind of vertex run.
#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "core/engine.h"
#include "gfx3d/mesh.h"
#include "support/headless.h"

namespace {

std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

// Reads an object file held in memory (binary or text); fails the test when
// it is refused.
MeshObject Read(const std::vector<uint8_t>& bytes) {
    MeshObject object;
    EXPECT_TRUE(LoadObjectFromBytes(object, bytes.data(), bytes.size(), false, "memory"));
    return object;
}

std::string ToText(const std::vector<uint8_t>& binary) {
    MeshObject object = Read(binary);
    return ObjectToText(object);
}

std::vector<uint8_t> ToBinary(const std::string& text) { return ObjectToBytes(Read(Bytes(text))); }

// The first differing byte, for the failure message.
size_t FirstDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    size_t i = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
    return i;
}

// The text without the binary form's lines, as a reader that knows nothing
// of them would see it.
std::string WithoutStoredForm(const std::string& text) {
    std::istringstream in(text);
    std::string line, out;
    while (std::getline(in, line)) {
        if (line.rfind("#@ddd ", 0) != 0) out += line + "\n";
    }
    return out;
}

void ExpectBinaryRoundTrip(const std::vector<uint8_t>& original, const std::string& what) {
    const std::string text = ToText(original);
    const std::vector<uint8_t> back = ToBinary(text);
    EXPECT_EQ(back.size(), original.size()) << what;
    EXPECT_TRUE(back == original) << what << ": first difference at byte " << FirstDifference(back, original);
    EXPECT_EQ(ToText(back), text) << what;
}

// A random object of `frames` frames sharing one layout: runs of independent
// triangles, strips and fans, with leftover vertices, plain-white vertices and
// up to 40 colours; positions over a random box per frame.
MeshObject RandomObject(std::mt19937& random, int frames) {
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    std::uniform_int_distribution<int> runs(1, 6), length(0, 9), kind(0, 2), colours(0, 39);
    struct Record {
        uint32_t colour;
        float u, v;
    };
    std::vector<Record> layout;
    const int runCount = runs(random);
    for (int r = 0; r < runCount; ++r) {
        const uint32_t markers[3] = {MARKER_TRIANGLES, MARKER_STRIP, MARKER_FAN};
        layout.push_back({markers[kind(random)], 0, 0});
        const int n = length(random);
        for (int i = 0; i < n; ++i) {
            const int c = colours(random);
            const uint32_t colour = c == 0 ? COLOUR_PLAIN : (uint32_t)(c * 0x050301 + 0x102030) & 0xFFFFFF;
            layout.push_back({colour, unit(random) * 4, unit(random) * 4});
        }
    }
    MeshObject object;
    object.frames.resize((size_t)frames);
    for (MeshFrame& frame : object.frames) {
        const float size[3] = {std::abs(unit(random)) * 50, std::abs(unit(random)) * 0.01f, std::abs(unit(random))};
        for (const Record& record : layout) {
            MeshVertex v{};
            v.colour = record.colour;
            v.u = record.u;
            v.v = record.v;
            if (!IsMarker(record.colour)) {
                v.x = unit(random) * size[0];
                v.y = unit(random) * size[1] + 7.0f;
                v.z = unit(random) * size[2];
                v.nx = unit(random);
                v.ny = unit(random);
                v.nz = unit(random);
                ColourToRgb(v.colour, v.r, v.g, v.b);
            }
            frame.vertices.push_back(v);
        }
    }
    PackObject(object);
    return object;
}

class TextRoundTrip : public ::testing::Test {
protected:
    void SetUp() override {
        UseScratchTempDirectory();
        ErrorLogDelete();
    }
    void TearDown() override { EXPECT_EQ(ReadWholeFile(ErrorLogPath()), ""); }
};

TEST_F(TextRoundTrip, TheExampleModelsComeBackByteForByte) {
    const char* models[] = {"/examples/3d/torus.ddd", "/tests/fuzz/corpus/fuzz_mesh/torus_4x3x1.ddd",
                            "/tests/fuzz/corpus/fuzz_mesh/torus_5x6x3.ddd",
                            "/tests/fuzz/corpus/fuzz_mesh/torus_3x3x2.ddd"};
    for (const char* model : models) {
        const std::vector<uint8_t> original = Bytes(ReadWholeFile(std::string(REVEV_SOURCE_DIR) + model));
        ASSERT_GT(original.size(), 24u) << model;
        ExpectBinaryRoundTrip(original, model);
    }
}

TEST_F(TextRoundTrip, RandomObjectsComeBackByteForByte) {
    std::mt19937 random(26);
    for (int round = 0; round < 200; ++round) {
        MeshObject object = RandomObject(random, 1 + round % 4);
        ExpectBinaryRoundTrip(ObjectToBytes(object), "random object " + std::to_string(round));
    }
}

TEST_F(TextRoundTrip, TextSettlesAfterItsFirstConversion) {
    const std::string texts[] = {
        // Version 1.0: no normals (they are made), a quad and a triangle.
        "DDDA 1.0\n4  0 0  1 0  1 1  0 1\n"
        "2  200 10 10 4  0 0  1 1  2 2  3 3   10 200 10 3  0 0  2 2  4 1\n"
        "2  5  0 0 0  1.45090199 0 0  1 1 0  0 1 0  0.3 0.7 0.1\n"
        "   5  0 0 1  1 0 1  1.1 1.1 1  0 1.3 1  0.333333333 0.1 0.9\n",
        // Version 1.1 without texture coordinates: a pentagon, odd sizes.
        "DDDA 1.1\n0\n1  1 2 3 5  0 0  1 0  2 0  3 0  4 0\n"
        "1  5  -3.7 1e-3 12  0 0 1  2.5 -0.25 11.9  0 0 1  0.1 0.2 0.3  1 0 0"
        "  7 7 7  0 1 0  -1 -1 -1  0.5 0.5 0.5\n",
    };
    for (const std::string& text : texts) {
        const std::vector<uint8_t> first = ToBinary(text);
        const std::string written = ToText(first);
        const std::vector<uint8_t> second = ToBinary(written);
        EXPECT_TRUE(second == first) << "first difference at byte " << FirstDifference(second, first);
        EXPECT_EQ(ToText(second), written);
    }
}

TEST_F(TextRoundTrip, AnEditedTextIsPackedFromWhatItSays) {
    const std::vector<uint8_t> original = Bytes(ReadWholeFile(REVEV_SOURCE_DIR "/examples/3d/torus.ddd"));
    std::string text = ToText(original);
    // The last vertex line of the text proper gets a new x.
    const size_t stored = text.find("# The binary form");
    ASSERT_NE(stored, std::string::npos);
    const size_t lineStart = text.rfind('\n', text.rfind('\n', stored - 1) - 1) + 1;
    const std::string edited = text.substr(0, lineStart) + "1000" +
                               text.substr(text.find(' ', lineStart));
    MeshObject read = Read(Bytes(edited));
    ExpandTriangles(read);
    ASSERT_FALSE(read.frames.back().triangles.empty());
    EXPECT_NEAR(read.frames.back().triangles.back().x, 1000.0f, 1000.0f / 255.0f);
    EXPECT_FALSE(ObjectToBytes(read) == original);
}

TEST_F(TextRoundTrip, WithoutTheStoredFormTheTextStillHoldsTheTriangles) {
    std::mt19937 random(11);
    for (int round = 0; round < 20; ++round) {
        MeshObject object = RandomObject(random, 2);
        ExpandTriangles(object);
        const std::string text = ObjectToText(object);
        MeshObject plain = Read(Bytes(WithoutStoredForm(text)));
        ExpandTriangles(plain);
        ASSERT_EQ(plain.frames.size(), object.frames.size());
        for (size_t f = 0; f < object.frames.size(); ++f) {
            const std::vector<MeshVertex>& want = object.frames[f].triangles;
            const std::vector<MeshVertex>& got = plain.frames[f].triangles;
            ASSERT_EQ(got.size(), want.size()) << "round " << round << " frame " << f;
            for (size_t i = 0; i < want.size(); ++i) {
                // Packed afresh over the same box: within one step per axis.
                EXPECT_NEAR(got[i].x, want[i].x, object.frames[f].scale[0] * 1.01f);
                EXPECT_NEAR(got[i].z, want[i].z, object.frames[f].scale[2] * 1.01f);
                EXPECT_EQ(got[i].u, want[i].u);
                EXPECT_EQ(got[i].v, want[i].v);
            }
        }
    }
}

TEST_F(TextRoundTrip, ADamagedStoredFormIsPassedOver) {
    std::mt19937 random(3);
    MeshObject object = RandomObject(random, 1);
    const std::string text = ToText(ObjectToBytes(object));
    const std::string cut = text.substr(0, text.size() - 10) + "\n";     // bytes missing
    std::string badHex = text;
    badHex[badHex.rfind("#@ddd ") + 6] = 'x';
    // A count far beyond what the text holds is refused before anything is
    // set aside for it.
    std::string huge = text;
    const size_t count = huge.find("#@ddd bytes ") + 12;
    huge.replace(count, huge.find('\n', count) - count, "999999999");
    for (const std::string& damaged : {cut, badHex, huge}) {
        MeshObject read = Read(Bytes(damaged));
        EXPECT_FALSE(read.frames.empty());
    }
}

}  // namespace
