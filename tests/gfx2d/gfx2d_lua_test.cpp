// The Lua side of the 2D graphics. Pixels are checked in this process: the
// application's own Lua state (CreateLuaState, every binding registered) runs
// script files on a real headless frame. What a script sees as values is
// checked through the real program, `revev --frames N --script FILE`.
#include <gtest/gtest.h>
#include <sys/wait.h>

extern "C" {
#include <lua.h>
}

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "application.h"
#include "gfx2d/gfx2d.h"
#include "gfx2d_support.h"

namespace {

const Rgba kBlack{0, 0, 0, 255};

uint32_t CodeColour(int code) { return (uint32_t)(code + 1) | (uint32_t)(255 - code) << 8 | 0x400000u; }
Rgba CodeRgba(int code) { return {code + 1, 255 - code, 0x40, 255}; }

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class LuaScripts : public ::testing::Test {
protected:
    void SetUp() override {
        dir = UseScratchTempDirectory();
        StartScreen();
        L = CreateLuaState();
        ASSERT_NE(L, nullptr);
        // A font whose every cell is solid in the colour of its code.
        Picture font(128, 64);
        for (int code = 0; code < 128; ++code)
            for (int y = 0; y < 7; ++y)
                for (int x = 0; x < 7; ++x) font.Set((code % 16) * 8 + x, (code / 16) * 8 + y, CodeColour(code));
        WriteFile(dir + "font.bmp", EncodeBmp(font, 24));
        LoadFont((dir + "font.bmp").c_str(), 0);
        ClearTo(0, 0, 0);
    }

    void TearDown() override {
        if (L) lua_close(L);
    }

    // Runs a script in the program's Lua state; fails on any script error.
    // Returns what it wrote on stderr (a failed load says so there).
    std::string Run(const std::string& text) {
        const std::string path = dir + "script.lua";
        std::ofstream(path) << text;
        testing::internal::CaptureStderr();
        RunScriptFile(L, path.c_str());
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(err.find("revev: script"), std::string::npos) << text << "\n" << err;
        return err;
    }

    std::string Picture24(const std::string& name, uint32_t colour, int w = 8, int h = 8) {
        WriteFile(dir + name, EncodeBmp(Picture(w, h, colour), 24));
        return dir + name;
    }

    bool RegionIsBlack(int x0, int y0, int x1, int y1) {
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                if (!(ReadPixel(x, y) == kBlack)) return false;
        return true;
    }

    std::string dir;
    lua_State* L = nullptr;
};

}  // namespace

TEST_F(LuaScripts, PrintMapsItsArgumentsFromTheLastOne) {
    Run("Lua_Print('A', 10, 20)");
    EXPECT_EQ(ReadPixel(10, 20), CodeRgba('A'));
    EXPECT_EQ(ReadPixel(9, 20), kBlack);

    // Two arguments are x and y: the empty text, so nothing at all.
    ClearTo(0, 0, 0);
    Run("Lua_Print(10, 20)");
    EXPECT_TRUE(RegionIsBlack(0, 0, 60, 40));

    // A nil x leaves its slot empty, which reads as 0.
    Run("Lua_Print('A', nil, 20)");
    EXPECT_EQ(ReadPixel(0, 20), CodeRgba('A'));

    // One argument is y; extra arguments in front are ignored.
    ClearTo(0, 0, 0);
    Run("Lua_Print('A')");
    EXPECT_TRUE(RegionIsBlack(0, 0, 60, 40));
    Run("Lua_Print('ignored', 'B', 30, 40)");
    EXPECT_EQ(ReadPixel(30, 40), CodeRgba('B'));

    // Numbers travel as text both ways; a numeric text counts as its number.
    Run("Lua_Print('C', '12.5', 60) Lua_Print(7, 100, 60)");
    EXPECT_EQ(ReadPixel(13, 60), CodeRgba('C'));
    EXPECT_EQ(ReadPixel(12, 60), kBlack);
    EXPECT_EQ(ReadPixel(100, 60), CodeRgba('7'));
}

TEST_F(LuaScripts, BlackscreenClearsOncePerArgumentThatIsNotNil) {
    const std::string background = Picture24("bg.bmp", 0x00FF00, 320, 240);
    Run("Lua_Loadbmp('" + background + "')");
    SpriteStore* store = ActiveSpriteStore();
    ASSERT_EQ(store->tiledImages[0].rowCount, 1);
    Run("Lua_Blackscreen()");
    Run("Lua_Blackscreen(nil)");
    EXPECT_EQ(store->tiledImages[0].rowCount, 1);
    EXPECT_EQ(ReadPixel(5, 5), (Rgba{0, 255, 0, 255}));
    Run("Lua_Blackscreen(1, 2)");
    EXPECT_EQ(store->tiledImages[0].rowCount, 0);
    EXPECT_EQ(ReadPixel(5, 5), kBlack);
}

TEST_F(LuaScripts, LoadbmpTakesTheLastNameThatIsNotNil) {
    const std::string red = Picture24("red.bmp", 0x0000FF), blue = Picture24("blue.bmp", 0xFF0000);
    Run("Lua_Loadbmp('" + red + "', '" + blue + "')");
    EXPECT_EQ(ReadPixel(2, 2), (Rgba{0, 0, 255, 255}));
    Run("Lua_Loadbmp('" + red + "', nil)");
    EXPECT_EQ(ReadPixel(2, 2), (Rgba{255, 0, 0, 255}));
    // A name that cannot be loaded empties the background and clears.
    EXPECT_EQ(Run("Lua_Loadbmp('" + dir + "none.bmp')"), "revev: " + dir + "none.bmp: no such file\n");
    EXPECT_EQ(ReadPixel(2, 2), kBlack);
    EXPECT_EQ(ActiveSpriteStore()->tiledImages[0].rowCount, 0);
}

TEST_F(LuaScripts, LoadspriteAndDrawsprite) {
    const std::string sprite = Picture24("s.bmp", 0xFFFFFF, 4, 4);
    Run("Lua_Loadsprite('" + sprite + "', 7) Lua_Drawsprite(7, 10.2, 20)");
    EXPECT_EQ(ReadPixel(11, 20), (Rgba{255, 255, 255, 255}));
    EXPECT_EQ(ReadPixel(10, 20), kBlack);
    // A missing x is 0; a missing slot too.
    Run("Lua_Drawsprite(7, nil, 100)");
    EXPECT_EQ(ReadPixel(0, 100), (Rgba{255, 255, 255, 255}));
    // Slots outside the store are ignored.
    Run("Lua_Loadsprite('" + sprite + "', 1e9) Lua_Drawsprite(-5, 0, 0) Lua_Drawsprite(70000, 0, 0)");
}

TEST_F(LuaScripts, ExtraBindingsDrawByPosition) {
    const std::string sprite = Picture24("s.bmp", 0x0000FF, 4, 4);
    Run("Lua_Loadsprite('" + sprite + "', 3)\n"
        "Lua_Stretchsprite(3, 10, 10, 8, 8)\n"
        "Lua_Drawrect(50, 30, -10, 5, 65280)\n"
        "Lua_Alphamode(-0.5) Lua_Setpixel(200, 200, 16777215) Lua_Alphamode(0)\n"
        "Lua_Setfont(0) Lua_Printnumber(2.5, 100, 100)");
    EXPECT_EQ(ReadPixel(17, 17), (Rgba{255, 0, 0, 255}));
    EXPECT_EQ(ReadPixel(41, 31), (Rgba{0, 255, 0, 255}));
    EXPECT_EQ(ReadPixel(51, 31), kBlack);
    EXPECT_NEAR(ReadPixel(200, 200).r, 64, 1);
    EXPECT_EQ(ReadPixel(100, 100), CodeRgba('2'));
    EXPECT_EQ(ReadPixel(108, 100), CodeRgba('.'));
}

// ---------------------------------------------------------------------------
// Through the real program

class Program : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/revev-gfx2d-lua-XXXXXX";
        dir = mkdtemp(pattern);
        setenv("TMPDIR", dir.c_str(), 1);
    }

    // Runs the program on a script; returns its exit code.
    int Start(const std::string& script, int frames) {
        const std::string path = dir + "/script.lua";
        std::ofstream(path) << script;
        const std::string command = std::string("'") + REVEV_BINARY + "' --frames " + std::to_string(frames) +
                                    " --script '" + path + "' >'" + dir + "/out.txt' 2>'" + dir + "/err.txt'";
        int status = std::system(command.c_str());
        out = ReadAll(dir + "/out.txt");
        err = ReadAll(dir + "/err.txt");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string dir, out, err;
};

TEST_F(Program, ScriptsSeeResultsAsLuaValues) {
    WriteFile(dir + "/pic.bmp", EncodeBmp(Picture(100, 50, 0x123456), 24));
    const std::string script =
        "if done then return end done = true\n"
        "print('results', select('#', Lua_Loadsprite('" + dir + "/pic.bmp', 4)), select('#', Lua_Print('x', 1, 2)))\n"
        "print('size', Lua_Getspritesize(4))\n"
        "print('empty', Lua_Getspritesize(5))\n"
        "print('font', Lua_Getfontsize())\n"
        "print('texture', Lua_Texture(4) > 0, Lua_Texture(70000))\n"
        "print('normal', Lua_Normalmap('" + dir + "/pic.bmp', 6), Lua_Normalmap('" + dir + "/none.bmp', 6))\n"
        "Lua_Loadfont('', 40) print('clamped', Lua_Getfontsize())\n";
    ASSERT_EQ(Start(script, 2), 0) << err;
    EXPECT_NE(out.find("results\t0\t0\n"), std::string::npos) << out;
    EXPECT_NE(out.find("size\t100\t50\n"), std::string::npos) << out;
    EXPECT_NE(out.find("empty\t0\t0\n"), std::string::npos) << out;
    EXPECT_NE(out.find("font\t8\t8\n"), std::string::npos) << out;
    EXPECT_NE(out.find("texture\ttrue\t0\n"), std::string::npos) << out;
    EXPECT_NE(out.find("normal\t1\t0\n"), std::string::npos) << out;
    EXPECT_NE(out.find("clamped\t8\t8\n"), std::string::npos) << out;
    EXPECT_EQ(err.find("revev: script"), std::string::npos) << err;
    // The missing normal map is said so; the empty font name asks for the built-in font.
    EXPECT_NE(err.find("/none.bmp: no such file (Lua_Normalmap, script.lua:7)\n"), std::string::npos) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
}

TEST_F(Program, OddArgumentsNeverBreakTheProgram) {
    const std::string script =
        "local odd = {nil, 'text', {}, -1, 1e300, -1e300, 0/0, 65536, 2^31, true}\n"
        "local names = {'Lua_Print', 'Lua_Blackscreen', 'Lua_Loadsprite', 'Lua_Drawsprite', 'Lua_Loadbmp',\n"
        "  'Lua_Normalmap', 'Lua_Settransparency', 'Lua_Texture', 'Lua_Getspritesize', 'Lua_Alphamode',\n"
        "  'Lua_Stretchsprite', 'Lua_Zoomsprite', 'Lua_Rotozoomsprite', 'Lua_Startpoly', 'Lua_Polyvector',\n"
        "  'Lua_Endpoly', 'Lua_Setpixel', 'Lua_Drawline', 'Lua_Drawrect', 'Lua_Drawtiled', 'Lua_Billboard',\n"
        "  'Lua_Loadfont', 'Lua_Setfont', 'Lua_Getfontsize', 'Lua_Printnumber', 'Lua_Label'}\n"
        "for _, name in ipairs(names) do\n"
        "  local f = _G[name]\n"
        "  assert(f, name)\n"
        "  for i = 1, 10 do f(odd[i], odd[(i % 10) + 1], odd[(i + 3) % 10 + 1], odd[(i + 5) % 10 + 1],\n"
        "    odd[(i + 7) % 10 + 1], odd[(i + 2) % 10 + 1]) end\n"
        "  f()\n"
        "end\n"
        "Lua_Alphamode(0) Lua_Settransparency(8388863)\n"
        "print('survived')\n";
    ASSERT_EQ(Start(script, 3), 0) << err;
    EXPECT_NE(out.find("survived"), std::string::npos) << err;
}

TEST_F(Program, TheDemoRunsWithoutScriptErrors) {
    const std::string command = std::string("cd '") + dir + "' && '" + REVEV_BINARY +
                                "' --frames 40 >out.txt 2>err.txt";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(ReadAll(dir + "/out.txt").find("Init OK\n"), 0u);
    EXPECT_EQ(ReadAll(dir + "/err.txt").find("script"), std::string::npos) << ReadAll(dir + "/err.txt");
}
