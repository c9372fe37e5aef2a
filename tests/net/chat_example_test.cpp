// The chat example, run as a new user runs it: two programs on this machine,
// one hosting and one joining, with the keys typed for them by the test.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "support/headless.h"

namespace {

// A script that runs the example every frame with a port and typed keys of
// the test's, and prints each chat line once as it appears.
std::string Wrapper(const std::string& port, const std::string& typing) {
    return "if not started then chatPort = '" + port + "'; chatTyping = '" + typing +
           "'; shown = 0; started = true end\n"
           "dofile('" REVEV_SOURCE_DIR "/examples/chat/main.lua')\n"
           "while shown < #chat.lines do shown = shown + 1; print('LINE ' .. chat.lines[shown]) end\n";
}

TEST(ChatExample, AGuestsLineReachesTheHostAndBothSeeEachOther) {
    const std::string dir = UseScratchTempDirectory();
    const std::string port = "47853";
    WriteWholeFile(dir + "host.lua", Wrapper(port, "h"));
    WriteWholeFile(dir + "guest.lua", Wrapper(port, "jhello there\\r"));
    const std::string hostDir = dir + "host/", guestDir = dir + "guest/";
    std::filesystem::create_directories(hostDir);
    std::filesystem::create_directories(guestDir);
    ProgramRun host, guest;
    std::thread hosting([&] {
        host = RunProgram("--frames 420 --script " + dir + "host.lua", hostDir);
    });
    // The guest joins once the host listens.
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    guest = RunProgram("--frames 180 --script " + dir + "guest.lua", guestDir);
    hosting.join();

    EXPECT_EQ(host.exitCode, 0) << host.err;
    EXPECT_EQ(guest.exitCode, 0) << guest.err;
    EXPECT_NE(host.out.find("LINE you are host (player 101)"), std::string::npos) << host.out;
    EXPECT_NE(guest.out.find("LINE you are guest (player "), std::string::npos) << guest.out;
    EXPECT_NE(host.out.find("LINE guest: guest is here"), std::string::npos) << host.out;
    EXPECT_NE(host.out.find("LINE guest: hello there"), std::string::npos) << host.out;
    EXPECT_NE(guest.out.find("LINE guest: hello there"), std::string::npos) << guest.out;
    EXPECT_EQ(host.err, "");
    EXPECT_EQ(guest.err, "");
}

}  // namespace
