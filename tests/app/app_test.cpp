// The program as users run it: the real binary, headless, with small scripts.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {

struct RunResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class Program : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/revev-app-XXXXXX";
        dir = mkdtemp(pattern);
        setenv("TMPDIR", dir.c_str(), 1);
    }

    std::string WriteScript(const std::string& name, const std::string& text) {
        std::string path = dir + "/" + name;
        std::ofstream(path) << text;
        return path;
    }

    RunResult Start(const std::string& arguments, const std::string& workDir = "") {
        std::string out = dir + "/stdout.txt", err = dir + "/stderr.txt";
        std::string command;
        if (!workDir.empty()) command = "cd '" + workDir + "' && ";
        command += std::string("'") + REVEV_BINARY + "' " + arguments + " >'" + out + "' 2>'" + err + "'";
        RunResult run;
        int status = std::system(command.c_str());
        run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        run.out = ReadAll(out);
        run.err = ReadAll(err);
        return run;
    }

    static int Count(const std::string& text, const std::string& what) {
        int n = 0;
        for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
        return n;
    }

    std::string dir;
};

}  // namespace

TEST_F(Program, RunsHeadlessForTheGivenFramesAndEndsWithZero) {
    RunResult run = Start("--frames 3");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out.find("Init OK\n"), 0u);
}

TEST_F(Program, ScriptGlobalsSurviveFromFrameToFrame) {
    std::string script = WriteScript("count.lua", "n = (n or 0) + 1\nprint('frame ' .. n)\n");
    RunResult run = Start("--frames 3 --script '" + script + "'");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("frame 1\nframe 2\nframe 3\n"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("frame 4"), std::string::npos);
}

TEST_F(Program, RelativeScriptPathIsTakenFromTheStartDirectory) {
    WriteScript("here.lua", "print('ran here')\n");
    RunResult run = Start("--frames 1 --script here.lua", dir);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("ran here"), std::string::npos);
}

TEST_F(Program, MissingScriptLeavesFramesRunningAndSaysSoOnce) {
    RunResult run = Start("--frames 4 --script '" + dir + "/absent.lua'");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(Count(run.err, "absent.lua"), 1) << run.err;
}

TEST_F(Program, BrokenScriptIsReportedOnceAndFramesGoOn) {
    std::string script = WriteScript("broken.lua", "this is not lua\n");
    RunResult run = Start("--frames 4 --script '" + script + "'");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(Count(run.err, "broken.lua"), 1) << run.err;
}

TEST_F(Program, RuntimeErrorStopsTheChunkButNotTheProgram) {
    std::string script = WriteScript("fails.lua",
                                     "n = (n or 0) + 1\nprint('before ' .. n)\n"
                                     "error('boom')\nprint('after')\n");
    RunResult run = Start("--frames 3 --script '" + script + "'");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.out.find("before 3"), std::string::npos);
    EXPECT_EQ(run.out.find("after"), std::string::npos);
    EXPECT_EQ(Count(run.err, "boom"), 1) << run.err;
}

TEST_F(Program, OnlyTheChosenLibrariesAreOpen) {
    std::string script = WriteScript("libs.lua",
                                     "print(type(string), type(table), type(math), type(debug), "
                                     "type(print), type(io), type(os), type(require))\n");
    RunResult run = Start("--frames 1 --script '" + script + "'");
    EXPECT_NE(run.out.find("table\ttable\ttable\ttable\tfunction\tnil\tnil\tnil"), std::string::npos)
        << run.out;
}

TEST_F(Program, ScriptCanEndTheProgramAndShowExtraFrames) {
    std::string script = WriteScript("end.lua",
                                     "n = (n or 0) + 1\nLua_Showscreen()\n"
                                     "if n == 2 then print('ending') Lua_End() end\n");
    RunResult run = Start("--frames 100 --script '" + script + "'");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.out.find("ending"), std::string::npos);
}

TEST_F(Program, BadOptionsAreRefused) {
    EXPECT_EQ(Start("--frames 0").exitCode, 2);
    EXPECT_EQ(Start("--bogus").exitCode, 2);
}

TEST_F(Program, TerminationSignalEndsThroughTheNormalEnd) {
    std::string out = dir + "/signal.txt";
    std::string command = std::string("'") + REVEV_BINARY + "' >'" + out + "' 2>&1 & pid=$!; " +
                          "for i in $(seq 1 100); do grep -q 'Init OK' '" + out +
                          "' && break; sleep 0.1; done; kill -TERM $pid; wait $pid";
    int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << ReadAll(out);
}
