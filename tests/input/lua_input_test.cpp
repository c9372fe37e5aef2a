// The input bindings as a script sees them: the real program, headless, runs
// a script that reads every input command each frame.
#include <gtest/gtest.h>

#include <string>

#include "support/headless.h"

TEST(LuaInput, AScriptReadsKeysEachFrameWithoutError) {
    std::string dir = UseScratchTempDirectory();
    ProgramRun run =
        RunProgram("--frames 5 --script '" REVEV_SOURCE_DIR "/tests/input/keys_each_frame.lua'", dir);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(CountOccurrences(run.err, "revev: script:"), 0) << run.err;
    EXPECT_EQ(CountOccurrences(run.out, " idle "), 5) << run.out;
    EXPECT_NE(run.out.find("frame 5 idle moved 0"), std::string::npos) << run.out;
    EXPECT_EQ(ReadWholeFile(dir + "ErrorLog.txt"), "");
}
