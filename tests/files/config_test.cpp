// Configuration files, line files, directory listing and external library
// functions, through the commands a script calls.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "core/engine.h"
#include "files/archive.h"
#include "files/files_exit.h"
#include "files/inifile.h"
#include "files/libraries.h"
#include "files/linefile.h"
#include "files_test_util.h"
#include "strings/text_array.h"

class Config : public ::testing::Test {
protected:
    void SetUp() override { dir = EnterScratchDirectory(); }
    void TearDown() override { LeaveScratchDirectory(); }
    std::string dir;
};

std::string Get(const IniFile& ini, const char* section, const char* key) {
    return IniGet(ini, section, key).Text();
}

// ---------------------------------------------------------------------------
// Configuration files

TEST_F(Config, LoadsSectionsAndEntries) {
    WriteFile("game.ini",
              "top = level\r\n"
              "[Video]\r\n"
              "  width = 640\r\n"
              "title = Blank kept  \r\n"
              "; comment = not an entry\r\n"
              "height=480\tpixels\r\n"
              "noequals here\r\n"
              "[My Game]\n"
              "name=Quest\n"
              "[Empty]\n"
              "blank =\n"
              "[ Sound ]\n"
              "volume = 7\n");
    IniFile ini;
    IniLoad(ini, "game.ini");
    EXPECT_EQ(Get(ini, "video", "WIDTH"), "640");
    EXPECT_EQ(Get(ini, "Video", "height"), "480\tpixels");
    EXPECT_EQ(Get(ini, "Video", "title"), "Blank kept  ");  // only bytes below 32 go
    EXPECT_EQ(Get(ini, "", "top"), "level");
    EXPECT_EQ(Get(ini, "My", "name"), "Quest");  // the name stops at the blank
    EXPECT_EQ(Get(ini, "My Game", "name"), "NO_DATA");
    EXPECT_EQ(Get(ini, "Sound", "volume"), "7");
    EXPECT_EQ(Get(ini, "Video", "noequals"), "NO_DATA");
    EXPECT_EQ(Get(ini, "Video", "; comment"), "NO_DATA");
    // A section with only empty values is not stored.
    std::vector<std::string> names;
    for (const IniSection& s : ini.sections) names.push_back(s.name.Text());
    EXPECT_EQ(names, (std::vector<std::string>{"", "Video", "My", "Sound"}));
    EXPECT_EQ(ini.modified, 0);
    EXPECT_EQ(ini.iniPath.Text(), dir + "game.ini");
}

TEST_F(Config, EntriesAfterANamelessHeaderStartAFreshSection) {
    WriteFile("odd.ini", "[A]\nx=1\n[]\ny=2\n");
    IniFile ini;
    IniLoad(ini, "odd.ini");
    ASSERT_EQ(ini.sections.size(), 2u);
    EXPECT_EQ(ini.sections[0].entries.size(), 1u);
    EXPECT_EQ(Get(ini, "A", "y"), "NO_DATA");
    EXPECT_EQ(Get(ini, "", "y"), "2");
}

TEST_F(Config, MissingOrOverlongFileGivesAnEmptyObject) {
    IniFile ini;
    IniLoad(ini, "absent.ini");
    EXPECT_TRUE(ini.sections.empty());
    EXPECT_EQ(Get(ini, "a", "b"), "NO_DATA");
    EXPECT_EQ(ini.iniPath.Text(), dir + "absent.ini");
    IniLoad(ini, std::string(400, 'x').c_str());
    EXPECT_EQ(ini.iniPath.Length(), 0u);
}

TEST_F(Config, PutValueAddsReplacesAndRemovesByMovingTheLast) {
    IniOpen("new.ini");
    IniPutValue("Keys", "a", "1");
    IniPutValue("Keys", "b", "2");
    IniPutValue("Keys", "c", "3");
    IniPutValue("keys", "B", "");  // removed: c takes its place
    IniPutValue("Keys", "A", "one");
    IniPutValue("Keys", "d", "");  // new with an empty value: written as "d="
    IniPutValue("Other", "x", "y");
    IniPutValue("Gone", "k", "v");
    IniSave(ProcessIniFile());
    EXPECT_EQ(ReadFile("new.ini"),
              "[Keys]\r\na=one\r\nc=3\r\nd=\r\n[Other]\r\nx=y\r\n[Gone]\r\nk=v\r\n");
    EXPECT_EQ(IniGetValue("keys", "a").Text(), std::string("one"));
    // An empty key removes the section; the last section moves into its place.
    IniPutValue("Keys", "", "");
    IniSave(ProcessIniFile());
    EXPECT_EQ(ReadFile("new.ini"), "[Gone]\r\nk=v\r\n[Other]\r\nx=y\r\n");
}

TEST_F(Config, RemovingASectionAloneMarksNoChange) {
    WriteFile("keep.ini", "[S]\r\nk=v\r\n");
    IniOpen("keep.ini");
    IniPutValue("S", "", "");
    EXPECT_EQ(ProcessIniFile().modified, 0);
    IniOpen("other.ini");  // not modified: keep.ini is not rewritten
    EXPECT_EQ(ReadFile("keep.ini"), "[S]\r\nk=v\r\n");
}

TEST_F(Config, OpenSavesTheChangedFileAndExitSavesToo) {
    IniOpen("first.ini");
    IniPutValue("S", "k", "v");
    IniOpen("second.ini");
    EXPECT_EQ(ReadFile("first.ini"), "[S]\r\nk=v\r\n");
    EXPECT_EXIT(
        {
            IniPutValue("T", "x", "1");
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(ReadFile("second.ini"), "[T]\r\nx=1\r\n");
}

TEST_F(Config, FromTheArchiveItIsSavedToItsNameOnDisk) {
    DataArchivesCreate();
    WriteFile("data.vaz", SimpleArchive({{"packed.ini", "[P]\nq=archived\n"}}));
    SetDataArchives("data.vaz", "data.vaz");
    std::filesystem::create_directory("cfg");
    IniOpen("cfg/packed.ini");
    EXPECT_EQ(IniGetValue("P", "q").Text(), std::string("archived"));
    // The unpacked copy is gone once read.
    EXPECT_TRUE(ListNames(ScratchTemp()).empty());
    EXPECT_EQ(ProcessIniFile().iniPath.Text(), dir + "cfg/packed.ini");
    IniPutValue("P", "q", "changed");
    IniOpen("other.ini");
    EXPECT_EQ(ReadFile("cfg/packed.ini"), "[P]\r\nq=changed\r\n");
    // Next time the disk comes first.
    IniOpen("cfg/packed.ini");
    EXPECT_EQ(IniGetValue("P", "q").Text(), std::string("changed"));
    DataArchivesRelease();
}

TEST_F(Config, SavesGoToTheDirectoryCurrentAtOpen) {
    WriteFile("s.ini", "[S]\r\nk=old\r\n");
    WriteFile("l.txt", "old\r\n");
    std::filesystem::create_directory("elsewhere");
    IniOpen("s.ini");
    IniPutValue("S", "k", "new");
    LineFilePut("l.txt", 0, "new");
    ASSERT_EQ(chdir("elsewhere"), 0);
    IniSave(ProcessIniFile());
    LineFileWriteBack();
    EXPECT_EQ(ReadFile(dir + "s.ini"), "[S]\r\nk=new\r\n");
    EXPECT_EQ(ReadFile(dir + "l.txt"), "new\r\n");
    EXPECT_TRUE(ListNames(dir + "elsewhere").empty());
}

// A save that fails part-way (here at a file-size limit) must leave the old
// file byte for byte, no partial file beside it, and one line in the log.
TEST_F(Config, AFailedSaveKeepsTheOldFileWhole) {
    const std::string oldIni = "[Old]\r\nkept=yes\r\n";
    const std::string oldLines = "one\ntwo\n";
    WriteFile("cfg.ini", oldIni);
    WriteFile("l.txt", oldLines);
    ASSERT_EQ(chmod("cfg.ini", 0640), 0);
    IniOpen("cfg.ini");
    IniPutValue("Big", "k", std::string(5000, 'v').c_str());
    LineFilePut("l.txt", 1, std::string(1000, 'w').c_str());
    LineFilePut("l.txt", 9, std::string(1000, 'x').c_str());
    EXPECT_EQ(WithFileSizeLimit(1024, [] { IniSave(ProcessIniFile()); }), 0);
    EXPECT_EQ(ReadFile("cfg.ini"), oldIni);
    EXPECT_EQ(ErrorLogLines().size(), 1u);
    EXPECT_EQ(WithFileSizeLimit(1024, [] { LineFileWriteBack(); }), 0);
    EXPECT_EQ(ReadFile("l.txt"), oldLines);
    EXPECT_EQ(ErrorLogLines().size(), 2u);
    std::vector<std::string> names = ListNames(dir);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"cfg.ini", "l.txt", "tmp"}));

    // Without the limit both go through; the file keeps its permission bits.
    IniSave(ProcessIniFile());
    EXPECT_EQ(ReadFile("cfg.ini"),
              "[Old]\r\nkept=yes\r\n[Big]\r\nk=" + std::string(5000, 'v') + "\r\n");
    struct stat st;
    ASSERT_EQ(stat("cfg.ini", &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    LineFileWriteBack();
    // Lines 2 to 8 were never in the file: empty.
    EXPECT_EQ(ReadFile("l.txt"), "one\n" + std::string(1000, 'w') + "\r\n" +
                                     "\r\n\r\n\r\n\r\n\r\n\r\n\r\n" + std::string(1000, 'x') +
                                     "\r\n");
}

TEST_F(Config, ASaveThatCannotBeginKeepsTheOldFile) {
    WriteFile("ro.ini", "[R]\r\nk=v\r\n");
    ASSERT_EQ(chmod("ro.ini", 0444), 0);
    IniOpen("ro.ini");
    IniPutValue("R", "k", "changed");
    IniSave(ProcessIniFile());
    if (geteuid() != 0) {
        // A file the process may not write is not replaced either.
        EXPECT_EQ(ReadFile("ro.ini"), "[R]\r\nk=v\r\n");
        EXPECT_EQ(ErrorLogLines().size(), 1u);
    }
    std::filesystem::create_directory("dir.ini");
    IniOpen("dir.ini");
    IniPutValue("D", "k", "v");
    IniSave(ProcessIniFile());
    EXPECT_TRUE(std::filesystem::is_directory("dir.ini"));
}

// ---------------------------------------------------------------------------
// Line files

// A configuration or line file that is a link is saved through it: the file
// it names is created or replaced in its own folder and the link stays, also
// when the link is dangling or relative, or one of a chain.
TEST_F(Config, SavesGoThroughLinksEvenToMissingTargets) {
    namespace fs = std::filesystem;
    fs::create_directory("real");
    fs::create_directory("other");
    fs::create_symlink("real/cfg.ini", "cfg.ini");            // dangling, relative
    fs::create_symlink(dir + "real/lines.txt", "lines.txt");  // dangling, absolute
    fs::create_symlink("../real/kept.ini", "other/hop.ini");  // relative to its own folder
    fs::create_symlink("other/hop.ini", "chain.ini");
    WriteFile("real/kept.ini", "[K]\r\nk=old\r\n");

    IniOpen("cfg.ini");
    IniPutValue("S", "k", "v");
    IniOpen("chain.ini");
    IniPutValue("K", "k", "new");
    IniOpen("third.ini");
    LineFilePut("lines.txt", 0, "one");
    RuntimeString text;
    LineFileGet("other.txt", 0, text);

    EXPECT_EQ(ReadFile("real/cfg.ini"), "[S]\r\nk=v\r\n");
    EXPECT_EQ(ReadFile("real/kept.ini"), "[K]\r\nk=new\r\n");
    EXPECT_EQ(ReadFile("real/lines.txt"), "one\r\n");
    for (const char* link : {"cfg.ini", "lines.txt", "chain.ini", "other/hop.ini"})
        EXPECT_TRUE(fs::is_symlink(link)) << link;
    for (const fs::path& folder : {fs::path("."), fs::path("real"), fs::path("other")})
        for (const auto& entry : fs::directory_iterator(folder))
            EXPECT_EQ(entry.path().string().find(".new"), std::string::npos) << entry.path();

    // A link into a folder that does not exist fails like any unwritable
    // name: the link stays and nothing is written beside it.
    fs::create_symlink("gone/x.ini", "lost.ini");
    IniOpen("lost.ini");
    IniPutValue("S", "k", "v");
    IniOpen("fourth.ini");
    EXPECT_TRUE(fs::is_symlink("lost.ini"));
    EXPECT_FALSE(fs::exists("gone"));
}

TEST_F(Config, LineFileResults) {
    WriteFile("three.txt", "alpha\r\n  \r\ngamma  \t\r\n");
    RuntimeString text;
    EXPECT_EQ(LineFileGet("three.txt", 0, text), 0);
    EXPECT_STREQ(text.Text(), "alpha");
    EXPECT_EQ(LineFileGet("three.txt", 2.9, text), 0);
    EXPECT_STREQ(text.Text(), "gamma  ");  // bytes below 32 only
    EXPECT_EQ(LineFileGet("three.txt", 5, text), 0);
    EXPECT_STREQ(text.Text(), "NO_DATA");
    engine.errorNumber = 0;
    EXPECT_EQ(LineFileGet("three.txt", 300, text), 7);
    EXPECT_STREQ(text.Text(), "NO_DATA");
    EXPECT_EQ(engine.errorNumber, 7);
    EXPECT_EQ(LineFileGet("three.txt", -1, text), 7);
    EXPECT_EQ(ProcessLineFile().lastLine, 2);
    // A missing file answers "NO_FILE" every time, and records error 3.
    engine.errorNumber = 0;
    EXPECT_EQ(LineFileGet("absent.txt", 0, text), 3);
    EXPECT_STREQ(text.Text(), "NO_FILE");
    EXPECT_EQ(engine.errorNumber, 3);
    EXPECT_EQ(LineFileGet("absent.txt", 1, text), 3);
    EXPECT_STREQ(text.Text(), "NO_FILE");
    double value = -1;
    EXPECT_EQ(LineFileGetNumber("absent.txt", 0, value), 0.0);
}

TEST_F(Config, LineFilePutsAreWrittenBackOnChangeOfFile) {
    LineFilePutNumber("nums.txt", 0, 2.5);
    LineFilePutNumber("nums.txt", 1, 3);
    LineFilePutNumber("nums.txt", 3, 0);
    engine.errorNumber = 0;
    LineFilePut("nums.txt", 256, "ignored");
    EXPECT_EQ(engine.errorNumber, 7);
    LineFilePut("nums.txt", 4, std::string(2000, 'L').c_str());
    EXPECT_FALSE(Exists("nums.txt"));
    RuntimeString text;
    LineFileGet("other.txt", 0, text);  // switching writes nums.txt
    EXPECT_EQ(ReadFile("nums.txt"),
              "2.5\r\n3\r\n\r\n0\r\n" + std::string(1023, 'L') + "\r\n");
    double value = 0;
    EXPECT_EQ(LineFileGetNumber("nums.txt", 0, value), 2.5);
    EXPECT_EQ(value, 2.5);
}

TEST_F(Config, LineFileIsWrittenBackAtExitAndLongLinesContinue) {
    WriteFile("long.txt", std::string(1500, 'x') + "\nend\n");
    RuntimeString text;
    EXPECT_EQ(LineFileGet("long.txt", 0, text), 0);
    EXPECT_EQ(text.Length(), 1023u);
    EXPECT_EQ(LineFileGet("long.txt", 1, text), 0);
    EXPECT_EQ(text.Length(), 477u);
    EXPECT_EQ(LineFileGet("long.txt", 2, text), 0);
    EXPECT_STREQ(text.Text(), "end");
    EXPECT_EXIT(
        {
            LineFilePut("exit.txt", 1, "second");
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(ReadFile("exit.txt"), "\r\nsecond\r\n");
    // Names too long for the held name are refused, never cut.
    std::string longName(1100, 'n');
    EXPECT_EQ(LineFileGet(longName.c_str(), 0, text), 3);
    LineFilePut(longName.c_str(), 0, "x");
    EXPECT_STREQ(ProcessLineFile().name, "long.txt");
}

TEST_F(Config, LineWriteBackKeepsWhatTheScriptDidNotPut) {
    // 300 lines, one of them longer than a held line, mixed line ends, and
    // no line end after the last.
    std::string original;
    for (int i = 0; i < 300; ++i) {
        if (i == 3) original += std::string(1500, 'L');
        else original += "line " + std::to_string(i);
        original += i % 2 ? "\n" : "\r\n";
    }
    original += "last";
    WriteFile("many.txt", original);
    LineFilePut("many.txt", 1, "put");
    LineFileWriteBack();
    std::string expected = original;
    expected.replace(expected.find("line 1\n"), 7, "put\r\n");
    EXPECT_TRUE(ReadFile("many.txt") == expected);

    // A file that ends without a line end gets one before lines put after it.
    WriteFile("short.txt", "a\nb");
    LineFilePut("short.txt", 3, "d");
    LineFileWriteBack();
    EXPECT_EQ(ReadFile("short.txt"), "a\nb\r\n\r\nd\r\n");

    // Putting one piece of a long line leaves the other piece as it was.
    WriteFile("long.txt", std::string(1500, 'x') + "\nend\n");
    LineFilePut("long.txt", 1, "tail");
    LineFileWriteBack();
    EXPECT_EQ(ReadFile("long.txt"), std::string(1023, 'x') + "tail\r\nend\n");
}

// ---------------------------------------------------------------------------
// Directory listing

TEST_F(Config, WildcardMatch) {
    struct Case {
        const char* pattern;
        const char* name;
        bool match;
    } cases[] = {
        {"*.png", "a.PNG", true},   {"*.png", "b.txt", false}, {"?.txt", "a.txt", true},
        {"?.txt", ".txt", false},   {"?.txt", "a.b.txt", false}, {"a*", "a", true},
        {"*", "", true},            {"a*c", "abcbc", true},    {"a*c", "abcb", false},
        {"*a*b", "xaxxab", true},   {"?", ".", false},         {"A?C", "abc", true},
        {"", "x", false},           {"**x", "yyx", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(WildcardMatch(c.pattern, c.name), c.match) << c.pattern << " " << c.name;
}

TEST_F(Config, DirectoryListPutsDirectoriesFirst) {
    std::filesystem::create_directory("list");
    ASSERT_EQ(chdir("list"), 0);
    WriteFile("a.PNG", "");
    WriteFile("b.txt", "");
    std::filesystem::create_directory("sub");
    TextArray names;
    EXPECT_EQ(DirectoryList("*.png", names), 3 * 65536 + 1);
    ASSERT_EQ(names.DimensionSize(0), 4u);
    EXPECT_STREQ(names.At(0).Text(), ".");
    EXPECT_STREQ(names.At(1).Text(), "..");
    EXPECT_STREQ(names.At(2).Text(), "sub");
    EXPECT_STREQ(names.At(3).Text(), "a.PNG");
    EXPECT_EQ(DirectoryList("?.txt", names), 3 * 65536 + 1);
    EXPECT_EQ(DirectoryList("*.none", names), 3 * 65536);
}

// ---------------------------------------------------------------------------
// External libraries

TEST_F(Config, ExternalFunctionLoadsEachLibraryOnce) {
    RuntimeString library("LIBM.so.6");
    void* address = (void*)1;
    ExternalFunction(library, RuntimeString("cos"), address);
    ASSERT_NE(address, nullptr);
    EXPECT_STREQ(library.Text(), "libm.so.6");
    EXPECT_EQ(((double (*)(double))address)(0.0), 1.0);
    RuntimeString again("libM.SO.6");
    ExternalFunction(again, RuntimeString("sqrt"), address);
    ASSERT_NE(address, nullptr);
    EXPECT_EQ(LoadedLibraryCount(), 1);
    ExternalFunction(again, RuntimeString("no_such_function"), address);
    EXPECT_EQ(address, nullptr);

    // A failed load is not remembered.
    RuntimeString missing("NoSuchLibrary.so");
    address = (void*)1;
    ExternalFunction(missing, RuntimeString("f"), address);
    EXPECT_EQ(address, nullptr);
    EXPECT_STREQ(missing.Text(), "nosuchlibrary.so");
    EXPECT_EQ(LoadedLibraryCount(), 1);
    LibrariesRelease();
    EXPECT_EQ(LoadedLibraryCount(), 0);
}
