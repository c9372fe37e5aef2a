// The files bindings as a script sees them: a script run headless by the real
// program in a scratch directory, checked by what it prints and by the files
// the program leaves behind after its exit handlers ran.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "files_test_util.h"

namespace {

struct RunResult {
    int exitCode = -1;
    std::string out;
};

class FilesScript : public ::testing::Test {
protected:
    void SetUp() override { dir = EnterScratchDirectory(); }
    void TearDown() override { LeaveScratchDirectory(); }

    // Runs the script text for one frame with the scratch directory made
    // current by the script's first line; `shell` goes before the program
    // in the same shell (limits for it).
    RunResult Run(const std::string& body, const std::string& shell = "") {
        std::string path = dir + "script.lua";
        WriteFile(path, "Lua_Directoryset(\"" + dir + "\")\n" + body);
        std::string command = shell + "exec '" + REVEV_BINARY + "' --frames 1 --script '" + path +
                              "' >'" + dir + "out.txt' 2>'" + dir + "err.txt'";
        RunResult run;
        int status = std::system(command.c_str());
        run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        run.out = ReadFile(dir + "out.txt");
        return run;
    }

    std::string dir;
};

}  // namespace

TEST_F(FilesScript, ChannelsAndFileCommands) {
    RunResult run = Run(R"(
print("dir " .. Lua_Directoryget())
print("open " .. Lua_Channelopen(0, "c.bin", 0))
Lua_Channelwritebyte(0, 300)
Lua_Channelwriteword(0, 65535)
Lua_Channelwritelong(0, -1)
Lua_Channelwritedouble(0, 2.5)
Lua_Channelwriteline(0, "line")
Lua_Channelwritenumberline(0, 42)
Lua_Channelwritetext(0, "tail")
Lua_Channelclose(0)
Lua_Channelopen(1, "c.bin", 1)
print("read", Lua_Channelreadbyte(1), Lua_Channelreadword(1), Lua_Channelreadlong(1),
      Lua_Channelreaddouble(1), Lua_Channelreadline(1), Lua_Channelreadnumberline(1),
      Lua_Channelreadtext(1, 4), Lua_Channelatend(1))
print("size", Lua_Filesize("c.bin"), Lua_Fileexists("c.bin"), Lua_Fileexists("none"))
Lua_Filecopy("c.bin", "d.bin")
print("copy", Lua_Filesize("d.bin"))
Lua_Filedelete("d.bin")
print("deleted", Lua_Fileexists("d.bin"))
print("slashes", Lua_Pathtoslashes("a\\b\\c"))
print("set", Lua_Directoryset("no/such"))
Lua_Channelreadbyte(1)
print("not reached")
)");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.out.find("dir " + dir + "\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("open 1\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("read\t44\t65535\t4294967295\t2.5\tline\t42\ttail\t1\n"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("size\t29\t1\t0\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("copy\t29\n"), std::string::npos);
    EXPECT_NE(run.out.find("deleted\t0\n"), std::string::npos);
    EXPECT_NE(run.out.find("slashes\ta/b/c\n"), std::string::npos);
    EXPECT_NE(run.out.find("set\t0\n"), std::string::npos);
    // Reading past the end is runtime error 3: the program ends there.
    EXPECT_EQ(run.out.find("not reached"), std::string::npos);
}

TEST_F(FilesScript, ConfigurationLinesListingArchiveAndLibraries) {
    std::filesystem::create_directory(dir + "src");
    WriteFile(dir + "src/packed.txt", "from the archive\r\n");
    ASSERT_EQ(std::system((std::string(REVEV_PACK) + " create '" + dir + "data.vaz' '" + dir +
                           "src/packed.txt' >/dev/null")
                              .c_str()),
              0);
    RunResult run = Run(R"(
Lua_Iniopen("s.ini")
Lua_Iniputvalue("S", "k", "v")
print("ini", Lua_Inigetvalue("s", "K"), Lua_Inigetvalue("s", "x"))
Lua_Linefileput("l.txt", 2, "two")
Lua_Linefileputnumber("l.txt", 0, 2.5)
print("line", Lua_Linefileget("l.txt", 2))
print("line", Lua_Linefileget("l.txt", 300))
print("num", Lua_Linefilegetnumber("l.txt", 0))
local n, names = Lua_Directorylist("*.vaz")
print("list", n % 65536, Lua_Get(names, math.floor(n / 65536)))
print("archive", Lua_Linefileget("packed.txt", 0))
Lua_Setdataarchives("data.vaz", "data.vaz")
print("archive", Lua_Linefileget("packed.txt", 0))
local address, library = Lua_Externalfunction("LIBM.SO.6", "cos")
print("external", address ~= 0, library)
print("external", Lua_Externalfunction("libm.so.6", "no_such_function"))
)");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.out.find("ini\tv\tNO_DATA\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("line\ttwo\t0\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("line\tNO_DATA\t7\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("num\t2.5\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("list\t1\tdata.vaz\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("archive\tNO_FILE\t3\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("archive\tfrom the archive\t0\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("external\ttrue\tlibm.so.6\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("external\t0\tlibm.so.6\n"), std::string::npos) << run.out;
    // Written back by the exit handlers.
    EXPECT_EQ(ReadFile(dir + "s.ini"), "[S]\r\nk=v\r\n");
    EXPECT_EQ(ReadFile(dir + "l.txt"), "2.5\r\n\r\ntwo\r\n");
}

// ---------------------------------------------------------------------------
// Saving at the end of the program
//
// Every way the program ends runs the exit handlers: the frame limit, Lua_End
// and a runtime error (reading a closed channel is error 3).

namespace {

struct ExitPath {
    const char* what;
    const char* scriptEnd;
};
const ExitPath exitPaths[] = {
    {"frame limit", ""},
    {"Lua_End", "Lua_End()\n"},
    {"runtime error", "Lua_Channelreadbyte(5)\n"},
};

// 300 lines with mixed line ends, one longer than a held line, no line end
// after the last: write-back may change only the line the script put.
std::string ManyLines() {
    std::string text;
    for (int i = 0; i < 300; ++i) {
        text += i == 3 ? std::string(1500, 'L') : "line " + std::to_string(i);
        text += i % 2 ? "\n" : "\r\n";
    }
    return text + "last";
}

int LinesNaming(const std::vector<std::string>& lines, const std::string& name) {
    return (int)std::count_if(lines.begin(), lines.end(), [&](const std::string& line) {
        return line.find(name) != std::string::npos;
    });
}

}  // namespace

TEST_F(FilesScript, ChangesAreSavedToTheFilesAsOpenedAtEveryExit) {
    for (const ExitPath& exit : exitPaths) {
        SCOPED_TRACE(exit.what);
        WriteFile(dir + "s.ini", "[S]\r\nk=old\r\n");
        WriteFile(dir + "l.txt", ManyLines());
        std::filesystem::remove_all(dir + "other");
        std::filesystem::create_directory(dir + "other");
        RunResult run = Run(std::string(R"(
Lua_Iniopen("s.ini")
Lua_Iniputvalue("S", "k", "new")
Lua_Linefileput("l.txt", 1, "put")
Lua_Directoryset("other")
)") + exit.scriptEnd);
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(ReadFile(dir + "s.ini"), "[S]\r\nk=new\r\n");
        std::string expected = ManyLines();
        expected.replace(expected.find("line 1\n"), 7, "put\r\n");
        EXPECT_TRUE(ReadFile(dir + "l.txt") == expected);
        EXPECT_TRUE(ListNames(dir + "other").empty());
    }
}

// A terminate signal ends the program through its end path too.
TEST_F(FilesScript, ATerminateSignalSavesToTheFilesAsOpened) {
    WriteFile(dir + "s.ini", "[S]\r\nk=old\r\n");
    WriteFile(dir + "l.txt", ManyLines());
    std::filesystem::create_directory(dir + "other");
    std::string script = dir + "signal.lua", ready = dir + "ready.txt";
    WriteFile(script, "if not changed then\n changed = 1\n Lua_Directoryset(\"" + dir + "\")\n" +
                          R"( Lua_Iniopen("s.ini")
 Lua_Iniputvalue("S", "k", "new")
 Lua_Linefileput("l.txt", 1, "put")
 Lua_Directoryset("other")
 Lua_Channelopen(0, ")" + ready + R"(", 0)
 Lua_Channelwritetext(0, "ready")
 Lua_Channelclose(0)
end
)");
    fflush(nullptr);
    pid_t program = fork();
    if (program == 0) {
        int out = open((dir + "out.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, 1);
        dup2(out, 2);
        execl(REVEV_BINARY, REVEV_BINARY, "--script", script.c_str(), (char*)nullptr);
        _exit(127);
    }
    ASSERT_GT(program, 0);
    // Generous waits only tell a slow start or end from none at all.
    for (int i = 0; i < 200 && ReadFile(ready) != "ready"; ++i) usleep(50000);
    EXPECT_EQ(ReadFile(ready), "ready") << ReadFile(dir + "out.txt");
    kill(program, SIGTERM);
    int status = 0;
    pid_t ended = 0;
    for (int i = 0; i < 200 && (ended = waitpid(program, &status, WNOHANG)) == 0; ++i) usleep(50000);
    if (ended == 0) {
        kill(program, SIGKILL);
        waitpid(program, &status, 0);
        FAIL() << "the program did not end on the signal";
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << ReadFile(dir + "out.txt");
    EXPECT_EQ(ReadFile(dir + "s.ini"), "[S]\r\nk=new\r\n");
    std::string expected = ManyLines();
    expected.replace(expected.find("line 1\n"), 7, "put\r\n");
    EXPECT_TRUE(ReadFile(dir + "l.txt") == expected);
    EXPECT_TRUE(ListNames(dir + "other").empty());
}

TEST_F(FilesScript, AConfigurationFromTheArchiveIsSavedToItsNameOnDisk) {
    std::filesystem::create_directory(dir + "src");
    WriteFile(dir + "src/cfg.ini", "[P]\r\nq=archived\r\n");
    WriteFile(dir + "src/packed.txt", "from the archive\r\n");
    ASSERT_EQ(std::system((std::string(REVEV_PACK) + " create '" + dir + "data.vaz' '" + dir +
                           "src/cfg.ini' '" + dir + "src/packed.txt' >/dev/null")
                              .c_str()),
              0);
    for (const ExitPath& exit : exitPaths) {
        SCOPED_TRACE(exit.what);
        std::filesystem::remove(dir + "cfg.ini");
        std::filesystem::remove(dir + "packed.txt");
        RunResult run = Run(std::string(R"(
Lua_Setdataarchives("data.vaz", "data.vaz")
Lua_Iniopen("cfg.ini")
print("ini", Lua_Inigetvalue("P", "q"))
Lua_Iniputvalue("P", "q", "changed")
Lua_Linefileput("packed.txt", 1, "two")
)") + exit.scriptEnd);
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_NE(run.out.find("ini\tarchived\n"), std::string::npos) << run.out;
        EXPECT_EQ(ReadFile(dir + "cfg.ini"), "[P]\r\nq=changed\r\n");
        EXPECT_EQ(ReadFile(dir + "packed.txt"), "from the archive\r\ntwo\r\n");
        for (const std::string& name : ListNames(ScratchTemp()))
            EXPECT_NE(name.rfind("vaz", 0), 0u) << name;
    }
    // The next run finds the saved file first.
    RunResult run = Run(R"(
Lua_Setdataarchives("data.vaz", "data.vaz")
Lua_Iniopen("cfg.ini")
print("ini", Lua_Inigetvalue("P", "q"))
)");
    EXPECT_NE(run.out.find("ini\tchanged\n"), std::string::npos) << run.out;
}

// Saves that fail part-way at a file-size limit keep the old files whole and
// leave one line each in the error log; with the limit's signal at its
// default action too, which the program ignores so as not to be killed.
TEST_F(FilesScript, SavesThatFailAtExitKeepTheOldFiles) {
    const std::string oldIni = "[S]\r\nk=old\r\n";
    for (const char* limit : {"ulimit -f 4; trap '' XFSZ; ", "ulimit -f 4; "})
    for (const ExitPath& exit : exitPaths) {
        SCOPED_TRACE(exit.what);
        SCOPED_TRACE(limit);
        WriteFile(dir + "s.ini", oldIni);
        WriteFile(dir + "l.txt", ManyLines());
        // At most 4096 bytes: blocks of 512 or 1024 bytes, by shell.
        RunResult run = Run(std::string(R"(
Lua_Iniopen("s.ini")
Lua_Iniputvalue("S", "big", string.rep("v", 20000))
Lua_Linefileput("l.txt", 1, string.rep("w", 1000))
Lua_Linefileput("l.txt", 2, string.rep("w", 1000))
Lua_Linefileput("l.txt", 4, string.rep("w", 1000))
)") + exit.scriptEnd,
                            limit);
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(ReadFile(dir + "s.ini"), oldIni);
        EXPECT_TRUE(ReadFile(dir + "l.txt") == ManyLines());
        std::vector<std::string> log = ErrorLogLines();
        EXPECT_EQ(LinesNaming(log, "s.ini"), 1);
        EXPECT_EQ(LinesNaming(log, "l.txt"), 1);
        for (const std::string& name : ListNames(dir))
            EXPECT_EQ(name.find(".new"), std::string::npos) << name;
    }
}
