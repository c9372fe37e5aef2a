// Record and replay through the real program, headless: files the script
// reads are noted with their size and hash, and a replay warns once about a
// file that changed however often it is read; a run ended by a signal while
// the script loops without calling the runtime (ended by the interpreter's
// hook, or by the watchdog under the compiler) keeps its end, and its replay
// ends at the same place with the same exit code instead of looping on.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "support/headless.h"
#include "support/xvfb_display.h"

namespace {

// The program, headless, in the background from `folder`.
pid_t StartHeadlessProgram(const std::string& folder, const std::string& journal, const std::string& script) {
    pid_t pid = fork();
    if (pid == 0) {
        if (chdir(folder.c_str()) != 0) _exit(126);
        int out = open((folder + "rec.out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = open((folder + "rec.err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(out, 1);
        dup2(err, 2);
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        unsetenv("SDL_VIDEODRIVER");
        execl(REVEV_BINARY, REVEV_BINARY, "--record", journal.c_str(), "--script", script.c_str(), (char*)nullptr);
        _exit(127);
    }
    return pid;
}

// Its exit code, or -1 when it had to be killed after timeoutMs.
int WaitChild(pid_t pid, int timeoutMs) {
    for (int waited = 0;; waited += 20) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        if (waited >= timeoutMs) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return -1;
        }
        SleepMilliseconds(20);
    }
}

// A scratch folder holding game/main.lua, with the program kept headless
// whatever display the caller's environment names; the folder's path.
std::string HeadlessGame(const std::string& script) {
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    std::string dir = UseScratchTempDirectory();
    mkdir((dir + "game").c_str(), 0755);
    WriteWholeFile(dir + "game/main.lua", script);
    return dir;
}

// A pass of the script that reads nothing from outside still runs in the
// replay when the recording ended inside it, and prints what it printed; an
// end at a frame's end (--frames) runs no further pass.
TEST(JournalScriptEnd, TheLastPassRunsWhenTheRecordingEndedInsideIt) {
    std::string dir = HeadlessGame(
        "frame = (frame or 0) + 1\n"
        "print('frame ' .. frame)\n"
        "if frame == 20 then Lua_End() end\n");
    struct Case {
        const char* name;
        const char* extra;
        const char* last;
    };
    const Case cases[] = {{"end.rvj", "", "frame 20\n"}, {"frames.rvj", "--frames 12 ", "frame 12\n"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ProgramRun recording =
            RunProgram(std::string(c.extra) + "--record " + dir + c.name + " --script " + dir + "game/main.lua", dir);
        ASSERT_EQ(recording.exitCode, 0) << recording.err;
        ASSERT_GE(recording.out.size(), std::string(c.last).size());
        EXPECT_EQ(recording.out.substr(recording.out.size() - std::string(c.last).size()), c.last);
        ProgramRun replay = RunProgram("--replay " + dir + c.name + " --replay-speed max", dir);
        EXPECT_EQ(replay.exitCode, 0) << replay.err;
        EXPECT_EQ(replay.out, recording.out);
        EXPECT_EQ(replay.err.find("revev:"), std::string::npos) << replay.err;
    }
}

TEST(JournalFiles, AChangedFileIsNamedOnceHoweverOftenItIsRead) {
    std::string dir = HeadlessGame(
        "frame = (frame or 0) + 1\n"
        "Lua_Channelopen(1, \"level.txt\", 1)\n"
        "print(frame, Lua_Channelreadline(1), Lua_Runtime())\n"
        "Lua_Channelclose(1)\n"
        "if frame == 20 then Lua_End() end\n");
    WriteWholeFile(dir + "game/level.txt", "level one\n");
    ProgramRun recording = RunProgram("--record " + dir + "files.rvj --script " + dir + "game/main.lua", dir);
    ASSERT_EQ(recording.exitCode, 0) << recording.err;
    ASSERT_EQ(CountOccurrences(recording.out, "level one"), 20) << recording.out;

    std::string replayArguments = "--replay " + dir + "files.rvj --replay-speed max --script " + dir + "game/main.lua";
    ProgramRun same = RunProgram(replayArguments, dir);
    EXPECT_EQ(same.exitCode, 0) << same.err;
    EXPECT_EQ(same.out, recording.out);
    EXPECT_EQ(same.err.find("revev:"), std::string::npos) << same.err;

    // Same size, other bytes: only the hash tells.
    WriteWholeFile(dir + "game/level.txt", "level two\n");
    ProgramRun changed = RunProgram(replayArguments, dir);
    EXPECT_EQ(changed.exitCode, 0) << changed.err;
    EXPECT_EQ(CountOccurrences(changed.err, "level.txt differs from the file the recording read"), 1)
        << changed.err;
    EXPECT_EQ(CountOccurrences(changed.out, "level two"), 20) << changed.out;
}

TEST(JournalSignalEnd, ARunEndedBySignalInALoopReplaysToTheSameEnd) {
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    std::string dir = UseScratchTempDirectory();
    for (const char* sub : {"rec", "rep"}) {
        mkdir((dir + sub).c_str(), 0755);
        WriteWholeFile(dir + sub + "/main.lua",
                       "frame = (frame or 0) + 1\n"
                       "print(frame, Lua_Runtime())\n"
                       "if frame == 10 then\n"
                       "  Lua_Channelopen(1, \"looping.txt\", 0)\n"
                       "  Lua_Channelwriteline(1, \"yes\")\n"
                       "  Lua_Channelclose(1)\n"
                       "  local n = 0\n"
                       "  while true do n = n + 1 end\n"
                       "end\n");
    }
    pid_t program = StartHeadlessProgram(dir + "rec/", dir + "signal.rvj", dir + "rec/main.lua");
    ASSERT_TRUE(WaitForFile(dir + "rec/looping.txt", 60000)) << ReadFileIfAny(dir + "rec/rec.err");
    SleepMilliseconds(100);
    kill(program, SIGTERM);
    int recordExit = WaitChild(program, 20000);
    ASSERT_EQ(recordExit, 0) << ReadFileIfAny(dir + "rec/rec.err");
    std::string recorded = ReadFileIfAny(dir + "rec/rec.out");
    ASSERT_EQ(CountOccurrences(recorded, "\n"), 1 + 10) << recorded;

    ProgramRun run =
        RunProgram("--replay " + dir + "signal.rvj --replay-speed max --script " + dir + "rep/main.lua", dir);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, recorded);
    EXPECT_EQ(run.err.find("revev:"), std::string::npos) << run.err;
}

}  // namespace
