// What a script's failed loads say on stderr: one line per name and command,
// with the reason from the reader that refused the file and the script line
// that asked, while the commands' results stay as they were.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdint>
#include <string>

#include "support/headless.h"

namespace {

class LoadFailures : public ::testing::Test {
protected:
    void SetUp() override {
        dir = UseScratchTempDirectory();
        game = dir + "game/";
        ASSERT_EQ(mkdir(game.c_str(), 0755), 0);
    }

    // Runs main.lua of the game folder for `frames` frames.
    ProgramRun Run(const std::string& script, int frames = 3) {
        WriteWholeFile(game + "main.lua", script);
        return RunProgram("--frames " + std::to_string(frames) + " --script '" + game + "main.lua'", dir);
    }

    std::string dir, game;
};

TEST_F(LoadFailures, EachFailedLoadSaysWhyOnceWithTheCommandAndTheLine) {
    WriteWholeFile(game + "words.png", "these are words, not a picture\n");
    WriteWholeFile(game + "short.bmp", GreyBmp(4, 4).substr(0, 60));
    WriteWholeFile(game + "grey.bmp", GreyBmp(4, 4));
    WriteWholeFile(game + "words.ddd", "no object here\n");
    ProgramRun run = Run("for i = 1, 3 do\n"                                     // 1
                         "  Lua_Loadsprite('nothere.png', 1)\n"                  // 2
                         "end\n"                                                 // 3
                         "Lua_Loadbmp('nothere.png')\n"                          // 4
                         "Lua_Loadsprite('words.png', 2)\n"                      // 5
                         "Lua_Loadsprite('short.bmp', 3)\n"                      // 6
                         "Lua_Loadsprite('grey.bmp', 4)\n"                       // 7
                         "Lua_Loadfont('nofont.bmp', 1)\n"                       // 8
                         "Lua_Loadsound('nothere.wav', 1, 1)\n"                  // 9
                         "print('music', Lua_Playmusic('nothere.ogg'))\n"        // 10
                         "print('object', Lua_Loadobject(1, 'nothere.ddd'))\n"   // 11
                         "print('words', Lua_Loadobject(2, 'words.ddd'))\n"      // 12
                         "print('shader', Lua_Loadshader(1, 'nothere.vert', ''))\n"  // 13
                         "print('video', Lua_Playvideo('nothere.mp4', 0))\n"     // 14
                         "local function deeper() Lua_Normalmap('inner.png', 5) end\n"  // 15
                         "deeper()\n"                                            // 16
                         "print('grey', Lua_Getspritesize(4))\n");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const char* lines[] = {
        "revev: nothere.png: no such file (Lua_Loadsprite, main.lua:2)\n",
        "revev: nothere.png: no such file (Lua_Loadbmp, main.lua:4)\n",
        "revev: words.png: not a picture this program reads (Lua_Loadsprite, main.lua:5)\n",
        "revev: short.bmp: damaged (Lua_Loadsprite, main.lua:6)\n",
        "revev: nofont.bmp: no such file (Lua_Loadfont, main.lua:8)\n",
        "revev: nothere.wav: no such file (Lua_Loadsound, main.lua:9)\n",
        "revev: nothere.ogg: no such file (Lua_Playmusic, main.lua:10)\n",
        "revev: nothere.ddd: no such file (Lua_Loadobject, main.lua:11)\n",
        "revev: words.ddd: not an object file, or a damaged one (Lua_Loadobject, main.lua:12)\n",
        "revev: nothere.vert: no such file (Lua_Loadshader, main.lua:13)\n",
        "revev: nothere.mp4: no such file (Lua_Playvideo, main.lua:14)\n",
        "revev: inner.png: no such file (Lua_Normalmap, main.lua:15)\n",
    };
    for (const char* line : lines) EXPECT_EQ(CountOccurrences(run.err, line), 1) << line << run.err;
    EXPECT_EQ(CountOccurrences(run.err, "revev: "), (int)(sizeof lines / sizeof lines[0])) << run.err;
    EXPECT_EQ(run.err.find("grey.bmp"), std::string::npos) << run.err;
    // The results are those of a silent failure.
    EXPECT_EQ(CountOccurrences(run.out, "grey\t4\t4\n"), 3) << run.out;
    EXPECT_EQ(CountOccurrences(run.out, "music\t0\n"), 3) << run.out;
    EXPECT_EQ(CountOccurrences(run.out, "object\t0\n"), 3) << run.out;
    EXPECT_EQ(CountOccurrences(run.out, "words\t0\n"), 3) << run.out;
    EXPECT_EQ(CountOccurrences(run.out, "shader\t0\n"), 3) << run.out;
    EXPECT_EQ(CountOccurrences(run.out, "video\t3\n"), 3) << run.out;
}

TEST_F(LoadFailures, PicturesTheReadersRefuseSayWhatIsWrongWithThem) {
    std::string bmp16 = GreyBmp(4, 4);
    bmp16[28] = 16;  // bits per pixel
    WriteWholeFile(game + "sixteen.bmp", bmp16);
    WriteWholeFile(game + "empty.png", "");
    std::string badPng = std::string("\x89PNG\r\n\x1a\n", 8) + std::string(40, 'x');
    WriteWholeFile(game + "bad.png", badPng);
    ProgramRun run = Run("Lua_Loadsprite('sixteen.bmp', 1)\n"
                         "Lua_Loadsprite('empty.png', 2)\n"
                         "Lua_Loadsprite('bad.png', 3)\n",
                         1);
    EXPECT_NE(run.err.find("revev: sixteen.bmp: a BMP of a kind this program does not read (Lua_Loadsprite, main.lua:1)\n"),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("revev: empty.png: empty file (Lua_Loadsprite, main.lua:2)\n"), std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("revev: bad.png: damaged, or larger than this program reads (Lua_Loadsprite, main.lua:3)\n"),
              std::string::npos)
        << run.err;
}

TEST_F(LoadFailures, SceneMembersThatCannotBeLoadedAreNamedAndTheSceneStillLoads) {
    ASSERT_EQ(mkdir((game + "scene/").c_str(), 0755), 0);
    WriteWholeFile(game + "scene/room.txt",
                   ";DDW\n[textures]\ncount=2\n1=gone.bmp\n2=NO_DATA\n[objects]\ncount=1\n1=gone.ddd\n");
    ProgramRun run = Run("print('scene', Lua_Loadobject(1, 'scene/room.txt'))\n", 2);
    EXPECT_EQ(CountOccurrences(run.out, "scene\t1\n"), 2) << run.out;
    EXPECT_EQ(CountOccurrences(run.err, "revev: scene/gone.bmp: no such file (Lua_Loadobject, main.lua:1)\n"), 1)
        << run.err;
    EXPECT_EQ(CountOccurrences(run.err, "revev: scene/gone.ddd: no such file (Lua_Loadobject, main.lua:1)\n"), 1)
        << run.err;
    EXPECT_EQ(run.err.find("NO_DATA"), std::string::npos) << run.err;
}

// Many different names each get their line; the same name under another
// command is another failure.
TEST_F(LoadFailures, TheSameNameUnderAnotherCommandIsReportedAgain) {
    ProgramRun run = Run("Lua_Loadsprite('same.bmp', 1)\nLua_Loadsprite('same.bmp', 2)\n"
                         "Lua_Loadfont('same.bmp', 1)\nLua_Setfont(0)\n",
                         2);
    EXPECT_EQ(CountOccurrences(run.err, "revev: same.bmp: no such file (Lua_Loadsprite, main.lua:1)\n"), 1)
        << run.err;
    EXPECT_EQ(CountOccurrences(run.err, "revev: same.bmp: no such file (Lua_Loadfont, main.lua:3)\n"), 1)
        << run.err;
    EXPECT_EQ(CountOccurrences(run.err, "same.bmp"), 2) << run.err;
}

}  // namespace
