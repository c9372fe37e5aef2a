// The program as users run it: the real binary, headless, with small scripts.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "support/headless.h"

namespace {

class Program : public ::testing::Test {
protected:
    void SetUp() override { dir = UseScratchTempDirectory(); }

    std::string WriteScript(const std::string& name, const std::string& text) {
        std::string path = dir + name;
        WriteWholeFile(path, text);
        return path;
    }

    ProgramRun Start(const std::string& arguments, const std::string& workDir = "") {
        return RunProgram(arguments, dir, workDir);
    }

    static int Count(const std::string& text, const std::string& what) {
        return CountOccurrences(text, what);
    }

    std::string dir;
};

}  // namespace

TEST_F(Program, RunsHeadlessForTheGivenFramesAndEndsWithZero) {
    ProgramRun run = Start("--frames 3");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out.find("Init OK\n"), 0u);
}

TEST_F(Program, ScriptGlobalsSurviveFromFrameToFrame) {
    std::string script = WriteScript("count.lua", "n = (n or 0) + 1\nprint('frame ' .. n)\n");
    ProgramRun run = Start("--frames 3 --script '" + script + "'");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("frame 1\nframe 2\nframe 3\n"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("frame 4"), std::string::npos);
}

TEST_F(Program, RelativeScriptPathIsTakenFromTheStartDirectory) {
    WriteScript("here.lua", "print('ran here')\n");
    ProgramRun run = Start("--frames 1 --script here.lua", dir);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("ran here"), std::string::npos);
}

TEST_F(Program, MissingScriptLeavesFramesRunningAndSaysSoOnce) {
    ProgramRun run = Start("--frames 4 --script '" + dir + "absent.lua'");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(Count(run.err, "absent.lua"), 1) << run.err;
}

TEST_F(Program, BrokenScriptIsReportedOnceAndFramesGoOn) {
    std::string script = WriteScript("broken.lua", "this is not lua\n");
    ProgramRun run = Start("--frames 4 --script '" + script + "'");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(Count(run.err, "broken.lua"), 1) << run.err;
}

TEST_F(Program, RuntimeErrorStopsTheChunkButNotTheProgram) {
    std::string script = WriteScript("fails.lua",
                                     "n = (n or 0) + 1\nprint('before ' .. n)\n"
                                     "error('boom')\nprint('after')\n");
    ProgramRun run = Start("--frames 3 --script '" + script + "'");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.out.find("before 3"), std::string::npos);
    EXPECT_EQ(run.out.find("after"), std::string::npos);
    EXPECT_EQ(Count(run.err, "boom"), 1) << run.err;
}

TEST_F(Program, OnlyTheChosenLibrariesAreOpen) {
    std::string script = WriteScript("libs.lua",
                                     "print(type(string), type(table), type(math), type(debug), "
                                     "type(print), type(io), type(os), type(require))\n");
    ProgramRun run = Start("--frames 1 --script '" + script + "'");
    EXPECT_NE(run.out.find("table\ttable\ttable\ttable\tfunction\tnil\tnil\tnil"), std::string::npos)
        << run.out;
}

TEST_F(Program, ScriptCanEndTheProgramAndShowExtraFrames) {
    std::string script = WriteScript("end.lua",
                                     "n = (n or 0) + 1\nLua_Showscreen()\n"
                                     "if n == 2 then print('ending') Lua_End() end\n");
    ProgramRun run = Start("--frames 100 --script '" + script + "'");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.out.find("ending"), std::string::npos);
}

TEST_F(Program, BadOptionsAreRefused) {
    EXPECT_EQ(Start("--frames 0").exitCode, 2);
    EXPECT_EQ(Start("--bogus").exitCode, 2);
}

TEST_F(Program, TerminationSignalEndsThroughTheNormalEnd) {
    std::string out = dir + "signal.txt";
    std::string command = std::string("'") + REVEV_BINARY + "' >'" + out + "' 2>&1 & pid=$!; " +
                          "for i in $(seq 1 100); do grep -q 'Init OK' '" + out +
                          "' && break; sleep 0.1; done; kill -TERM $pid; wait $pid";
    int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << ReadWholeFile(out);
}
