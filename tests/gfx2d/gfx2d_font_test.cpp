// Fonts and text on a real headless frame: the built-in font's glyphs and
// outline, the cell grid of 8- and 16-row pictures, where text lands, byte
// codes past 127, fonts chosen and clamped, numbers, and text at 3D points.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include "core/engine.h"
#include "gfx2d/gfx2d.h"
#include "gfx2d_support.h"

namespace {

// A glyph-cell colour that no other code shares and that is never black.
uint32_t CodeColour(int code) { return (uint32_t)(code + 1) | (uint32_t)(255 - code) << 8 | 0x400000u; }
Rgba CodeRgba(int code) { return {code + 1, 255 - code, 0x40, 255}; }

class Fonts : public ::testing::Test {
protected:
    void SetUp() override {
        dir = UseScratchTempDirectory();
        StartScreen();
        ClearTo(0, 0, 0);
    }

    // A font picture whose every cell is filled with the colour of its code,
    // with a black (transparent) right column and bottom row in each cell.
    std::string SolidFont(int width, int height, const std::string& name) {
        const int rows = height >= width ? 16 : 8;
        const int cw = width / 16, ch = height / rows;
        Picture picture(width, height);
        for (int code = 0; code < 16 * rows; ++code)
            for (int y = 0; y < ch - 1; ++y)
                for (int x = 0; x < cw - 1; ++x)
                    picture.Set((code % 16) * cw + x, (code / 16) * ch + y, CodeColour(code));
        WriteFile(dir + name, EncodeBmp(picture, 24));
        return dir + name;
    }

    std::string dir;
};

}  // namespace

TEST(BuiltinFont, GlyphsHaveTheirDotsAndAOnePixelOutline) {
    ImageBuffer image;
    MakeBuiltinFontImage(image);
    ASSERT_EQ(image.width, 128);
    ASSERT_EQ(image.height, 64);
    auto at = [&](int x, int y) { return &image.pixels[((size_t)y * 128 + x) * 4]; };
    // Code 65 sits in column 1, row 4: its cell starts at (8, 32), dots at +1.
    const char* rows[] = {".###.", ".#.#.", ".###.", ".#.#.", ".#.#.", "....."};
    for (int row = 0; row < 6; ++row)
        for (int column = 0; column < 5; ++column) {
            const uint8_t* p = at(8 + 1 + column, 32 + 1 + row);
            if (rows[row][column] == '#') {
                EXPECT_EQ(p[0], 255) << column << "," << row;
                EXPECT_EQ(p[3], 255);
            } else {
                EXPECT_NE(p[0], 255) << column << "," << row;
            }
        }
    // Left of dot (1, 0): outline grey; a corner away from every dot: clear.
    EXPECT_EQ(at(8 + 1, 32 + 1)[0], 8);
    EXPECT_EQ(at(8 + 1, 32 + 1)[3], 255);
    EXPECT_EQ(at(8, 32)[3], 0);
    // Column 7 of every cell is never coloured, nor are codes 0 to 31.
    for (int y = 0; y < 64; ++y) EXPECT_EQ(at(127, y)[3], 0);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 128; ++x) ASSERT_EQ(at(x, y)[3], 0);
    // Code 127 is a full frame: its dot (0, 0) and (4, 5) are set.
    EXPECT_EQ(at(15 * 8 + 1, 7 * 8 + 1)[0], 255);
    EXPECT_EQ(at(15 * 8 + 5, 7 * 8 + 6)[0], 255);
}

TEST_F(Fonts, AMissingFontFileGivesTheBuiltinFont) {
    testing::internal::CaptureStdout();
    LoadFont((dir + "absent.bmp").c_str(), 3);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    SpriteStore* store = ActiveSpriteStore();
    EXPECT_EQ(engine.currentFont, 3);
    EXPECT_EQ(store->imageWidth[kFirstFontSlot + 3], 128);
    EXPECT_EQ(store->imageHeight[kFirstFontSlot + 3], 64);
    EXPECT_EQ(store->textureWidth[kFirstFontSlot + 3], 128);
    EXPECT_EQ(store->mipTexture[kFirstFontSlot + 3], 0u);
    double w, h;
    GetFontSize(w, h);
    EXPECT_EQ(w, 8);
    EXPECT_EQ(h, 8);
    // "A" in white dots on the screen, the outline dark grey.
    Print("A", 40, 40);
    EXPECT_EQ(ReadPixel(40 + 2, 40 + 1), (Rgba{255, 255, 255, 255}));
    EXPECT_EQ(ReadPixel(40 + 1, 40 + 1), (Rgba{8, 8, 8, 255}));
    EXPECT_EQ(ReadPixel(40 + 3, 40 + 2), (Rgba{8, 8, 8, 255}));  // inside the A's counter
    EXPECT_EQ(ReadPixel(40, 40), (Rgba{0, 0, 0, 255}));
}

TEST_F(Fonts, TextStartsAtTheRoundedCornerAndAdvancesByCells) {
    LoadFont(SolidFont(128, 64, "solid.bmp").c_str(), 0);
    Print("abc", 10.5, 20);
    EXPECT_EQ(ReadPixel(11, 20), CodeRgba('a'));
    EXPECT_EQ(ReadPixel(10, 20), (Rgba{0, 0, 0, 255}));
    EXPECT_EQ(ReadPixel(17, 26), CodeRgba('a'));
    EXPECT_EQ(ReadPixel(18, 20), (Rgba{0, 0, 0, 255}));  // the cell's transparent column
    EXPECT_EQ(ReadPixel(19, 20), CodeRgba('b'));
    EXPECT_EQ(ReadPixel(27, 26), CodeRgba('c'));
    // Bytes of 128 and more show the glyph 128 lower in an 8-row font.
    Print("\xC1", 100, 100);
    EXPECT_EQ(ReadPixel(101, 101), CodeRgba(65));
}

TEST_F(Fonts, TallPicturesHaveSixteenRowsOf256Glyphs) {
    LoadFont(SolidFont(256, 256, "tall.bmp").c_str(), 1);
    double w, h;
    GetFontSize(w, h);
    EXPECT_EQ(w, 16);
    EXPECT_EQ(h, 16);
    Print("\xC1" "A", 0, 0);
    EXPECT_EQ(ReadPixel(3, 3), CodeRgba(193));
    EXPECT_EQ(ReadPixel(16 + 3, 3), CodeRgba(65));

    // A wide picture of 256 x 128 has 8 rows of 16 x 16 cells.
    LoadFont(SolidFont(256, 128, "wide.bmp").c_str(), 2);
    GetFontSize(w, h);
    EXPECT_EQ(w, 16);
    EXPECT_EQ(h, 16);
    Print("\xC1", 50, 50);
    EXPECT_EQ(ReadPixel(60, 60), CodeRgba(65));
}

TEST_F(Fonts, FontNumbersAreClampedAndEmptyTextTouchesNothing) {
    SetFont(40);
    EXPECT_EQ(engine.currentFont, 31);
    SetFont(-3);
    EXPECT_EQ(engine.currentFont, 0);
    SetFont(2.9);
    EXPECT_EQ(engine.currentFont, 2);
    LoadFont("", 99);
    EXPECT_EQ(engine.currentFont, 31);

    BindSprite(-1, -1, false);
    GLint before = -1;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &before);
    Print("", 10, 10);
    GLint after = -2;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &after);
    EXPECT_EQ(before, after);
    EXPECT_EQ(boundSprite, -1);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
}

TEST_F(Fonts, NumbersPrintWithTenSignificantDigits) {
    LoadFont(SolidFont(128, 64, "solid.bmp").c_str(), 0);
    PrintNumber(2.5, 0, 0);
    EXPECT_EQ(ReadPixel(1, 1), CodeRgba('2'));
    EXPECT_EQ(ReadPixel(9, 1), CodeRgba('.'));
    EXPECT_EQ(ReadPixel(17, 1), CodeRgba('5'));
    EXPECT_EQ(ReadPixel(25, 1), (Rgba{0, 0, 0, 255}));
    // 1/3 is "0.3333333333": twelve cells, nothing in the thirteenth.
    PrintNumber(1.0 / 3.0, 0, 20);
    EXPECT_EQ(ReadPixel(11 * 8 + 1, 21), CodeRgba('3'));
    EXPECT_EQ(ReadPixel(12 * 8 + 1, 21), (Rgba{0, 0, 0, 255}));
}

TEST_F(Fonts, TheDefaultFontFileHasTheFontLayout) {
    const std::string path = std::string(REVEV_SOURCE_DIR) + "/smalfont.bmp";
    LoadFont(path.c_str(), 4);
    SpriteStore* store = ActiveSpriteStore();
    EXPECT_EQ(store->imageWidth[kFirstFontSlot + 4], 128);
    EXPECT_EQ(store->imageHeight[kFirstFontSlot + 4], 64);
    double w, h;
    GetFontSize(w, h);
    EXPECT_EQ(w, 8);
    EXPECT_EQ(h, 8);
    // Its black background is transparent: a space prints nothing.
    ClearTo(0, 0, 200);
    Print(" ", 0, 0);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) ASSERT_EQ(ReadPixel(x, y), (Rgba{0, 0, 200, 255}));
    Print("#", 0, 0);
    int lit = 0;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) lit += ReadPixel(x, y).b != 200;
    EXPECT_GT(lit, 10);
}

TEST_F(Fonts, TextAtA3DPoint) {
    LoadFont(SolidFont(128, 64, "solid.bmp").c_str(), 5);
    // Size 0: projected (2D projection, identity model-view: the point is the
    // pixel), centred on it with the glyphs standing on it.
    PrintAt3D(5, "AB", 100, 50, 0, 0);
    EXPECT_EQ(ReadPixel(92, 42), CodeRgba('A'));
    EXPECT_EQ(ReadPixel(100, 42), CodeRgba('B'));
    EXPECT_EQ(ReadPixel(91, 42), (Rgba{0, 0, 0, 255}));
    EXPECT_EQ(ReadPixel(100, 50), (Rgba{0, 0, 0, 255}));
    // The matrices are restored.
    GLint depth = 0;
    glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &depth);
    EXPECT_EQ(depth, 1);

    // Size 1: quads of one cell width in the scene, centred on the point; in
    // this projection "up" runs down the screen. Culling is restored after.
    ClearTo(0, 0, 0);
    PrintAt3D(5, "AB", 200, 100, 0, 1);
    EXPECT_EQ(ReadPixel(193, 101), CodeRgba('A'));
    EXPECT_EQ(ReadPixel(201, 101), CodeRgba('B'));
    EXPECT_EQ(ReadPixel(191, 101), (Rgba{0, 0, 0, 255}));
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
}
