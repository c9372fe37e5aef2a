// Draw batching is invisible: the same frame drawn by a script with the queue
// on and off has the same bytes, through the program's own Lua state, with
// runs broken by every kind of binding, by texture changes and by present.
#include <gtest/gtest.h>

#include <GL/gl.h>

extern "C" {
#include <lua.h>
}

#include <cmath>
#include <fstream>

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
        if (L) lua_close(L);
    }

    void Run(const std::string& text) {
        const std::string path = dir + "frame.lua";
        std::ofstream(path) << text;
        testing::internal::CaptureStderr();
        RunScriptFile(L, path.c_str());
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    }

    // The frame the script draws, batched or not.
    std::vector<uint8_t> Frame(const std::string& script, bool batched) {
        SetDrawBatching(batched);
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

}  // namespace
