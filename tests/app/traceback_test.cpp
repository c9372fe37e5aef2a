// A script error as the user reads it on stderr: the message once, with the
// script's own frames under it, files named from the script's folder.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>

#include "support/headless.h"

namespace {

class Traceback : public ::testing::Test {
protected:
    void SetUp() override { dir = UseScratchTempDirectory(); }

    // Makes every folder of `path` below dir.
    void MakeFolders(const std::string& path) {
        for (size_t at = path.find('/'); at != std::string::npos; at = path.find('/', at + 1))
            mkdir((dir + path.substr(0, at)).c_str(), 0755);
    }

    ProgramRun Run(const std::string& path, const std::string& script, int frames = 3) {
        MakeFolders(path);
        WriteWholeFile(dir + path, script);
        return RunProgram("--frames " + std::to_string(frames) + " --script '" + dir + path + "'", dir);
    }

    std::string dir;
};

TEST_F(Traceback, ARunErrorIsReportedOnceWithTheScriptsFramesUnderIt) {
    ProgramRun run = Run("game/main.lua",
                         "local function inner()\n"
                         "  error('deep trouble')\n"
                         "end\n"
                         "function outer()\n"
                         "  inner()\n"
                         "end\n"
                         "outer()\n");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.err.find("revev: script: main.lua:2: deep trouble\n"
                           "  main.lua:2: in function 'inner'\n"
                           "  main.lua:5: in function 'outer'\n"
                           "  main.lua:7: in main chunk\n"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(CountOccurrences(run.err, "deep trouble"), 1) << run.err;
    EXPECT_EQ(CountOccurrences(run.err, "in main chunk"), 1) << run.err;
}

TEST_F(Traceback, LongPathsAreNamedFromTheScriptsFolderNotCutAtTheFront) {
    const std::string path = "a-folder-with-a-rather-long-name/another-folder-as-long-as-that/games/errors/frame50.lua";
    ProgramRun run = Run(path, "\n\n\n\n\nlocal x = nil + 1\n", 1);
    EXPECT_NE(run.err.find("revev: script: frame50.lua:6: attempt to perform arithmetic on a nil value\n"
                           "  frame50.lua:6: in main chunk\n"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(run.err.find("..."), std::string::npos) << run.err;
}

// Files run with dofile by their full path are named from the script's
// folder too; frames of C functions (pcall, the bindings, dofile itself)
// are left out.
TEST_F(Traceback, OtherFilesOfTheGameAreNamedFromTheScriptsFolderAndCFramesLeftOut) {
    MakeFolders("game/lib/");
    WriteWholeFile(dir + "game/lib/util.lua",
                   "function Check(value)\n"
                   "  local got = Lua_Get(value, 2)\n"
                   "  return got\n"
                   "end\n");
    ProgramRun run = Run("game/main.lua",
                         "dofile('" + dir + "game/lib/util.lua')\n"
                         "local ok = pcall(error, 'caught')\n"
                         "Check(1)\n",
                         2);
    // LuaJIT names the caller's line in the message, the interpreter does not.
    EXPECT_NE(run.err.find("bad argument #1 to 'Lua_Get' (NumberArray or TextArray expected, got number)\n"
                           "  lib/util.lua:2: in function 'Check'\n"
                           "  main.lua:3: in main chunk\n"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(run.err.find(dir), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("[C]"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("caught"), std::string::npos) << run.err;
}

// A traceback never hides the next error: two different errors are two
// reports, each with its own frames.
TEST_F(Traceback, EachDistinctMessageGetsItsOwnReport) {
    ProgramRun run = Run("game/main.lua",
                         "n = (n or 0) + 1\n"
                         "if n == 1 then error('first') end\n"
                         "local function later() error('second') end\n"
                         "later()\n",
                         3);
    EXPECT_NE(run.err.find("revev: script: main.lua:2: first\n  main.lua:2: in main chunk\n"), std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("revev: script: main.lua:3: second\n"
                           "  main.lua:3: in function 'later'\n"
                           "  main.lua:4: in main chunk\n"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(CountOccurrences(run.err, "second"), 1) << run.err;
}

TEST_F(Traceback, ADeepRecursionShowsTheInnermostFramesAndCountsTheRest) {
    ProgramRun run = Run("game/main.lua",
                         "local function down(n)\n"
                         "  if n == 0 then error('bottom') end\n"
                         "  down(n - 1)\n"
                         "end\n"
                         "down(30)\n",
                         1);
    EXPECT_NE(run.err.find("revev: script: main.lua:2: bottom\n  main.lua:2: in function 'down'\n"), std::string::npos)
        << run.err;
    EXPECT_EQ(CountOccurrences(run.err, "in function 'down'"), 12) << run.err;
    EXPECT_NE(run.err.find("  (20 more)\n"), std::string::npos) << run.err;
}

}  // namespace
