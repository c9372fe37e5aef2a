// The files bindings as a script sees them: a script run headless by the real
// program in a scratch directory, checked by what it prints and by the files
// the program leaves behind after its exit handlers ran.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

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
    // current by the script's first line.
    RunResult Run(const std::string& body) {
        std::string path = dir + "script.lua";
        WriteFile(path, "Lua_Directoryset(\"" + dir + "\")\n" + body);
        std::string command = std::string("'") + REVEV_BINARY + "' --frames 1 --script '" + path +
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
