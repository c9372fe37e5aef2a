// How often the frame routine and the input reads ask the window system for
// new events: each ask reads the window system's socket, so a frame asks once
// for its input and first dispatch, the wait asks after each sleep but not in
// its last spinning stretch, and nothing queued is lost on the way.
#include <gtest/gtest.h>

#include "core/engine.h"
#include "input/input.h"
#include "support/headless.h"

namespace {

constexpr int kA = 30;

class EventAsks : public ::testing::Test {
protected:
    void SetUp() override {
        UseScratchTempDirectory();
        StartHeadless();
        SetEscapeEndsProgram(0);
    }
    void TearDown() override { SetClockSource(nullptr); }
};

TEST_F(EventAsks, AFrameWithoutWaitingAsksOnceAndTakesEverythingQueued) {
    // A test clock never sleeps, so the wait adds no asks.
    FakeClock::Install(1000.0, 0.01);
    engine.screen->nextFrameDeadline = 1000.0;
    ShowScreen();
    for (int frame = 0; frame < 5; ++frame) {
        PlatformPushKeyEvent(kA, true);
        PlatformPushKeyEvent(kA, false);
        PlatformInjectMessage({PlatformMessageKind::Activate, 0});
        uint64_t before = PlatformEventAsks();
        ShowScreen();
        EXPECT_EQ(PlatformEventAsks() - before, 1u) << "frame " << frame;
        // The tap reached this frame's input state and the message its dispatch.
        EXPECT_TRUE(InputKeyDown(kA)) << "frame " << frame;
        PlatformMessage left;
        EXPECT_FALSE(PlatformPeekMessage(left)) << "frame " << frame;
    }
}

TEST_F(EventAsks, AKeyCommandAsksOnce) {
    ShowScreen();
    PlatformPushKeyEvent(kA, true);
    uint64_t before = PlatformEventAsks();
    EXPECT_EQ(KeyTest(kA), 1.0);
    EXPECT_EQ(PlatformEventAsks() - before, 1u);
    before = PlatformEventAsks();
    KeyPressed(kA);
    EXPECT_EQ(PlatformEventAsks() - before, 1u);
}

TEST_F(EventAsks, TheWaitAsksAfterEachSleepAndNotWhileSpinning) {
    // 100 ms frames: some 25 sleeps of at most 4 ms each, then a spin of 0.3 ms.
    ASSERT_TRUE(ClockIsPlatform());
    SetFrameRate(10);
    ShowScreen();
    uint64_t before = PlatformEventAsks();
    ShowScreen();
    uint64_t asks = PlatformEventAsks() - before;
    EXPECT_GE(asks, 2u);
    EXPECT_LE(asks, 40u);
}

TEST_F(EventAsks, ReadsInsideABatchShareOneAskAndAnExplicitAskStillAsks) {
    uint64_t before = PlatformEventAsks();
    PlatformBatchEventReads(true);
    PlatformBatchEventReads(true);
    uint8_t keys[256];
    PlatformReadKeyboard(keys);
    PlatformMessage message;
    PlatformPeekMessage(message);
    PlatformBatchEventReads(false);
    PlatformReadKeyboard(keys);
    EXPECT_EQ(PlatformEventAsks() - before, 1u);
    PlatformAskForEvents();
    PlatformReadKeyboard(keys);
    EXPECT_EQ(PlatformEventAsks() - before, 2u);
    PlatformBatchEventReads(false);
    // Outside a batch every read asks.
    PlatformReadKeyboard(keys);
    PlatformReadKeyboard(keys);
    EXPECT_EQ(PlatformEventAsks() - before, 4u);
}

}  // namespace
