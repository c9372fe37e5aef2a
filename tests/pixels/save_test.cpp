// The image writer through SaveScreen and SaveSprite on a real headless frame,
// checked byte by byte and through an independent reader (ImageMagick).
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "core/engine.h"
#include "files/file_io.h"
#include "gfx2d/gfx2d.h"
#include "pixels/pixels_support.h"
#include "support/headless.h"

namespace {

class Save : public ::testing::Test {
protected:
    void SetUp() override { Start(320); }
    void Start(int width) {
        dir = UseScratchTempDirectory();
        HeadlessSettings settings;
        settings.width = width;
        StartHeadless(settings);
        ClearTo(kBlack);
    }
    std::string Saved(const char* name) {
        EXPECT_EQ(SaveScreen((dir + name).c_str()), 1.0) << name;
        return ReadWholeFile(dir + name);
    }
    std::string dir;
};

class SaveOddWidth : public Save {
protected:
    void SetUp() override { Start(321); }
};

uint32_t Le32(const std::string& s, size_t at) { return ReadLe32(reinterpret_cast<const uint8_t*>(s.data()) + at); }

}  // namespace

TEST_F(Save, AScreenBmpIs54BytesOfHeadersAndBottomUpBgrRows) {
    SetPixel(0, 0, 0x030201);
    SetPixel(319, 239, ColourOf(kGreen));
    const std::string bmp = Saved("shot.bmp");
    ASSERT_EQ(bmp.size(), 54u + 960u * 240u);
    EXPECT_EQ(bmp.substr(0, 2), "BM");
    EXPECT_EQ(Le32(bmp, 2), 54u + 960u * 240u);
    EXPECT_EQ(Le32(bmp, 10), 54u);
    EXPECT_EQ(Le32(bmp, 14), 40u);
    EXPECT_EQ(Le32(bmp, 18), 320u);
    EXPECT_EQ(Le32(bmp, 22), 240u);
    EXPECT_EQ(Le32(bmp, 26), 1u | 24u << 16);
    EXPECT_EQ(Le32(bmp, 38), 10000u);
    EXPECT_EQ(bmp.substr(54 + 319 * 3, 3), std::string("\0\xff\0", 3));  // bottom right
    EXPECT_EQ(bmp.substr(54 + 239 * 960, 3), "\x03\x02\x01");             // top left: blue, green, red
}

TEST_F(SaveOddWidth, RowsOf963BytesArePaddedTo964) {
    ClearTo(kWhite);
    const std::string bmp = Saved("wide.bmp");
    ASSERT_EQ(bmp.size(), 54u + 964u * 240u);
    for (int row = 0; row < 240; ++row) ASSERT_EQ(bmp.substr(54 + row * 964 + 962, 2), std::string("\xff\0", 2));
    EXPECT_EQ(ReadWithImageMagick(dir + "wide.bmp").At(320, 239), kWhite);
}

TEST_F(Save, TheNameDecidesPngOrBmpAndAReaderSeesTheDrawnPixels) {
    EXPECT_EQ(Saved("shot.PNG").substr(1, 3), "PNG");
    EXPECT_EQ(Saved("shot.png").substr(1, 3), "PNG");
    ASSERT_EQ(chdir(dir.c_str()), 0);  // the bare name ".png" is only 4 characters
    EXPECT_EQ(SaveScreen(".png"), 1.0);
    EXPECT_EQ(ReadWholeFile(dir + ".png").substr(0, 2), "BM");
    EXPECT_EQ(Saved("shot.pngx").substr(0, 2), "BM");
    const std::string png = Saved("look.png");
    EXPECT_EQ(png.substr(12, 4) + png[24] + png[25], std::string("IHDR\x08\x06"));  // 8-bit RGBA

    DrawRect(0, 0, 160, 240, ColourOf(kRed));
    DrawRect(160, 0, 160, 240, 0x405060);
    SetPixel(7, 9, ColourOf({1, 2, 3}));
    SetPixel(1, 1, ColourOf(kKeyColour));
    SetPixel(2, 1, ColourOf({0, 0, 128}));  // shares green and blue with the key
    for (const char* name : {"look.png", "look.bmp"}) {
        Saved(name);
        const ReadBack back = ReadWithImageMagick(dir + name);
        ASSERT_EQ(back.width, 320) << name;
        ASSERT_EQ(back.height, 240) << name;
        EXPECT_EQ(back.At(0, 239), kRed) << name;
        EXPECT_EQ(back.At(319, 0), (Rgb{0x60, 0x50, 0x40})) << name;
        EXPECT_EQ(back.At(7, 9), (Rgb{1, 2, 3})) << name;
        EXPECT_EQ(back.At(2, 1), (Rgb{0, 0, 128})) << name;
        EXPECT_EQ(back.AlphaAt(2, 1), 255) << name;
    }
    // The key: transparent blue in the PNG, written as the key in the BMP.
    EXPECT_EQ(ReadWithImageMagick(dir + "look.png").AlphaAt(1, 1), 0);
    EXPECT_EQ(ReadWithImageMagick(dir + "look.png").At(1, 1), kBlue);
    EXPECT_EQ(ReadWithImageMagick(dir + "look.bmp").At(1, 1), kKeyColour);
    // A key with red 0 makes nothing transparent; no key changes no pixel.
    SetTransparency(ColourOf(kGreen));
    SetPixel(1, 1, ColourOf(kGreen));
    Saved("green.png");
    Saved("green.bmp");
    EXPECT_EQ(ReadWithImageMagick(dir + "green.png").AlphaAt(1, 1), 255);
    EXPECT_EQ(ReadWithImageMagick(dir + "green.bmp").At(1, 1), kKeyColour);
    SetTransparency(-1);
    SetPixel(1, 1, ColourOf(kWhite));
    Saved("none.bmp");
    EXPECT_EQ(ReadWithImageMagick(dir + "none.bmp").At(1, 1), kWhite);
}

TEST_F(Save, SaveSpriteWritesThePictureAndFailuresGiveZero) {
    Picture picture(5, 3, kBlue);
    picture.Set(0, 0, kRed);
    picture.Set(4, 2, kGreen);
    MakeSprite(7, picture);
    ASSERT_EQ(SaveSprite((dir + "s.bmp").c_str(), 7), 1.0);
    EXPECT_EQ(ReadWholeFile(dir + "s.bmp").size(), 54u + 16u * 3u);
    ASSERT_EQ(SaveSprite((dir + "s.png").c_str(), 7.9), 1.0);
    for (const char* name : {"s.bmp", "s.png"}) {
        const ReadBack back = ReadWithImageMagick(dir + name);
        ASSERT_EQ(back.width, 5) << name;
        ASSERT_EQ(back.height, 3) << name;
        EXPECT_EQ(back.At(0, 0), kRed) << name;
        EXPECT_EQ(back.At(4, 2), kGreen) << name;
    }
    EXPECT_EQ(SaveScreen((dir + "missing/shot.png").c_str()), 0.0);
    EXPECT_EQ(SaveScreen((dir + "missing/shot.bmp").c_str()), 0.0);
    EXPECT_EQ(SaveScreen(dir.c_str()), 0.0);
    EXPECT_EQ(SaveScreen(""), 0.0);
    EXPECT_EQ(SaveSprite((dir + "empty.png").c_str(), 9), 0.0);
    EXPECT_EQ(SaveSprite((dir + "out.bmp").c_str(), 65536), 0.0);
    struct stat info;
    EXPECT_NE(stat((dir + "empty.png").c_str(), &info), 0);
    const uint8_t pixel[3] = {1, 2, 3};
    EXPECT_EQ(WriteImage((dir + "zero.png").c_str(), pixel, 1, 0, 1, -1), 0);
    EXPECT_EQ(WriteImage((dir + "short.bmp").c_str(), pixel, 2, 1, 1, -1), 0);
}
