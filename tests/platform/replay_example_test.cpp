// The replay example: its recorded session replays headless to the stored
// last frame, byte for byte, as a game's own regression test would.
#include <gtest/gtest.h>

#include <string>

#include "support/headless.h"

TEST(ReplayExample, TheSessionEndsOnTheStoredPicture) {
    std::string dir = UseScratchTempDirectory();
    std::string example = REVEV_SOURCE_DIR "/examples/replay/";
    ProgramRun run = RunProgram("--replay " + example + "session.rvj --replay-speed max --script " + example +
                                    "main.lua --screenshot " + dir + "last.png",
                                dir);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err.find("revev:"), std::string::npos) << run.err;
    std::string expected = ReadWholeFile(example + "last.png");
    ASSERT_FALSE(expected.empty());
    EXPECT_TRUE(ReadWholeFile(dir + "last.png") == expected) << "the last frame differs from examples/replay/last.png";
}
