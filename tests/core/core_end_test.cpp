// The one end of the program: ESC, Alt+F4, the close box and fatal errors end
// the process with code 0 after the fixed shutdown, with the end trace in
// debug mode. Each end runs in a child process (death test).
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "core/engine.h"
#include "support/headless.h"

static std::string ReadLog(const std::string& dir) {
    std::ifstream in(dir + "ErrorLog.txt", std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

class EndOfProgram : public ::testing::Test {
protected:
    void SetUp() override {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        dir = UseScratchTempDirectory();
    }
    std::string dir;
};

TEST_F(EndOfProgram, EscapeInDebugModeWritesTheEndTrace) {
    EXPECT_EXIT(
        {
            StartHeadless();
            engine.debugMode = 1;
            SetPosition(2, 57);
            PlatformInjectKey(1, true);
            ShowScreen();
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(ReadLog(dir), "-End On Line\r\n0\r\n56\r\n57\r\n2\r\n");
}

TEST_F(EndOfProgram, FatalErrorRecordsItsNumberAndLine) {
    EXPECT_EXIT(
        {
            StartHeadless();
            engine.debugMode = 1;
            SetPosition(1, 10);
            RuntimeError(7);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(ReadLog(dir), "-End On Line\r\n7\r\n9\r\n10\r\n1\r\n");
}

TEST_F(EndOfProgram, WithoutDebugModeTheLogStaysEmpty) {
    EXPECT_EXIT(
        {
            StartHeadless();
            PlatformInjectKey(1, true);
            ShowScreen();
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(ReadLog(dir), "");
}

TEST_F(EndOfProgram, EscapeIsIgnoredWhenSwitchedOffButAltF4AlwaysEnds) {
    EXPECT_EXIT(
        {
            StartHeadless({320, 240, 0});
            SetEscapeEndsProgram(0);
            PlatformInjectKey(1, true);
            ShowScreen();
            ShowScreen();
            PlatformInjectKey(1, false);
            engine.debugMode = 1;
            ErrorLogAppend("survived escape");
            PlatformInjectKey(56, true);
            PlatformInjectKey(62, true);
            ShowScreen();
            ErrorLogAppend("not reached");
        },
        ::testing::ExitedWithCode(0), "");
    std::string log = ReadLog(dir);
    EXPECT_EQ(log.find("survived escape\r\n"), 0u);
    EXPECT_EQ(log.find("not reached"), std::string::npos);
    EXPECT_NE(log.find("-End On Line"), std::string::npos);
}

TEST_F(EndOfProgram, CloseMessageEndsFromInsideDispatch) {
    EXPECT_EXIT(
        {
            StartHeadless();
            engine.debugMode = 1;
            PlatformInjectMessage({PlatformMessageKind::Close, 0});
            MessagePump(*engine.screen);
            ErrorLogAppend("not reached");
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(ReadLog(dir).find("-End On Line"), 0u);
}

TEST_F(EndOfProgram, SystemCloseEndsButScreenSaverIsSwallowed) {
    EXPECT_EXIT(
        {
            StartHeadless();
            engine.debugMode = 1;
            EXPECT_EQ(WindowProcedure({PlatformMessageKind::SystemCommand, kSysCommandScreenSave + 3}), 0);
            EXPECT_EQ(WindowProcedure({PlatformMessageKind::SystemCommand, kSysCommandMonitorPower}), 0);
            ErrorLogAppend("still running");
            WindowProcedure({PlatformMessageKind::SystemCommand, kSysCommandClose});
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(ReadLog(dir).find("still running\r\n-End On Line"), 0u);
}

TEST_F(EndOfProgram, ShutdownLeavesNoRunTimeObject) {
    StartHeadless();
    Shutdown();
    EXPECT_EQ(engine.screen, nullptr);
    EXPECT_EQ(engine.mainWindow, nullptr);
    EXPECT_EQ(engine.input, nullptr);
    EXPECT_EQ(engine.dataArchives, nullptr);
}

// The end belongs to the first thread that claims it: EndProgram on another
// thread then waits, and runs none of its shutdown, while that end finishes.
TEST_F(EndOfProgram, EndWaitsWhileAnotherThreadHasClaimedIt) {
    EXPECT_EXIT(
        {
            StartHeadless();
            engine.debugMode = 1;
            bool claimed = false;
            std::thread other([&] {
                claimed = ClaimProgramEnd();
                // The claim holds for the thread that made it.
                if (claimed && !ClaimProgramEnd()) claimed = false;
            });
            other.join();
            if (!claimed || ClaimProgramEnd()) std::_Exit(3);
            std::thread ender([] {
                std::this_thread::sleep_for(std::chrono::milliseconds(300));
                ErrorLogAppend("ended by the other thread");
                std::_Exit(0);
            });
            ender.detach();
            EndProgram();
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(ReadLog(dir), "ended by the other thread\r\n");
}
