// The strings bindings as a script sees them: small scripts run headless by
// the real program, checked by what they print and how the program ends.
#include <gtest/gtest.h>

#include <string>

#include "support/headless.h"

namespace {

class Script : public ::testing::Test {
protected:
    void SetUp() override { dir = UseScratchTempDirectory(); }

    ProgramRun RunFile(const std::string& path) {
        return RunProgram("--frames 1 --script '" + path + "'", dir);
    }

    ProgramRun RunText(const std::string& text) {
        WriteWholeFile(dir + "script.lua", text);
        return RunFile(dir + "script.lua");
    }

    std::string dir;
};

}  // namespace

TEST_F(Script, SplitsTextAndUsesArrays) {
    ProgramRun run = RunFile(REVEV_SOURCE_DIR "/tests/strings/split_text.lua");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err.find("revev: script"), std::string::npos) << run.err;
    const char* expected =
        "pieces 3 bounds 3\n"
        "piece 0 [alpha]\n"
        "piece 1 [beta]\n"
        "piece 2 [gamma]\n"
        "set [changed]\n"
        "grid 3x2 7.5 0\n"
        "redim 7.5 0\n"
        "fill 3 7\n"
        "mid [ell] [lo]\n"
        "replace a+b+c\n"
        "math -1 45 180 1\n"
        "random 0\n"
        "text 0.3333333333 3 12.5 2 0FA0 [  3.14]\n";
    EXPECT_NE(run.out.find(expected), std::string::npos) << run.out;
}

TEST_F(Script, BadIndexEndsTheProgramAtOnce) {
    ProgramRun run = RunText(
        "local a = Lua_Numberarray(3)\n"
        "print('before')\n"
        "print(Lua_Get(a, 3))\n"
        "print('after')\n");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("before\n"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("after"), std::string::npos) << run.out;

    run = RunText("local t = Lua_Textarray(2, 2)\nprint('before')\nLua_Set(t, 0, 2, 'x')\nprint('after')\n");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("before\n"), std::string::npos);
    EXPECT_EQ(run.out.find("after"), std::string::npos);
}

TEST_F(Script, WrongArgumentKindIsAScriptError) {
    // Not an array: a Lua error the program reports, and frames go on.
    ProgramRun run = RunText("print('start')\nLua_Splittext('a,b', {}, ',')\nprint('unreached')\n");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.err.find("Lua_Splittext"), std::string::npos) << run.err;
    EXPECT_EQ(run.out.find("unreached"), std::string::npos);
}

TEST_F(Script, InfiniteSizesWithAZeroFirstSizeGiveEmptyArrays) {
    ProgramRun run = RunText(
        "local a = Lua_Numberarray(0, 1/0)\n"
        "print('number', Lua_Bounds(a, 0), Lua_Bounds(a, 1))\n"
        "Lua_Dim(a, 0, '1e400', 1/0)\n"
        "Lua_Redim(a, 0, 1/0)\n"
        "local b = Lua_Numberarray(5)\n"
        "Lua_Redim(b, 0, '1e400')\n"
        "print('redim', Lua_Bounds(b, 0))\n"
        "local t = Lua_Textarray(0, 1/0)\n"
        "Lua_Dim(t, 0, '1e400')\n"
        "print('text', Lua_Bounds(t, 0), Lua_Bounds(t, 1))\n");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err.find("revev: script"), std::string::npos) << run.err;
    EXPECT_NE(run.out.find("number\t0\t2147483647\nredim\t0\ntext\t0\t2147483647\n"), std::string::npos)
        << run.out;

    // A non-zero first size with an infinite one is out of memory, as before.
    run = RunText("print('before')\nlocal a = Lua_Numberarray(1, 1/0)\nprint('after')\n");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("before\n"), std::string::npos);
    EXPECT_EQ(run.out.find("after"), std::string::npos);
}
