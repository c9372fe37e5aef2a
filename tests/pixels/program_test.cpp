// The real program, headless: --screenshot with --frames N, and the bindings
// as a script sees them, with and without framebuffer objects.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "pixels/pixels_support.h"
#include "support/headless.h"

namespace {

class Program : public ::testing::Test {
protected:
    void SetUp() override { dir = UseScratchTempDirectory(); }
    void TearDown() override { unsetenv("REVEV_NO_FBO"); }
    ProgramRun RunScript(const std::string& text, const std::string& options) {
        std::ofstream(dir + "script.lua") << text;
        return RunProgram(options + " --script '" + dir + "script.lua'", dir);
    }
    std::string dir;
};

}  // namespace

TEST_F(Program, TheScreenshotIsTheDemosFifthFrame) {
    ASSERT_EQ(RunProgram("--frames 5 --screenshot '" + dir + "out.png'", dir).exitCode, 0);
    ASSERT_EQ(RunProgram("--frames 5 --screenshot '" + dir + "again.png'", dir).exitCode, 0);
    ASSERT_EQ(RunProgram("--frames 4 --screenshot '" + dir + "four.png'", dir).exitCode, 0);
    const ReadBack shot = ReadWithImageMagick(dir + "out.png");
    ASSERT_EQ(shot.width, 320);
    ASSERT_EQ(shot.height, 240);
    EXPECT_NE(shot.At(160, 20), kBlack);  // the sky, not a cleared buffer
    EXPECT_EQ(ReadWithImageMagick(dir + "again.png").rgba, shot.rgba);
    EXPECT_NE(ReadWithImageMagick(dir + "four.png").rgba, shot.rgba);

    const ProgramRun run = RunProgram("--frames 1 --screenshot '" + dir + "missing/x.png'", dir);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.err.find("cannot write the screenshot"), std::string::npos) << run.err;
}

TEST_F(Program, TheBindingsAndTheScreenshotFromAScript) {
    const std::string script = R"(
n = (n or 0) + 1
Lua_Drawrect(0, 0, 320, 240, n * 40)
if n > 1 then
  Lua_Usescreen(0)  -- still active when the frame is shown
  Lua_Drawrect(0, 0, 8, 8, 65280)
  return
end
local dir = ")" + dir + R"("
Lua_Drawrect(10, 10, 4, 4, 255)
print("pixel", Lua_Getpixel(11, 11), Lua_Getpixel(15, 15), Lua_Getpixel())
print("grab", Lua_Grabsprite(1, 10, 10, 4, 4), Lua_Getspritesize(1))
print("hit", Lua_Spritecollision(1, 0, 0, 1, 3, 3), Lua_Spritecollision(1, 0, 0, 1, 4, 0))
print("save", Lua_Savescreen(dir .. "s.bmp"), Lua_Savesprite(dir .. "p.png", 1), Lua_Savescreen())
Lua_Createscreen(0, 2, 16, 8)
Lua_Usescreen(0)
Lua_Drawrect(0, 0, 2, 2, 65280)
print("inside", Lua_Getpixel(0, 0), Lua_Getspritesize(2))
Lua_Usescreen(-1)
print("outside", Lua_Getpixel(0, 0))
Lua_Grabbackground(3)
)";
    for (const char* fbo : {"0", "1"}) {
        setenv("REVEV_NO_FBO", fbo, 1);
        const ProgramRun run = RunScript(script, "--frames 3 --screenshot '" + dir + "shot.bmp'");
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.out.substr(run.out.find("pixel")),
                  "pixel\t255\t40\t40\ngrab\t1\t4\t4\nhit\t1\t0\nsave\t1\t1\t0\n"
                  "inside\t65280\t16\t8\noutside\t40\n")
            << fbo;
        EXPECT_EQ(ReadWithImageMagick(dir + "p.png").width, 4);
        // Frame 3's colour everywhere: the surface ended before it was shown.
        const ReadBack shot = ReadWithImageMagick(dir + "shot.bmp");
        ASSERT_EQ(shot.width, 320) << fbo;
        EXPECT_EQ(shot.At(0, 0), (Rgb{120, 0, 0})) << fbo;
        EXPECT_EQ(shot.At(319, 239), (Rgb{120, 0, 0})) << fbo;
    }
}
