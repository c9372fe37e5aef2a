// PathFind as a script sees it: a script run headless by the real program,
// checked by what it prints.
#include <gtest/gtest.h>

#include <string>

#include "support/headless.h"

TEST(PathScript, FindsAPathRoundAWallAndReportsRefusals) {
    std::string dir = UseScratchTempDirectory();
    ProgramRun run = RunProgram("--frames 1 --script '" REVEV_SOURCE_DIR "/tests/path/find_path.lua'", dir);
    const std::string& printed = run.out;
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err.find("script:"), std::string::npos) << run.err;

    // Round the wall through the gap at the bottom of column 2.
    EXPECT_NE(printed.find("path 9 rows 9x2: 0,0 1,0 1,1 1,2 2,2 3,2 3,1 3,0 4,0\n"), std::string::npos) << printed;
    EXPECT_NE(printed.find("walled 0 rows 0\n"), std::string::npos) << printed;
    EXPECT_NE(printed.find("outside 0 same 0 kept 2 7 8\n"), std::string::npos) << printed;
    EXPECT_NE(printed.find("missing 0\n"), std::string::npos) << printed;
    EXPECT_NE(printed.find("not an array false\n"), std::string::npos) << printed;
}
