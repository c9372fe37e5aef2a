// Starting a game from the command line through the real program: a folder
// runs its main.lua, a data archive runs the main.lua packed in it, and a
// game or script that cannot be read ends the program at once with exit
// code 2, before a window opens.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>

#include <cstdint>
#include <string>

#include "archive_writer.h"
#include "support/headless.h"

namespace {

// Names in a folder that start with `prefix`.
int CountEntries(const std::string& folder, const std::string& prefix) {
    int count = 0;
    if (DIR* d = opendir(folder.c_str())) {
        while (dirent* e = readdir(d))
            if (std::string(e->d_name).rfind(prefix, 0) == 0) ++count;
        closedir(d);
    }
    return count;
}

class StartGame : public ::testing::Test {
protected:
    void SetUp() override {
        dir = UseScratchTempDirectory();
        elsewhere = dir + "elsewhere/";
        ASSERT_EQ(mkdir(elsewhere.c_str(), 0755), 0);
    }

    std::string MakeFolder(const std::string& name) {
        std::string folder = dir + name + "/";
        EXPECT_EQ(mkdir(folder.c_str(), 0755), 0);
        return folder;
    }

    // Run from another folder, as a user who names the game by a path.
    ProgramRun Run(const std::string& arguments) { return RunProgram(arguments, dir, elsewhere); }

    // A refusal: exit code 2, one line on stderr, and no start-up at all.
    static void ExpectRefused(const ProgramRun& run, const std::string& line) {
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_EQ(run.err, line + "\n");
        EXPECT_EQ(run.out.find("Init OK"), std::string::npos) << run.out;
    }

    std::string dir, elsewhere;
};

const char* kGameScript =
    "Lua_Loadsprite('hero.bmp', 1)\n"
    "print('size', Lua_Getspritesize(1))\n"
    "print('dir', Lua_Directoryget())\n"
    "print('module', require('rules').name)\n";

}  // namespace

TEST_F(StartGame, AFolderRunsItsMainLuaInThatFolder) {
    std::string game = MakeFolder("game");
    WriteWholeFile(game + "main.lua", kGameScript);
    WriteWholeFile(game + "hero.bmp", GreyBmp(3, 2));
    WriteWholeFile(game + "rules.lua", "return {name = 'rules beside main.lua'}\n");
    for (const std::string& named : {std::string("../game/"), std::string("../game"), "'" + game + "'"}) {
        ProgramRun run = Run("--frames 1 " + named);
        ASSERT_EQ(run.exitCode, 0) << named << "\n" << run.err;
        EXPECT_NE(run.out.find("size\t3\t2\n"), std::string::npos) << named << "\n" << run.out;
        EXPECT_NE(run.out.find("dir\t" + game + "\n"), std::string::npos) << named << "\n" << run.out;
        EXPECT_NE(run.out.find("module\trules beside main.lua\n"), std::string::npos) << named << "\n" << run.out;
    }
}

// A packed game is one file: main.lua, its pictures and modules come from the
// archive; the archive's folder is the current directory, where the game
// writes; the unpacked main.lua is gone when the program has ended.
TEST_F(StartGame, AnArchiveRunsTheMainLuaPackedInIt) {
    std::string source = MakeFolder("source");
    WriteWholeFile(source + "main.lua", std::string(kGameScript) +
                                            "Lua_Channelopen(1, 'saved.txt', 0)\n"
                                            "Lua_Channelwriteline(1, 'saved')\n"
                                            "Lua_Channelclose(1)\n");
    WriteWholeFile(source + "hero.bmp", GreyBmp(5, 4));
    WriteWholeFile(source + "rules.lua", "return {name = 'rules in the archive'}\n");
    std::string shipped = MakeFolder("shipped"), error;
    ASSERT_TRUE(CreateArchive(shipped + "game.vaz", {source + "main.lua", source + "hero.bmp", source + "rules.lua"},
                              error))
        << error;

    ProgramRun run = Run("--frames 2 ../shipped/game.vaz");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("size\t5\t4\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("dir\t" + shipped + "\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("module\trules in the archive\n"), std::string::npos) << run.out;
    EXPECT_NE(ReadWholeFile(shipped + "saved.txt").find("saved"), std::string::npos);
    EXPECT_EQ(CountEntries(dir, "revev-"), 0);
}

TEST_F(StartGame, AGameThatCannotBeReadIsRefusedBeforeAWindowOpens) {
    std::string empty = MakeFolder("empty");
    ExpectRefused(Run("'" + empty + "'"), "revev: cannot open " + empty + "main.lua: No such file or directory");
    ExpectRefused(Run("'" + dir + "nothing'"), "revev: cannot open " + dir + "nothing: No such file or directory");

    WriteWholeFile(dir + "plain.vaz", "not an archive at all\n");
    ExpectRefused(Run("'" + dir + "plain.vaz'"), "revev: " + dir + "plain.vaz is neither a folder nor a data archive");

    std::string source = MakeFolder("source"), error;
    WriteWholeFile(source + "other.lua", "print('not main')\n");
    ExpectRefused(Run("'" + source + "other.lua'"), "revev: " + source +
                                                      "other.lua is neither a folder nor a data archive (a script "
                                                      "runs with --script " + source + "other.lua)");
    ASSERT_TRUE(CreateArchive(dir + "nomain.vaz", {source + "other.lua"}, error)) << error;
    ExpectRefused(Run("'" + dir + "nomain.vaz'"), "revev: " + dir + "nomain.vaz: the archive holds no main.lua");

    WriteWholeFile(source + "main.lua", "print('main')\n");
    ExpectRefused(Run("'" + source + "' --script '" + source + "main.lua'"),
                  "revev: give either a game or --script, not both");
    EXPECT_EQ(CountEntries(dir, "revev-"), 0);
}

TEST_F(StartGame, AMissingScriptEndsTheProgramWithCodeTwo) {
    ExpectRefused(Run("--script absent.lua"), "revev: cannot open " + elsewhere + "absent.lua: No such file or directory");
    ExpectRefused(Run("--script ."), "revev: cannot open " + elsewhere + ".: Is a directory");
}
