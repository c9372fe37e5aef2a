// Other programs and the file dialog: command lines split without a shell,
// programs started with and without a wait, and the dialog helper's command
// line and answer, checked with a fake helper of the test's own on PATH.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "core/engine.h"
#include "support/headless.h"

// ---------------------------------------------------------------------------
// Helpers

static bool Exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

// Waits (bounded) until a file appears.
static bool AppearsWithin(const std::string& path, int milliseconds) {
    for (int waited = 0; waited < milliseconds; waited += 10) {
        if (Exists(path)) return true;
        usleep(10000);
    }
    return Exists(path);
}

static std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// ---------------------------------------------------------------------------
// Command line words

struct SplitCase {
    const char* line;
    bool ok;
    std::vector<std::string> words;
};

TEST(CommandLineWords, QuotingRules) {
    const SplitCase cases[] = {
        {"", true, {}},
        {"   \t ", true, {}},
        {"prog a  b", true, {"prog", "a", "b"}},
        {"sh -c 'exit 7'", true, {"sh", "-c", "exit 7"}},
        {"a \"b c\" d", true, {"a", "b c", "d"}},
        {"'$HOME' \"a\\\"b\" \"c\\d\"", true, {"$HOME", "a\"b", "c\\d"}},
        {"a\\ b", true, {"a b"}},
        {"x''y \"\"", true, {"xy", ""}},
        {"a;b|c>d", true, {"a;b|c>d"}},
        {"'open", false, {}},
        {"\"open", false, {}},
        {"end\\", false, {}},
    };
    for (const SplitCase& c : cases) {
        std::vector<std::string> words;
        EXPECT_EQ(SplitCommandLine(c.line, words), c.ok) << c.line;
        if (c.ok) {
            EXPECT_EQ(words, c.words) << c.line;
        }
    }
}

// ---------------------------------------------------------------------------
// Running programs

class RunningPrograms : public ::testing::Test {
protected:
    void SetUp() override { dir = UseScratchTempDirectory(); }
    std::string dir;
};

TEST_F(RunningPrograms, WaitReturnsTheExitCode) {
    double code = -1;
    EXPECT_EQ(RunProgram("sh -c 'exit 7'", 1, 1, code), 1.0);
    EXPECT_EQ(code, 7.0);
    EXPECT_EQ(RunProgram("true", 1, 0, code), 1.0);
    EXPECT_EQ(code, 0.0);
}

TEST_F(RunningPrograms, WithoutWaitReturnsAtOnce) {
    const std::string marker = dir + "done";
    double code = -1;
    // The program can only write its marker after the test's own flag file
    // exists, so the command must have returned before the program ended.
    const std::string gate = dir + "gate";
    std::string line = "sh -c 'while [ ! -e \"$0\" ]; do sleep 0.01; done; touch \"$1\"; exit 3' '" + gate +
           "' '" + marker + "'";
    EXPECT_EQ(RunProgram(line.c_str(), 0, 1, code), 1.0);
    EXPECT_EQ(code, 0.0);
    EXPECT_FALSE(Exists(marker));
    WriteWholeFile(gate, "");
    EXPECT_TRUE(AppearsWithin(marker, 10000));
}

TEST_F(RunningPrograms, WordsReachTheProgramUninterpreted) {
    const std::string out = dir + "args";
    std::string line = "sh -c 'printf \"%s\\n\" \"$@\" > \"$0\"' '" + out +
                       "' \"two words\" '$HOME' 'a;b' '*'";
    double code = -1;
    ASSERT_EQ(RunProgram(line.c_str(), 1, 0, code), 1.0);
    EXPECT_EQ(code, 0.0);
    EXPECT_EQ(ReadWholeFile(out), "two words\n$HOME\na;b\n*\n");
}

TEST_F(RunningPrograms, OpenFilesAreNotInherited) {
    const std::string kept = dir + "kept";
    FILE* file = std::fopen(kept.c_str(), "w");
    ASSERT_NE(file, nullptr);
    const int fd = fileno(file);
    const std::string out = dir + "fds";
    std::string line = "sh -c 'if [ -e /proc/self/fd/" + std::to_string(fd) +
                       " ]; then echo open; else echo closed; fi > \"$0\"' '" + out + "'";
    double code = -1;
    EXPECT_EQ(RunProgram(line.c_str(), 1, 0, code), 1.0);
    std::fclose(file);
    EXPECT_EQ(ReadWholeFile(out), "closed\n");
}

TEST_F(RunningPrograms, ImpossibleProgramsGiveZero) {
    const char* lines[] = {"", "   ", "/no/such/program here", "no-such-program-revev-h10",
                           "'unclosed", "/"};
    for (const char* line : lines) {
        double code = -1;
        EXPECT_EQ(RunProgram(line, 1, 1, code), 0.0) << line;
        EXPECT_EQ(code, 0.0) << line;
    }
}

// Children of this process: all of them, and those that have ended and not
// been reaped.
struct Children {
    int all = 0;
    int zombies = 0;
};
static Children CountChildren() {
    Children children;
    const std::string self = std::to_string(getpid());
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string stat = ReadWholeFile(entry.path().string() + "/stat");
        // pid (name) state ppid ...; the name may hold spaces and brackets.
        const size_t close = stat.rfind(')');
        if (close == std::string::npos) continue;
        std::istringstream fields(stat.substr(close + 1));
        std::string state, parent;
        fields >> state >> parent;
        if (parent != self) continue;
        ++children.all;
        children.zombies += state == "Z";
    }
    return children;
}

// Waits (bounded) until every child but `running` has ended.
static Children UntilEnded(int running) {
    Children now = CountChildren();
    for (int waited = 0; waited < 10000 && now.all - now.zombies > running; waited += 10) {
        usleep(10000);
        now = CountChildren();
    }
    return now;
}

TEST_F(RunningPrograms, ProgramsLeftRunningAreReapedEveryFrame) {
    StartHeadless();
    // A program left running over the frames is not disturbed by the reaping,
    // nor is a program waited for.
    const std::string gate = dir + "gate";
    struct OpenGate {
        std::string path;
        ~OpenGate() { WriteWholeFile(path, ""); }
    } openAtEnd{gate};
    std::string slow = "sh -c 'while [ ! -e \"$0\" ]; do sleep 0.01; done' '" + gate + "'";
    double code = -1;
    ASSERT_EQ(RunProgram(slow.c_str(), 0, 0, code), 1.0);
    for (int i = 0; i < 10; ++i) ASSERT_EQ(RunProgram("true", 0, 0, code), 1.0);
    Children before = UntilEnded(1);
    ASSERT_EQ(before.all - before.zombies, 1);
    // Starting each program reaps those before it; the last stays until a frame.
    EXPECT_GE(before.zombies, 1);
    ShowScreen();
    Children after = CountChildren();
    EXPECT_EQ(after.zombies, 0);
    EXPECT_EQ(after.all, 1);
    EXPECT_EQ(RunProgram("sh -c 'exit 5'", 1, 0, code), 1.0);
    EXPECT_EQ(code, 5.0);
    WriteWholeFile(gate, "");
    UntilEnded(0);
    ShowScreen();
    EXPECT_EQ(CountChildren().all, 0);
}

// An end request while a script waits for a program it started, or for the
// file dialog's helper, ends the program at once through its end path, with
// its files saved; the started program goes on running.
TEST_F(RunningPrograms, AnEndRequestEndsAWaitAndSaves) {
    const std::string bin = dir + "bin/";
    std::filesystem::create_directory(bin);
    // A dialog helper that never answers, as a person who walked away.
    WriteWholeFile(bin + "zenity", "#!/bin/sh\necho $$ > '" + dir + "child'\nexec sleep 20\n");
    chmod((bin + "zenity").c_str(), 0755);
    const std::string waitProgram = "Lua_Runprogram(\"sh -c 'echo $$ > " + dir + "child; exec sleep 20'\", 1, 0)";
    for (const std::string& waitLine : {waitProgram, std::string("Lua_Filedialog(\"All|*.*\", 1)")}) {
        SCOPED_TRACE(waitLine);
        WriteWholeFile(dir + "s.ini", "[S]\r\nk=old\r\n");
        std::remove((dir + "l.txt").c_str());
        std::remove((dir + "child").c_str());
        const std::string script = dir + "wait.lua";
        WriteWholeFile(script, "Lua_Directoryset(\"" + dir + "\")\nLua_Iniopen(\"s.ini\")\n"
                               "Lua_Iniputvalue(\"S\", \"k\", \"new\")\n"
                               "Lua_Linefileput(\"l.txt\", 0, \"put\")\n" + waitLine + "\n");
        std::fflush(nullptr);
        pid_t program = fork();
        if (program == 0) {
            const std::string path = bin + ":" + std::getenv("PATH");
            setenv("PATH", path.c_str(), 1);
            // A display name lets the dialog look for its helper; the window
            // itself is still made off screen.
            setenv("DISPLAY", ":97", 1);
            setenv("SDL_VIDEODRIVER", "offscreen", 1);
            int out = open((dir + "out.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(out, 1);
            dup2(out, 2);
            execl(REVEV_BINARY, REVEV_BINARY, "--script", script.c_str(), (char*)nullptr);
            _exit(127);
        }
        ASSERT_GT(program, 0);
        ASSERT_TRUE(AppearsWithin(dir + "child", 20000)) << ReadWholeFile(dir + "out.txt");
        usleep(200000);
        kill(program, SIGTERM);
        int status = 0;
        pid_t ended = 0;
        // Generous: only tells an end from none within the child's 20 s.
        for (int i = 0; i < 100 && (ended = waitpid(program, &status, WNOHANG)) == 0; ++i) usleep(50000);
        const pid_t child = (pid_t)std::atol(ReadWholeFile(dir + "child").c_str());
        if (ended == 0) {
            kill(program, SIGKILL);
            waitpid(program, &status, 0);
        }
        const bool childRunning = child > 0 && kill(child, 0) == 0;
        if (child > 0) kill(child, SIGKILL);
        ASSERT_NE(ended, 0) << "the program did not end on the signal";
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << ReadWholeFile(dir + "out.txt");
        EXPECT_TRUE(childRunning);
        EXPECT_EQ(ReadWholeFile(dir + "s.ini"), "[S]\r\nk=new\r\n");
        EXPECT_EQ(ReadWholeFile(dir + "l.txt"), "put\r\n");
    }
}

// ---------------------------------------------------------------------------
// File dialog

TEST(FileDialogFilters, PairsBecomeEntries) {
    auto filters = ParseDialogFilter("Pictures|*.png;*.bmp|All|*.*");
    ASSERT_EQ(filters.size(), 2u);
    EXPECT_EQ(filters[0].description, "Pictures");
    EXPECT_EQ(filters[0].patterns, "*.png *.bmp");
    EXPECT_EQ(filters[1].description, "All");
    EXPECT_EQ(filters[1].patterns, "*.*");

    EXPECT_TRUE(ParseDialogFilter("").empty());
    EXPECT_TRUE(ParseDialogFilter("|").empty());
    // A trailing "|" (the system's own lists often end in one) changes nothing,
    // and a description without patterns is left out.
    EXPECT_EQ(ParseDialogFilter("Text|*.txt|").size(), 1u);
    EXPECT_EQ(ParseDialogFilter("Text|*.txt|Lone").size(), 1u);
    EXPECT_EQ(ParseDialogFilter("Empty||Text|*.txt").size(), 1u);
    auto unnamed = ParseDialogFilter("|*.lua");
    ASSERT_EQ(unnamed.size(), 1u);
    EXPECT_EQ(unnamed[0].description, "*.lua");
}

TEST(FileDialogFilters, KdialogCommandLine) {
    auto words = FileDialogCommand("kdialog", "Pictures|*.png;*.bmp|All|*.*", false, "/home/x");
    std::vector<std::string> expected = {"kdialog", "--getsavefilename", "/home/x/",
                                         "*.png *.bmp|Pictures\n*.*|All"};
    EXPECT_EQ(words, expected);
}

class FileDialogs : public ::testing::Test {
protected:
    void SetUp() override {
        dir = UseScratchTempDirectory();
        bin = dir + "bin/";
        mkdir(bin.c_str(), 0755);
        const char* path = std::getenv("PATH");
        savedPath = path ? path : "";
        const char* display = std::getenv("DISPLAY");
        hadDisplay = display != nullptr;
        if (display) savedDisplay = display;
        setenv("PATH", (bin + ":" + savedPath).c_str(), 1);
        // The helper needs a display named; the game window must not look for it.
        setVideoDriver = std::getenv("SDL_VIDEODRIVER") == nullptr;
        if (setVideoDriver) setenv("SDL_VIDEODRIVER", "offscreen", 1);
        setenv("DISPLAY", ":97", 1);
    }
    void TearDown() override {
        setenv("PATH", savedPath.c_str(), 1);
        if (hadDisplay) setenv("DISPLAY", savedDisplay.c_str(), 1);
        else unsetenv("DISPLAY");
        if (setVideoDriver) unsetenv("SDL_VIDEODRIVER");
    }
    // A fake zenity that writes its arguments, one a line, and answers `reply`
    // with exit code `code`.
    void FakeZenity(const std::string& reply, int code) {
        std::string script = "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" + dir +
                             "zenity-args'\nprintf '%s\\n' '" + reply + "'\nexit " +
                             std::to_string(code) + "\n";
        WriteWholeFile(bin + "zenity", script);
        chmod((bin + "zenity").c_str(), 0755);
    }
    std::vector<std::string> Arguments() { return Lines(ReadWholeFile(dir + "zenity-args")); }

    std::string dir, bin, savedPath, savedDisplay;
    bool hadDisplay = false;
    bool setVideoDriver = false;
};

TEST_F(FileDialogs, OpenDialogTakesTheFiltersAndAnswersWithSlashes) {
    FakeZenity("C:\\games\\level 1.png", 0);
    RuntimeString chosen = FileDialog("Pictures|*.png;*.bmp|All|*.*", 1);
    EXPECT_STREQ(chosen.Text(), "C:/games/level 1.png");
    std::vector<std::string> args = Arguments();
    ASSERT_FALSE(args.empty());
    EXPECT_EQ(args[0], "--file-selection");
    std::vector<std::string> filters;
    bool save = false;
    for (const std::string& a : args) {
        if (a.rfind("--file-filter=", 0) == 0) filters.push_back(a);
        if (a == "--save") save = true;
    }
    std::vector<std::string> expected = {"--file-filter=Pictures | *.png *.bmp",
                                         "--file-filter=All | *.*"};
    EXPECT_EQ(filters, expected);
    EXPECT_FALSE(save);
    EXPECT_NE(std::find(args.begin(), args.end(), "--filename=" + PlatformGetCurrentDirectory() + "/"),
              args.end());
}

TEST_F(FileDialogs, SaveDialogAsksToSave) {
    FakeZenity("/tmp/out.txt", 0);
    EXPECT_STREQ(FileDialog("Text|*.txt", 0).Text(), "/tmp/out.txt");
    std::vector<std::string> args = Arguments();
    EXPECT_NE(std::find(args.begin(), args.end(), "--save"), args.end());
}

TEST_F(FileDialogs, FilterTextIsNeverSeenByAShell) {
    FakeZenity("/x", 0);
    const std::string bomb = dir + "bomb";
    std::string filter = "Evil $(touch " + bomb + ")|*.x;`touch " + bomb + "`";
    EXPECT_STREQ(FileDialog(filter.c_str(), 1).Text(), "/x");
    EXPECT_FALSE(Exists(bomb));
    std::vector<std::string> args = Arguments();
    EXPECT_NE(std::find(args.begin(), args.end(),
                        "--file-filter=Evil $(touch " + bomb + ") | *.x `touch " + bomb + "`"),
              args.end());
}

TEST_F(FileDialogs, CancelMissingHelperOrNoDisplayGiveNoFile) {
    FakeZenity("", 1);
    EXPECT_STREQ(FileDialog("All|*.*", 1).Text(), "NO_FILE");

    // A helper that answers a path but exits with an error counts as failed.
    FakeZenity("/tmp/half", 2);
    EXPECT_STREQ(FileDialog("All|*.*", 1).Text(), "NO_FILE");

    FakeZenity("/tmp/a", 0);
    unsetenv("DISPLAY");
    unlink((dir + "zenity-args").c_str());
    EXPECT_STREQ(FileDialog("All|*.*", 1).Text(), "NO_FILE");
    EXPECT_FALSE(Exists(dir + "zenity-args"));

    setenv("DISPLAY", ":97", 1);
    setenv("PATH", bin.c_str(), 1);
    unlink((bin + "zenity").c_str());
    EXPECT_STREQ(FileDialog("All|*.*", 1).Text(), "NO_FILE");
}

TEST_F(FileDialogs, GameWindowComesBackAndDirectoryStays) {
    StartHeadless();
    PlatformShowWindow(engine.screen->window, true);
    const std::string before = PlatformGetCurrentDirectory();
    FakeZenity("/tmp/a.png", 0);
    EXPECT_STREQ(FileDialog("All|*.*", 1).Text(), "/tmp/a.png");
    EXPECT_TRUE(PlatformWindowVisible(engine.screen->window));
    EXPECT_EQ(PlatformGetCurrentDirectory(), before);
    EXPECT_EQ(engine.screen->fullscreenActive, 0);
}

// ---------------------------------------------------------------------------
// What a script sees

TEST_F(FileDialogs, ScriptGetsPathsAndExitCodes) {
    FakeZenity("D:\\saves\\one.sav", 0);
    WriteWholeFile(dir + "script.lua",
                   "if not done then\n"
                   "  done = true\n"
                   "  print('run', Lua_Runprogram(\"sh -c 'exit 7'\", 1, 0))\n"
                   "  print('nowait', Lua_Runprogram('true', 0, 1))\n"
                   "  print('fail', Lua_Runprogram('/no/such/program', 1, 1))\n"
                   "  print('dialog', Lua_Filedialog('Saves|*.sav', 0))\n"
                   "end\n");
    ProgramRun run = RunProgram("--frames 3 --script '" + dir + "script.lua'", dir);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("run\t1\t7\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("nowait\t1\t0\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("fail\t0\t0\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("dialog\tD:/saves/one.sav\n"), std::string::npos) << run.out;
    std::vector<std::string> args = Arguments();
    EXPECT_NE(std::find(args.begin(), args.end(), "--file-filter=Saves | *.sav"), args.end());
}
