// Screen size changes on a headless context: drawing, read-back, saved screens
// and the program's screenshot reach the whole new size after growing and
// shrinking, through the fullscreen switch and with multisampling, and the
// textures, fonts and surfaces made before a change still draw. Also the
// limits of Lua_Setscreen and Lua_Viewport as a script meets them.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <vector>

#include "core/engine.h"
#include "gfx2d/gfx2d.h"
#include "pixels/pixels_support.h"
#include "support/headless.h"

namespace {

struct Corner {
    int x, y;  // the corner pixel itself
    Rgb colour;
};

// The four corner pixels of a w x h screen, a colour each.
std::vector<Corner> CornersOf(int w, int h) {
    return {{0, 0, kRed}, {w - 1, 0, kGreen}, {0, h - 1, kBlue}, {w - 1, h - 1, kWhite}};
}

// Black screen with a 4 x 4 rectangle in each corner.
void DrawCorners(int w, int h) {
    DrawRect(0, 0, w, h, 0);
    for (const Corner& c : CornersOf(w, h))
        DrawRect(c.x == 0 ? 0 : w - 4, c.y == 0 ? 0 : h - 4, 4, 4, ColourOf(c.colour));
}

// The corners through GetPixel, a direct read and SaveScreen's file.
void ExpectCorners(int w, int h, const std::string& dir) {
    ASSERT_EQ(engine.screen->width, w);
    ASSERT_EQ(engine.screen->height, h);
    for (const Corner& c : CornersOf(w, h)) {
        EXPECT_EQ(GetPixel(c.x, c.y), ColourOf(c.colour)) << w << "x" << h << " at " << c.x << "," << c.y;
        EXPECT_EQ(ReadPixel(c.x, c.y), c.colour) << w << "x" << h << " at " << c.x << "," << c.y;
    }
    EXPECT_EQ(GetPixel(w / 2, h / 2), 0.0);
    const std::string file = dir + "screen.bmp";
    ASSERT_EQ(SaveScreen(file.c_str()), 1.0);
    const ReadBack saved = ReadWithImageMagick(file);
    ASSERT_EQ(saved.width, w);
    ASSERT_EQ(saved.height, h);
    for (const Corner& c : CornersOf(w, h))
        EXPECT_EQ(saved.At(c.x, c.y), c.colour) << "saved " << w << "x" << h << " at " << c.x << "," << c.y;
}

class ScreenSize : public ::testing::Test {
protected:
    void SetUp() override { dir = UseScratchTempDirectory(); }
    // Changes the size, then draws and reads the corners of the new size.
    void Check(int w, int h, int fullscreen = 0) {
        SetScreen(w, h, fullscreen);
        DrawCorners(w, h);
        ExpectCorners(w, h, dir);
    }
    std::string dir;
};

}  // namespace

TEST_F(ScreenSize, DrawingReachesEveryCornerAfterGrowingAndShrinking) {
    StartHeadless({320, 240, 0});
    Check(400, 300);
    Check(200, 100);
    Check(333, 257);
    Check(333, 257);  // the same size again changes nothing
}

TEST_F(ScreenSize, TheFullscreenSwitchFallbackFollowsTheSize) {
    StartHeadless({320, 240, 0});
    Check(641, 479, 1);  // no display offers this mode: a window of that size
    EXPECT_EQ(engine.screen->fullscreenActive, 0);
    Check(300, 200, 1);
    Check(300, 200);
}

TEST_F(ScreenSize, AMultisampledScreenKeepsItsSamplesAcrossAChange) {
    StartHeadless({320, 240, 60, 4});
    GLint before = 0, after = 0;
    glGetIntegerv(GL_SAMPLES, &before);
    EXPECT_EQ(before, engine.screen->multisampleInForce);
    // Multisampled, the rectangles' edges may move by a pixel; the pixels two
    // in from each corner are inside them either way.
    for (auto [w, h] : {std::pair{400, 300}, std::pair{160, 120}}) {
        SetScreen(w, h, 0);
        DrawCorners(w, h);
        ASSERT_EQ(engine.screen->width, w);
        for (const Corner& c : CornersOf(w, h))
            EXPECT_EQ(ReadPixel(c.x == 0 ? 2 : w - 3, c.y == 0 ? 2 : h - 3), c.colour) << w << "x" << h;
        EXPECT_EQ(ReadPixel(w / 2, h / 2), kBlack);
    }
    glGetIntegerv(GL_SAMPLES, &after);
    EXPECT_EQ(after, before);
}

TEST_F(ScreenSize, TexturesFontsAndSurfacesMadeBeforeAChangeStillDraw) {
    StartHeadless({320, 240, 0});
    SpriteStore* store = ActiveSpriteStore();
    MakeSprite(5, Picture(8, 8, kGreen));
    CreateScreen(0, 6, 16, 16);
    UseScreen(0);
    DrawRect(0, 0, 16, 16, ColourOf(kRed));
    UseScreen(-1);

    SetScreen(400, 300, 0);
    DrawRect(0, 0, 400, 300, 0);
    DrawSprite(5, 390, 290);
    DrawSprite(6, 340, 10);
    Print("W", 360, 200);
    EXPECT_EQ(ReadPixel(394, 294), kGreen);
    EXPECT_EQ(ReadPixel(348, 18), kRed);
    const std::vector<uint8_t> text = ReadBlock(360, 200, 16, 16);
    EXPECT_NE(std::count(text.begin(), text.end(), 0), (long)text.size()) << "the font drew nothing";

    // The surface still draws into its sprite.
    UseScreen(0);
    DrawRect(0, 0, 4, 4, ColourOf(kBlue));
    UseScreen(-1);
    DrawSprite(6, 340, 10);
    EXPECT_EQ(ReadPixel(341, 11), kBlue);
    EXPECT_EQ(ReadPixel(348, 18), kRed);
    EXPECT_TRUE(glIsTexture(store->plainTexture[5]));
}

// ---------------------------------------------------------------------------
// The real program

namespace {

class ScreenSizeProgram : public ::testing::Test {
protected:
    void SetUp() override { dir = UseScratchTempDirectory(); }
    ProgramRun RunScript(const std::string& text, const std::string& options) {
        std::ofstream(dir + "script.lua") << text;
        return RunProgram(options + " --script '" + dir + "script.lua'", dir);
    }
    std::string dir;
};

// Each turn sets the next size, draws the corners, prints them as GetPixel
// reads them and saves the screen; a turn shows 6 frames (5 of them SetScreen's).
std::string CornerScript(const std::string& dir, const std::vector<std::pair<int, int>>& sizes) {
    std::ostringstream s;
    s << "sizes = {";
    for (const auto& [w, h] : sizes) s << "{" << w << ", " << h << "}, ";
    s << "}\n"
      << "n = (n or 0) + 1\n"
         "Lua_Setscreen(sizes[n][1], sizes[n][2], 0)\n"
         "local w, h = Lua_Screensize()\n"
         "Lua_Drawrect(0, 0, w, h, 0)\n"
         "Lua_Drawrect(0, 0, 4, 4, 255)\n"
         "Lua_Drawrect(w - 4, 0, 4, 4, 65280)\n"
         "Lua_Drawrect(0, h - 4, 4, 4, 16711680)\n"
         "Lua_Drawrect(w - 4, h - 4, 4, 4, 16777215)\n"
         "print('corners', w, h, Lua_Getpixel(0, 0), Lua_Getpixel(w - 1, 0), Lua_Getpixel(0, h - 1),"
         " Lua_Getpixel(w - 1, h - 1), Lua_Savescreen('"
      << dir << "' .. n .. '.png'))\n";
    return s.str();
}

std::string CornerLine(int w, int h) {
    return "corners\t" + std::to_string(w) + "\t" + std::to_string(h) + "\t255\t65280\t16711680\t16777215\t1\n";
}

void ExpectFileCorners(const std::string& file, int w, int h) {
    const ReadBack picture = ReadWithImageMagick(file);
    ASSERT_EQ(picture.width, w) << file;
    ASSERT_EQ(picture.height, h) << file;
    for (const Corner& c : CornersOf(w, h)) EXPECT_EQ(picture.At(c.x, c.y), c.colour) << file;
}

}  // namespace

TEST_F(ScreenSizeProgram, GetPixelSavedScreensAndTheScreenshotAfterGrowingAndShrinking) {
    const ProgramRun grown =
        RunScript(CornerScript(dir, {{400, 300}}), "--frames 6 --screenshot '" + dir + "grown.png'");
    ASSERT_EQ(grown.exitCode, 0) << grown.err;
    EXPECT_EQ(grown.out.substr(grown.out.find("corners")), CornerLine(400, 300));
    ExpectFileCorners(dir + "1.png", 400, 300);
    ExpectFileCorners(dir + "grown.png", 400, 300);

    const ProgramRun shrunk = RunScript(CornerScript(dir, {{400, 300}, {240, 160}}),
                                        "--frames 12 --screenshot '" + dir + "shrunk.bmp'");
    ASSERT_EQ(shrunk.exitCode, 0) << shrunk.err;
    EXPECT_EQ(shrunk.out.substr(shrunk.out.find("corners")), CornerLine(400, 300) + CornerLine(240, 160));
    ExpectFileCorners(dir + "2.png", 240, 160);
    ExpectFileCorners(dir + "shrunk.bmp", 240, 160);
}

TEST_F(ScreenSizeProgram, SetscreenKeepsAnAxisOfZeroOrBelowAndLimitsHugeSizes) {
    StartHeadless();  // the same driver as the program's, for its largest viewport
    GLint maxDims[2];
    glGetIntegerv(GL_MAX_VIEWPORT_DIMS, maxDims);
    // A huge screen is slow to clear and save: each huge size comes with a
    // small one on the other axis.
    const ProgramRun run = RunScript(R"(
n = (n or 0) + 1
if n == 1 then Lua_Setscreen(-5, -5, 0) end
if n == 2 then Lua_Setscreen(0, 40, 0) end
if n == 3 then Lua_Setscreen(1e308, -1, 0) end
if n == 4 then Lua_Setscreen(40, 1e308, 0) end
if n == 5 then Lua_Setscreen(40, 40, 0) end
print("size", Lua_Screensize())
if n == 3 then print("saved", Lua_Savescreen(")" + dir + R"(wide.bmp")) end
)",
                                     "--frames 30");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err.find("script:"), std::string::npos) << run.err;
    const std::string maxW = std::to_string(maxDims[0]), maxH = std::to_string(maxDims[1]);
    EXPECT_EQ(run.out.substr(run.out.find("size")), "size\t320\t240\nsize\t320\t40\nsize\t" + maxW +
                                                        "\t40\nsaved\t1\nsize\t40\t" + maxH + "\nsize\t40\t40\n");
    // Too wide for ImageMagick's default limits: the BMP header tells.
    const std::string wide = ReadWholeFile(dir + "wide.bmp");
    ASSERT_GE(wide.size(), 54u);
    EXPECT_EQ((uint8_t)wide[18] | (uint8_t)wide[19] << 8 | (uint8_t)wide[20] << 16, maxDims[0]);
    EXPECT_EQ(wide.size(), 54u + (size_t)maxDims[0] * 3 * 40);
}

TEST_F(ScreenSizeProgram, ViewportsFarOutDrawNothingAndDoNotOverflow) {
    // The sanitizer build ends the program on an overflow.
    const ProgramRun run = RunScript(R"(
Lua_Drawrect(0, 0, 320, 240, 255)
Lua_Viewport(0, -2147483648, 0, 0)
Lua_Drawrect(0, 0, 320, 240, 65280)
Lua_Viewport(0, 1e308, 1e308, 1e308)
Lua_Drawrect(0, 0, 320, 240, 65280)
Lua_Viewport(-1e308, 0, 10, 10)
Lua_Drawrect(0, 0, 320, 240, 65280)
Lua_Viewport(0, 0, 1e308, 1e308)
print("pixel", Lua_Getpixel(0, 0), Lua_Getpixel(319, 239))
Lua_Viewport(0, 0, 0, 0)
)",
                                     "--frames 1");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err.find("runtime error"), std::string::npos) << run.err;
    EXPECT_EQ(run.out.substr(run.out.find("pixel")), "pixel\t255\t255\n");
}
