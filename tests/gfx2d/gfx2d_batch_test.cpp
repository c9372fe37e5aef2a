// Draw batching and the sprite program are invisible: the same frame drawn by
// a script with the queue on and off, or with textured draws through the
// program and through the fixed-function pipeline, has the same bytes, through
// the program's own Lua state, with runs broken by every kind of binding, by
// texture changes and by present, and with every state that must keep the
// fixed-function pipeline.
#include <gtest/gtest.h>

#include <GL/gl.h>

extern "C" {
#include <lua.h>
}

#include <cmath>
#include <cstring>
#include <fstream>
#include <functional>

#include "application.h"
#include "core/engine.h"
#include "gfx2d/gfx2d.h"
#include "gfx2d_support.h"

namespace {

constexpr int kWidth = 320, kHeight = 240;

std::vector<uint8_t> ReadFrame() {
    std::vector<uint8_t> pixels((size_t)kWidth * kHeight * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, kWidth, kHeight, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

size_t DifferingPixels(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    size_t differing = 0;
    for (size_t i = 0; i < a.size(); i += 4)
        if (a[i] != b[i] || a[i + 1] != b[i + 1] || a[i + 2] != b[i + 2]) ++differing;
    return differing;
}

class Batching : public ::testing::Test {
protected:
    void SetUp() override {
        dir = UseScratchTempDirectory();
        StartScreen(kWidth, kHeight);
        L = CreateLuaState();
        ASSERT_NE(L, nullptr);
        // A ball with a soft edge (alpha falls off outwards, so blending and
        // the alpha test both matter) and a striped picture.
        Picture ball(32, 32);
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x) {
                const double dx = x - 15.5, dy = y - 15.5, d = std::sqrt(dx * dx + dy * dy);
                const int alpha = d >= 16 ? 0 : (int)(255 * (1 - d / 16));
                ball.Set(x, y, (uint32_t)(40 + 6 * x) | (uint32_t)(200 - 5 * y) << 8 | 0x600000u, alpha);
            }
        WriteFile(dir + "ball.png", EncodePng(ball, 6 /* RGBA */, 8));
        Picture stripes(24, 10);
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 24; ++x) stripes.Set(x, y, (x / 3) % 2 ? 0xFF2020u : 0x20FF20u);
        WriteFile(dir + "stripes.bmp", EncodeBmp(stripes, 24));
    }

    void TearDown() override {
        SetDrawBatching(false);
        SetSpriteProgram(true);
        if (L) lua_close(L);
    }

    void Run(const std::string& text) {
        const std::string path = dir + "frame.lua";
        std::ofstream(path) << text;
        testing::internal::CaptureStderr();
        RunScriptFile(L, path.c_str());
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    }

    // The frame the script draws, batched or not, through the sprite program
    // where it can be used or never.
    std::vector<uint8_t> Frame(const std::string& script, bool batched, bool program = true) {
        SetDrawBatching(batched);
        SetSpriteProgram(program);
        ClearTo(0, 0, 0);
        Run(script);
        FlushDrawBatch();
        return ReadFrame();
    }

    void ExpectSameFrame(const std::string& script) {
        const std::vector<uint8_t> plain = Frame(script, false);
        const std::vector<uint8_t> batched = Frame(script, true);
        ASSERT_EQ(plain.size(), batched.size());
        EXPECT_EQ(DifferingPixels(plain, batched), 0u);
        // The script drew something: a blank frame would compare equal too.
        EXPECT_GT(DifferingPixels(plain, std::vector<uint8_t>(plain.size(), 0)), 1000u);
    }

    void ExpectProgramInvisible(const std::string& script, bool batched) {
        const std::vector<uint8_t> fixed = Frame(script, batched, false);
        const std::vector<uint8_t> programmed = Frame(script, batched, true);
        EXPECT_EQ(DifferingPixels(fixed, programmed), 0u);
        EXPECT_GT(DifferingPixels(fixed, std::vector<uint8_t>(fixed.size(), 0)), 1000u);
    }

    std::string dir;
    lua_State* L = nullptr;
};

const char* kLoad =
    "Lua_Loadsprite(DIR .. 'ball.png', 1)\n"
    "Lua_Loadsprite(DIR .. 'stripes.bmp', 2)\n";

TEST_F(Batching, SpritesRotatedSpritesAndTextGiveTheSameBytes) {
    Run(std::string("DIR = '") + dir + "'\n" + kLoad);
    ExpectSameFrame(R"(
        local s = 7
        local function rnd(n) s = (s * 1103515245 + 12345) % 2147483648; return math.floor(s / 65536) % n end
        Lua_Alphamode(-1)
        for i = 1, 600 do Lua_Drawsprite(1, rnd(300) - 10, rnd(230) - 10) end
        for i = 1, 400 do Lua_Rotozoomsprite(1, rnd(300), rnd(220), rnd(3600) / 10, 0.25 + rnd(300) / 100) end
        for i = 1, 60 do Lua_Print("Batched text, 40 characters in one line", rnd(200), rnd(230)) end
        -- Sprites at fractional places, and slots outside the store.
        for i = 1, 100 do Lua_Drawsprite(1, rnd(3000) / 10, rnd(2300) / 10) end
        Lua_Drawsprite(-1, 10, 10); Lua_Drawsprite(70000, 10, 10); Lua_Rotozoomsprite(9, 5, 5, 30, 1)
    )");
}

TEST_F(Batching, RunsBrokenByBindingsTexturesAndStateKeepTheirOrder) {
    Run(std::string("DIR = '") + dir + "'\n" + kLoad);
    ExpectSameFrame(R"(
        for i = 0, 40 do
          Lua_Alphamode(i % 3 == 0 and -1 or (i % 3 == 1 and 0.5 or 0))
          Lua_Drawsprite(i % 2 + 1, i * 7, i * 5)
          Lua_Rotozoomsprite(2 - i % 2, i * 7 + 3, 100 + i, i * 9, 1.5)
          Lua_Print("abc", i * 7, 200 - i)
          Lua_Drawrect(i * 7 + 2, i * 5 + 2, 6, 6, 255 + 65536 * (i * 6))
          Lua_Drawsprite(1, i * 7 + 4, i * 5 + 4)
          Lua_Stretchsprite(2, i * 7, 150, 12 + i, 8)
          Lua_Print("after a rectangle", 5, i * 5)
        end
    )");
}

Rgba seenAtPresent;

TEST_F(Batching, PresentDrawsTheQueueIntoTheFrameItShows) {
    Run(std::string("DIR = '") + dir + "'\n" + kLoad);
    SetDrawBatching(true);
    ClearTo(0, 0, 0);
    Run("Lua_Alphamode(0) Lua_Drawsprite(2, 100, 100)");
    // Queued, so not in the frame yet; the frame routine draws it before it
    // shows the frame.
    EXPECT_EQ(ReadPixel(101, 101), (Rgba{0, 0, 0, 255}));
    SetPresentHook([] { seenAtPresent = ReadPixel(101, 101); });
    ShowScreen();
    SetPresentHook(nullptr);
    EXPECT_NE(seenAtPresent, (Rgba{0, 0, 0, 255}));
}

TEST_F(Batching, TurningBatchingOffOrLosingTheScreenFlushesOrDropsTheQueue) {
    Run(std::string("DIR = '") + dir + "'\n" + kLoad);
    SetDrawBatching(true);
    ClearTo(0, 0, 0);
    Run("Lua_Alphamode(0) Lua_Drawsprite(2, 10, 10)");
    SetDrawBatching(false);
    EXPECT_NE(ReadPixel(11, 11), (Rgba{0, 0, 0, 255}));
    // A plain C++ draw after queued ones comes after them.
    SetDrawBatching(true);
    Run("Lua_Drawsprite(1, 50, 50)");
    DrawSprite(2, 50, 50);
    EXPECT_EQ(ReadPixel(51, 51), ReadPixel(11, 11));
}

// The comparisons below are only worth something where the program is used;
// the software GL the tests run on has GLSL 1.30.
TEST_F(Batching, TheSpriteProgramIsBuiltOnTheSoftwareGl) {
    const char* renderer = (const char*)glGetString(GL_RENDERER);
    if (!renderer || !std::strstr(renderer, "llvmpipe")) GTEST_SKIP() << "renderer " << (renderer ? renderer : "?");
    EXPECT_TRUE(SpriteProgramReady());
    SetSpriteProgram(false);
    EXPECT_FALSE(SpriteProgramReady());
}

const char* kMixedFrame = R"(
    local s = 11
    local function rnd(n) s = (s * 1103515245 + 12345) % 2147483648; return math.floor(s / 65536) % n end
    local modes = {-1, 0, 1, -0.3, 0.7}
    for m = 1, #modes do
      Lua_Alphamode(modes[m])
      for i = 1, 60 do Lua_Drawsprite(1, rnd(300) - 10, rnd(230) - 10) end
      for i = 1, 30 do Lua_Drawsprite(2, rnd(3000) / 10, rnd(2300) / 10) end
      for i = 1, 70 do Lua_Rotozoomsprite(1 + math.floor(i / 36), rnd(300), rnd(220), rnd(3600) / 10, 0.1 + rnd(400) / 100) end
      for i = 1, 20 do Lua_Stretchsprite(2, rnd(300), rnd(220), rnd(90) - 45, rnd(60) - 30) end
      for i = 1, 20 do Lua_Zoomsprite(1, rnd(300), rnd(220), rnd(300) / 100, rnd(300) / 100) end
      for i = 1, 10 do Lua_Print("Text through the program, long enough", rnd(200), rnd(230)) end
    end
    -- A surface drawn into and then shown as a sprite.
    Lua_Createscreen(0, 5, 64, 48)
    Lua_Usescreen(0)
    Lua_Alphamode(-1)
    for i = 1, 40 do Lua_Rotozoomsprite(1, rnd(64), rnd(48), rnd(360), 0.7) end
    Lua_Usescreen(-1)
    for i = 1, 5 do Lua_Rotozoomsprite(5, rnd(300), rnd(220), rnd(360), 1.3) end
)";

TEST_F(Batching, TheSpriteProgramGivesTheFixedFunctionBytes) {
    Run(std::string("DIR = '") + dir + "'\n" + kLoad);
    ExpectProgramInvisible(kMixedFrame, false);
    ExpectProgramInvisible(kMixedFrame, true);
}

// Runs long enough for the program, drawn from C++ so that a state can be put
// in place between queueing and drawing: the drawing must follow the state it
// meets, as the fixed-function pipeline does.
std::vector<uint8_t> QueuedFrame(bool program, const std::function<void()>& state) {
    SetSpriteProgram(program);
    SetDrawBatching(true);
    ClearTo(30, 60, 90);
    AlphaMode(-1);
    for (int i = 0; i < 64; ++i) QueueRotoZoomSprite(1, 10 + (i * 37) % 280, 10 + (i * 53) % 200, i * 17, 1.7);
    state();
    FlushDrawBatch();
    for (int i = 0; i < 48; ++i) QueueSprite(2, (i * 41) % 300, (i * 29) % 220);
    state();
    FlushDrawBatch();
    SetDrawBatching(false);
    return ReadFrame();
}

struct StateCase {
    const char* name;
    std::function<void()> set, undo;
    // The state without the one under test, when it needs more than the
    // default.
    std::function<void()> base = [] {};
};

TEST_F(Batching, EveryOtherFixedFunctionStateIsDrawnAsTheFixedFunctionPipelineDrawsIt) {
    Run(std::string("DIR = '") + dir + "'\n" + kLoad);
    static GLfloat diffuse[4] = {0.2f, 0.9f, 0.4f, 1.0f}, fogColour[4] = {0.8f, 0.1f, 0.1f, 1.0f};
    static GLfloat plane[4] = {0.01f, 0.02f, 0, 0};
    const StateCase cases[] = {
        {"colour outside 0..1", [] { glColor4f(1.5f, 0.5f, -0.25f, 0.8f); }, [] {}},
        {"lighting",
         [] {
             glEnable(GL_LIGHTING);
             glEnable(GL_LIGHT0);
             glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
         },
         [] {
             glDisable(GL_LIGHT0);
             glDisable(GL_LIGHTING);
         }},
        {"fog",
         [] {
             glEnable(GL_FOG);
             glFogi(GL_FOG_MODE, GL_LINEAR);
             glFogf(GL_FOG_START, -1.0f);
             glFogf(GL_FOG_END, 0.5f);
             glFogfv(GL_FOG_COLOR, fogColour);
         },
         [] { glDisable(GL_FOG); }},
        {"generated coordinates",
         [] {
             glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_OBJECT_LINEAR);
             glTexGenfv(GL_S, GL_OBJECT_PLANE, plane);
             glEnable(GL_TEXTURE_GEN_S);
         },
         [] { glDisable(GL_TEXTURE_GEN_S); }},
        {"replace mode",
         [] {
             glColor4f(0.5f, 0.5f, 0.5f, 0.5f);
             glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
         },
         [] { glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE); },
         [] { glColor4f(0.5f, 0.5f, 0.5f, 0.5f); }},
        {"texture matrix",
         [] {
             glMatrixMode(GL_TEXTURE);
             glScalef(0.5f, 2.0f, 1.0f);
             glMatrixMode(GL_MODELVIEW);
         },
         [] {
             glMatrixMode(GL_TEXTURE);
             glLoadIdentity();
             glMatrixMode(GL_MODELVIEW);
         }},
        {"second unit",
         [] {
             glExt.glActiveTextureARB(GL_TEXTURE1);
             glEnable(GL_TEXTURE_2D);
             glBindTexture(GL_TEXTURE_2D, ActiveSpriteStore()->plainTexture[1]);
             glExt.glActiveTextureARB(GL_TEXTURE0);
         },
         [] {
             glExt.glActiveTextureARB(GL_TEXTURE1);
             glDisable(GL_TEXTURE_2D);
             glExt.glActiveTextureARB(GL_TEXTURE0);
             ResetSpriteBinding();
         }},
    };
    const std::vector<uint8_t> unchanged = QueuedFrame(false, [] {});
    EXPECT_EQ(DifferingPixels(unchanged, QueuedFrame(true, [] {})), 0u);
    for (const StateCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<uint8_t> fixed = QueuedFrame(false, c.set);
        c.undo();
        // The state matters to the picture, so a program that ignored it
        // would show.
        EXPECT_GT(DifferingPixels(QueuedFrame(false, c.base), fixed), 1000u);
        c.undo();
        EXPECT_EQ(DifferingPixels(fixed, QueuedFrame(true, c.set)), 0u);
        c.undo();
    }
    glColor4f(1, 1, 1, 1);
}

}  // namespace
