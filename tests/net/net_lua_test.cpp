// The network bindings as a script sees them: a script run headless by the
// real program, checked by what it prints; the program ends with its game
// still running.
#include <gtest/gtest.h>

#include <string>

#include "support/headless.h"

TEST(NetScript, HostsPlaysAndEndsWithTheGameRunning) {
    std::string dir = UseScratchTempDirectory();
    ProgramRun run = RunProgram("--frames 1 --script '" REVEV_SOURCE_DIR "/tests/net/net_script.lua'", dir, dir);
    const std::string& printed = run.out;
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(printed.find("host 1\n"), std::string::npos) << printed;
    EXPECT_NE(printed.find("{ server thread - UP\n"), std::string::npos) << printed;
    EXPECT_NE(printed.find("ids 101 102 -1\n"), std::string::npos) << printed;
    EXPECT_NE(printed.find("count 2 first 101 name bob\n"), std::string::npos) << printed;
    EXPECT_NE(printed.find("send 1 1\n"), std::string::npos) << printed;
    EXPECT_NE(printed.find("bob got: hi bob from 101, hi all from 101\n"), std::string::npos) << printed;
    EXPECT_NE(printed.find("alice got: hi all\n"), std::string::npos) << printed;
    EXPECT_NE(printed.find("fetch 0\n"), std::string::npos) << printed;
}
