// require as a script sees it, through the real program: modules from the
// game's folder and from the data archive, loaded once per run, with the
// interpreter's texts for what goes wrong, and nothing that loads C code.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>
#include <vector>

#include "archive_writer.h"
#include "support/headless.h"

namespace {

class Modules : public ::testing::Test {
protected:
    void SetUp() override {
        dir = UseScratchTempDirectory();
        game = dir + "game/";
        ASSERT_EQ(mkdir(game.c_str(), 0755), 0);
    }

    void Write(const std::string& name, const std::string& text) { WriteWholeFile(game + name, text); }

    ProgramRun Run(int frames, const std::string& extra = "") {
        return RunProgram("--frames " + std::to_string(frames) + " --script '" + game + "main.lua'" + extra, dir);
    }

    std::string dir, game;
};

}  // namespace

TEST_F(Modules, LoadOnceFromTheScriptsFolderWithDotsAsFolders) {
    ASSERT_EQ(mkdir((game + "ui").c_str(), 0755), 0);
    Write("util.lua", "print('loading util', ...)\nreturn {twice = function(x) return 2 * x end}\n");
    Write("ui/button.lua", "print('loading', ...)\nbuttons = (buttons or 0) + 1\n");
    Write("main.lua",
          "local util = require('util')\n"
          "local button = require('ui.button')\n"
          "frame = (frame or 0) + 1\n"
          "print('frame', frame, util.twice(21), button, package.loaded.util == util, require('util') == util,"
          " buttons)\n");
    // Started from elsewhere: modules come from beside the script.
    ProgramRun run = Run(3);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(CountOccurrences(run.out, "loading util\tutil\n"), 1) << run.out;
    EXPECT_EQ(CountOccurrences(run.out, "loading\tui.button\n"), 1) << run.out;
    EXPECT_NE(run.out.find("frame\t1\t42\ttrue\ttrue\ttrue\t1\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("frame\t3\t42\ttrue\ttrue\ttrue\t1\n"), std::string::npos) << run.out;
}

TEST_F(Modules, WhatAModuleSetsInPackageLoadedAndPreloadIsWhatRequireGives) {
    Write("sets.lua", "package.loaded.sets = 'set by itself'\n");
    Write("main.lua",
          "package.preload.made = function(name) return 'made as ' .. name end\n"
          "package.loaded.given = 'given'\n"
          "print(require('sets'), require('made'), require('given'))\n");
    ProgramRun run = Run(1);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("set by itself\tmade as made\tgiven\n"), std::string::npos) << run.out;
}

TEST_F(Modules, FailuresCarryTheInterpretersTexts) {
    Write("broken.lua", "x = = 1\n");
    Write("loop.lua", "require('loop')\n");
    Write("fails.lua", "error('inside the module')\n");
    Write("main.lua",
          "print(pcall(require, 'absent.part'))\n"
          "print(pcall(require, 'broken'))\n"
          "print(pcall(require, 'loop'))\n"
          "print(pcall(require, 'fails'))\n"
          "print(pcall(require))\n");
    ProgramRun run = Run(1);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("false\tmodule 'absent.part' not found:\n"
                           "\tno field package.preload['absent.part']\n"
                           "\tno file '" + game + "absent/part.lua'\n"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("false\terror loading module 'broken' from file '" + game + "broken.lua':\n\t" + game +
                           "broken.lua:1: unexpected symbol near '='\n"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("loop.lua:1: loop or previous error loading module 'loop'\n"), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("false\t" + game + "fails.lua:1: inside the module\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("bad argument #1 to '"), std::string::npos) << run.out;
}

// A module that failed is loaded afresh at the next require, so a fix shows
// without a restart (the interpreter would answer "previous error" for ever).
TEST_F(Modules, AModuleThatFailedIsTriedAgainAndAFixIsTaken) {
    Write("late.lua", "error('not yet')\n");
    Write("main.lua",
          "frame = (frame or 0) + 1\n"
          "if frame == 2 then\n"
          "  Lua_Channelopen(1, 'late.lua', 0)\n"
          "  Lua_Channelwriteline(1, 'return \"fixed\"')\n"
          "  Lua_Channelclose(1)\n"
          "end\n"
          "print('frame', frame, pcall(require, 'late'))\n");
    ProgramRun run = Run(3);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("frame\t1\tfalse\t" + game + "late.lua:1: not yet\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("frame\t2\ttrue\tfixed\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("frame\t3\ttrue\tfixed\n"), std::string::npos) << run.out;
}

TEST_F(Modules, ComeFromTheDataArchiveWhenNotOnDisk) {
    std::string packed = dir + "packed/";
    ASSERT_EQ(mkdir(packed.c_str(), 0755), 0);
    WriteWholeFile(packed + "inside.lua", "return 'from the archive: ' .. ...\n");
    WriteWholeFile(packed + "leaf.lua", "return 'leaf'\n");
    std::string error;
    ASSERT_TRUE(CreateArchive(game + "data.vaz", {packed + "inside.lua", packed + "leaf.lua"}, error)) << error;
    Write("main.lua",
          "Lua_Setdataarchives('data.vaz', 'data.vaz')\n"
          "print(require('inside'))\n"
          // The archive holds names without folders: a.b is the entry b.lua.
          "print(require('some.leaf'))\n"
          "print(pcall(require, 'nowhere'))\n");
    ProgramRun run = Run(1);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("from the archive: inside\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("leaf\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\tno file '" + game + "nowhere.lua'\n\tno entry 'nowhere.lua' in the data archive "
                           "'data.vaz'\n"),
              std::string::npos)
        << run.out;
}

// Scripts are untrusted: nothing reaches C code, and only Lua text loads.
TEST_F(Modules, LoadNoCodeButLuaText) {
    Write("compiled.lua", std::string("\033Lua") + std::string(40, '\0'));
    Write("main.lua",
          "print('package', package.loadlib, package.cpath, package.path, package.loaders, package.seeall,"
          " module)\n"
          "print(pcall(require, 'compiled'))\n");
    ProgramRun run = Run(1);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("package\tnil\tnil\tnil\tnil\tnil\tnil\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("false\terror loading module 'compiled' from file '" + game +
                           "compiled.lua':\n\ta precompiled chunk (only Lua text is loaded)\n"),
              std::string::npos)
        << run.out;
}

TEST_F(Modules, FirstLineStartingWithHashIsSkippedAndCounted) {
    Write("tool.lua", "#!/usr/bin/revev\nerror('second line')\n");
    Write("main.lua", "print(pcall(require, 'tool'))\n");
    ProgramRun run = Run(1);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("tool.lua:2: second line\n"), std::string::npos) << run.out;
}
