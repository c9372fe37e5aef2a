// The multi-object scene file through the slot loader: members found beside
// the scene in its own directory, texture indices, missing members, names
// that climb out of the directory, and a table of malformed counts.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "core/engine.h"
#include "gfx2d/gfx2d_support.h"
#include "gfx3d/gfx3d.h"

namespace {

const char* kTriangle = "DDDA 1.0 0 1 255 0 0 3 0 0 1 0 2 0 1 3 0 0 0 1 0 0 0 1 0\n";
const char* kSquare = "DDDA 1.0 0 1 0 0 255 4 0 0 1 0 2 0 3 0 1 4 0 0 0 1 0 0 1 1 0 0 1 0\n";

void WriteText(const std::string& path, const std::string& text) { WriteWholeFile(path, text); }

void WriteBmp(const std::string& path, uint32_t colour) {
    const std::vector<uint8_t> bytes = EncodeBmp(Picture(4, 4, colour), 24);
    WriteWholeFile(path, std::string(bytes.begin(), bytes.end()));
}

class SceneFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        StartScreen();
        dir = UseScratchTempDirectory();
        mkdir((dir + "models").c_str(), 0755);  // the scratch directory outlives a test
        ErrorLogDelete();
    }
    ObjectSlot& Slot() { return engine.scene3D->objectSlots[20]; }
    int Load(const std::string& scene) {
        WriteText(dir + "models/scene.ddw", scene);
        return LoadObjectSlot(Slot(), (dir + "models/scene.ddw").c_str());
    }
    std::string dir;
};

}  // namespace

// ---------------------------------------------------------------------------
// Members

TEST_F(SceneFileTest, SceneInASubdirectoryLoadsItsMembersFromThere) {
    WriteText(dir + "models/tree.txt", kTriangle);
    WriteText(dir + "models/rock.txt", kSquare);
    // Same names beside the scene's parent must not be taken.
    WriteText(dir + "tree.txt", kSquare);
    WriteBmp(dir + "models/bark.bmp", 0x0000FF);
    WriteBmp(dir + "models/moss.bmp", 0x00FF00);
    ASSERT_EQ(Load(";DDW scene\r\n"
                   "[textures]\r\ncount=2\r\n1=bark.bmp\r\n2=moss.bmp\r\n"
                   "[objects]\r\ncount=3\r\n1=tree.txt\r\n1ta=2\r\n1tb=1\r\n"
                   "2=rock.txt\r\n2ta=0\r\n2tb=-1\r\n3=rock.txt\r\n"),
              1);
    ObjectSlot& slot = Slot();
    EXPECT_EQ(slot.loaded, 1);
    EXPECT_EQ(slot.multiObject, 1);
    ASSERT_EQ(slot.textures.size(), 2u);
    EXPECT_NE(slot.textures[0], 0u);
    EXPECT_NE(slot.textures[1], 0u);
    ASSERT_EQ(slot.objects.size(), 3u);
    EXPECT_EQ(slot.objects[0].frames[0].triangles.size(), 3u);
    EXPECT_EQ(slot.objects[1].frames[0].triangles.size(), 6u);
    EXPECT_EQ(slot.objects[0].firstTexture, 1);
    EXPECT_EQ(slot.objects[0].secondTexture, 0);
    EXPECT_EQ(slot.objects[1].firstTexture, 0);
    EXPECT_EQ(slot.objects[1].secondTexture, -1);
    // Missing keys read as 0: the first texture.
    EXPECT_EQ(slot.objects[2].firstTexture, 0);
    EXPECT_EQ(slot.objects[2].secondTexture, 0);
    EXPECT_EQ(CountTriangleVertices(20), 15);
}

TEST_F(SceneFileTest, MissingMembersLeaveTheirEntriesEmpty) {
    WriteText(dir + "models/tree.txt", kTriangle);
    ASSERT_EQ(Load(";DDW\n[textures]\ncount=1\n1=nothing.bmp\n[objects]\ncount=2\n1=gone.ddd\n2=tree.txt\n"), 1);
    ObjectSlot& slot = Slot();
    ASSERT_EQ(slot.textures.size(), 1u);
    EXPECT_EQ(slot.textures[0], 0u);
    ASSERT_EQ(slot.objects.size(), 2u);
    EXPECT_TRUE(slot.objects[0].frames.empty());
    EXPECT_EQ(slot.objects[1].frames[0].triangles.size(), 3u);

    ASSERT_EQ(Load(";DDW\n[textures]\ncount=0\n"), 1);
    EXPECT_TRUE(Slot().textures.empty());
    EXPECT_TRUE(Slot().objects.empty());
    EXPECT_EQ(Slot().loaded, 1);
}

TEST_F(SceneFileTest, NamesClimbingOutAreTakenOnlyAsRealFiles) {
    WriteText(dir + "above.txt", kTriangle);
    ASSERT_EQ(Load(";DDW\n[objects]\ncount=3\n1=../above.txt\n2=../missing.txt\n3=" + dir + "above.txt\n"), 1);
    ObjectSlot& slot = Slot();
    ASSERT_EQ(slot.objects.size(), 3u);
    EXPECT_EQ(slot.objects[0].frames.size(), 1u);
    EXPECT_TRUE(slot.objects[1].frames.empty());
    EXPECT_TRUE(slot.objects[2].frames.empty());  // the directory is put before it
}

TEST_F(SceneFileTest, BadCountsLeaveTheSlotEmpty) {
    const char* cases[] = {
        ";DDW\n[textures]\ncount=-1\n",
        ";DDW\n[objects]\ncount=-5\n",
        ";DDW\n[objects]\ncount=1000000000\n",
        ";DDW\n[textures]\ncount=99999\n",
    };
    for (const char* text : cases) {
        ErrorLogDelete();
        EXPECT_EQ(Load(text), 0) << text;
        EXPECT_EQ(Slot().loaded, 0) << text;
        EXPECT_TRUE(Slot().objects.empty() && Slot().textures.empty()) << text;
        EXPECT_EQ(ReadWholeFile(ErrorLogPath()), "# read error\r\n" + dir + "models/scene.ddw\r\n") << text;
    }
}
