// Record and replay through the real program. A run recorded in process with
// keys, mouse motion and buttons pushed into the event queue from another
// thread at times nobody controls is replayed headless by the program at full
// speed: what the script prints and the screens it saves every 30 frames are
// byte for byte the recording's. Cut, damaged and foreign journals, a script
// that no longer matches, and --replay-until.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <thread>

#include "application.h"
#include "core/engine.h"
#include "support/headless.h"

namespace {

const char* const kShots[] = {"shot30.png", "shot60.png", "shot90.png", "shot120.png"};

void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// Types and moves as a person would, unaware of frames.
void PushInput() {
    Pause(400);
    for (int i = 0; i < 40; ++i) {
        PlatformPushMouseMotion(nullptr, 20 + 5 * i, 30 + 3 * i, 5, 3);
        if (i % 8 == 0) PlatformPushKeyEvent(57, true);
        if (i % 8 == 3) PlatformPushKeyEvent(57, false);
        if (i % 5 == 1) PlatformPushKeyEvent(30, true);
        if (i % 5 == 2) PlatformPushKeyEvent(30, false);
        if (i % 10 == 4) PlatformPushMouseButton(nullptr, 1, true);
        if (i % 10 == 6) PlatformPushMouseButton(nullptr, 1, false);
        if (i % 9 == 0) PlatformPushMouseWheel(nullptr, 1);
        Pause(7 + i % 13);
    }
}

// In a child process: the application, recording, for 120 frames.
void RecordRun(const std::string& dir) {
    if (!std::freopen((dir + "rec.out").c_str(), "w", stdout)) std::abort();
    ApplicationOptions options;
    options.script = dir + "rec/main.lua";
    options.scriptFolderIsCurrent = true;
    options.frames = 120;
    std::string error;
    if (!BeginRecording(dir + "run.rvj", options.script, "", error)) std::abort();
    std::thread(PushInput).detach();
    RunApplication(options, "");
}

class Replay : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // Headless whatever display the caller has: the recording here and
        // the replays the program makes.
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        dir = UseScratchTempDirectory();
        std::string script = ReadWholeFile(REVEV_SOURCE_DIR "/tests/platform/replay_script.lua");
        for (const char* sub : {"rec", "rep"}) {
            mkdir((dir + sub).c_str(), 0755);
            WriteWholeFile(dir + sub + "/main.lua", script);
        }
        // A child of our own: the application ends by exiting the process.
        std::fflush(stdout);
        pid_t child = fork();
        if (child == 0) RecordRun(dir);
        int status = -1;
        waitpid(child, &status, 0);
        recordExit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        recorded = ReadWholeFile(dir + "rec.out");
        journal = ReadWholeFile(dir + "run.rvj");
    }
    void SetUp() override {
        ASSERT_EQ(recordExit, 0);
        // "Init OK", then a line a frame.
        ASSERT_EQ(CountOccurrences(recorded, "\n"), 121) << recorded;
        ASSERT_FALSE(journal.empty());
    }
    // The program replaying `name` (in dir) with the script in rep/.
    static ProgramRun ReplayJournal(const std::string& name, const std::string& more = "") {
        return RunProgram("--replay " + dir + name + " --replay-speed max --script " + dir + "rep/main.lua" + more,
                          dir);
    }
    static std::string dir, recorded, journal;
    static int recordExit;
};
std::string Replay::dir, Replay::recorded, Replay::journal;
int Replay::recordExit = -1;

std::string FirstLines(const std::string& text, int count) {
    size_t at = 0;
    for (int i = 0; i < count && at != std::string::npos; ++i) {
        at = text.find('\n', at);
        if (at != std::string::npos) ++at;
    }
    return at == std::string::npos ? text : text.substr(0, at);
}

TEST_F(Replay, PrintsAndScreensAreTheRecordingsByteForByte) {
    // The input reached the script while recording: keys, buttons, motion.
    EXPECT_NE(recorded.find(" 1 1 "), std::string::npos) << recorded;
    ProgramRun run = ReplayJournal("run.rvj");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, recorded);
    for (const char* shot : kShots) {
        std::string original = ReadWholeFile(dir + "rec/" + shot);
        EXPECT_FALSE(original.empty()) << shot;
        EXPECT_TRUE(original == ReadWholeFile(dir + "rep/" + shot)) << shot << " differs";
    }
    EXPECT_EQ(run.err.find("revev:"), std::string::npos) << run.err;
}

TEST_F(Replay, ACutJournalReplaysItsWholeBlocksAndSaysSo) {
    WriteWholeFile(dir + "cut.rvj", journal.substr(0, journal.size() * 6 / 10));
    ProgramRun run = ReplayJournal("cut.rvj");
    EXPECT_EQ(run.exitCode, 3) << run.err;
    EXPECT_NE(run.err.find("cut short"), std::string::npos) << run.err;
    int lines = CountOccurrences(run.out, "\n");
    EXPECT_GT(lines, 1);
    EXPECT_LT(lines, 121);
    EXPECT_EQ(run.out, FirstLines(recorded, lines));
}

TEST_F(Replay, ADamagedJournalReplaysUpToTheDamageAndSaysSo) {
    std::string damaged = journal;
    damaged[damaged.size() / 2] ^= 0x10;
    WriteWholeFile(dir + "damaged.rvj", damaged);
    ProgramRun run = ReplayJournal("damaged.rvj");
    EXPECT_EQ(run.exitCode, 3) << run.err;
    EXPECT_NE(run.err.find("damaged"), std::string::npos) << run.err;
    int lines = CountOccurrences(run.out, "\n");
    EXPECT_LT(lines, 121);
    EXPECT_EQ(run.out, FirstLines(recorded, lines));
}

TEST_F(Replay, AJournalOfAnotherVersionOrNoneIsRefusedBeforeStartUp) {
    std::string other = journal;
    other[8] = 9;
    WriteWholeFile(dir + "other.rvj", other);
    ProgramRun run = ReplayJournal("other.rvj");
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("version 9"), std::string::npos) << run.err;
    EXPECT_EQ(run.out.find("Init OK"), std::string::npos);

    WriteWholeFile(dir + "text.rvj", "hello\n");
    run = ReplayJournal("text.rvj");
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("not a journal"), std::string::npos) << run.err;

    run = ReplayJournal("missing.rvj");
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("cannot read"), std::string::npos) << run.err;
}

TEST_F(Replay, AChangedScriptIsNamedAndTheReplayStopsWhereItLeavesTheJournal) {
    mkdir((dir + "changed").c_str(), 0755);
    // One clock reading more in frame 10 than the recording made.
    WriteWholeFile(dir + "changed/main.lua",
                   "if frame == 9 then Lua_Runtime() end\n" + ReadWholeFile(dir + "rep/main.lua"));
    ProgramRun run = RunProgram("--replay " + dir + "run.rvj --replay-speed max --script " + dir + "changed/main.lua",
                                dir);
    EXPECT_EQ(run.exitCode, 3) << run.err;
    EXPECT_NE(run.err.find("differs from the file the recording read"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("at frame 10"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("no longer matches"), std::string::npos) << run.err;
    // Frame 10 read the clock once more; its line is printed with the reading
    // meant for the next one, then the frame routine finds the journal's
    // reading taken.
    EXPECT_EQ(CountOccurrences(run.out, "\n"), 1 + 10);
    EXPECT_EQ(run.out.substr(0, FirstLines(recorded, 1 + 9).size()), FirstLines(recorded, 1 + 9));
    EXPECT_NE(run.out, FirstLines(recorded, 1 + 10));
}

TEST_F(Replay, ReplayUntilWithAScreenshotSavesThatFrameAndEnds) {
    ProgramRun run = ReplayJournal("run.rvj", " --replay-until 60 --screenshot " + dir + "until.png");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, FirstLines(recorded, 1 + 60));
    EXPECT_FALSE(ReadWholeFile(dir + "until.png").empty());
}

}  // namespace
