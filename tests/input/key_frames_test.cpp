// Key presses faster than the frames, through real key events in the queue:
// a tap between two frames reads as down for the next frame, and each press
// and release is reported once, in the frame after it, for every key; the
// key wait and the polling path see taps too.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "core/engine.h"
#include "input/input.h"
#include "input_test_support.h"

namespace {

constexpr int kEscape = 1, kA = 30, kB = 48, kSpace = 57, kY = 21, kZ = 44, kUp = 200;

// Every key number that a key of the keyboard carries (the key table of the
// documentation lists the same).
std::vector<int> EveryKey() {
    std::vector<int> keys;
    for (int key = 1; key <= 83; ++key) keys.push_back(key);
    for (int key : {86, 87, 88, 100, 101, 102, 112, 115, 121, 123, 125, 141, 144, 149, 153, 156,
                    157, 160, 161, 162, 164, 174, 176, 178, 179, 181, 183, 184, 197, 199, 200, 201,
                    203, 205, 207, 208, 209, 210, 211, 219, 220, 221, 222, 223, 229, 230, 231, 232,
                    233, 234, 235, 236, 237})
        keys.push_back(key);
    return keys;
}

void Tap(int key) {
    PressKey(key);
    ReleaseKey(key);
}

class KeyFrames : public ::testing::Test {
protected:
    void SetUp() override {
        dir = UseScratchTempDirectory();
        StartHeadless({320, 240, 0});
        SetEscapeEndsProgram(0);
    }
    // What a script reading key k in one frame sees.
    struct Seen {
        double down, pressed, released;
    };
    Seen Look(int key) { return {KeyTest(key), KeyPressed(key), KeyReleased(key)}; }
    std::string dir;
};

TEST_F(KeyFrames, ATapBeforeTheFrameRoutineReadsAsDownForTheNextFrameOnly) {
    for (int key : EveryKey()) {
        Tap(key);
        ShowScreen();
        Seen seen = Look(key);
        EXPECT_EQ(seen.down, 1.0) << "key " << key;
        EXPECT_EQ(seen.pressed, 1.0) << "key " << key;
        EXPECT_EQ(seen.released, 1.0) << "key " << key;
        // The whole frame long, and only that key.
        EXPECT_EQ(KeyTest(key), 1.0) << "key " << key;
        EXPECT_EQ(KeyTest(key == kA ? kB : kA), 0.0) << "key " << key;
        ShowScreen();
        seen = Look(key);
        EXPECT_EQ(seen.down + seen.pressed + seen.released, 0.0) << "key " << key;
    }
}

TEST_F(KeyFrames, ATapDuringTheWaitForTheDeadlineReadsAsDownInTheFrameAfter) {
    ShowScreen();
    // The frame routine has refreshed input and is waiting: the tap comes in
    // before the script's first read.
    Tap(kSpace);
    Tap(kUp);
    Seen space = Look(kSpace), up = Look(kUp);
    EXPECT_EQ(space.down + space.pressed + space.released, 3.0);
    EXPECT_EQ(up.down + up.pressed + up.released, 3.0);
    ShowScreen();
    EXPECT_EQ(KeyTest(kSpace) + KeyPressed(kUp) + KeyReleased(kUp), 0.0);
}

TEST_F(KeyFrames, APressDuringAFrameIsReportedInTheNextFrameOnce) {
    ShowScreen();
    EXPECT_EQ(KeyTest(kSpace), 0.0);  // the script has looked at the key
    Tap(kSpace);
    EXPECT_EQ(KeyPressed(kSpace), 0.0);
    ShowScreen();
    EXPECT_EQ(KeyTest(kSpace), 1.0);
    EXPECT_EQ(KeyPressed(kSpace), 1.0);
    EXPECT_EQ(KeyReleased(kSpace), 1.0);
    ShowScreen();
    EXPECT_EQ(KeyTest(kSpace) + KeyPressed(kSpace) + KeyReleased(kSpace), 0.0);
}

TEST_F(KeyFrames, AHeldKeyIsPressedOnceAndReleasedOnceWhateverItsRepeats) {
    PressKey(kA);
    ShowScreen();
    EXPECT_EQ(KeyTest(kA), 1.0);
    EXPECT_EQ(KeyPressed(kA), 1.0);
    for (int frame = 0; frame < 3; ++frame) {
        PlatformPushKeyEvent(kA, true, true);
        ShowScreen();
        EXPECT_EQ(KeyTest(kA), 1.0) << frame;
        EXPECT_EQ(KeyPressed(kA) + KeyReleased(kA), 0.0) << frame;
    }
    ReleaseKey(kA);
    ShowScreen();
    EXPECT_EQ(KeyTest(kA), 0.0);
    EXPECT_EQ(KeyPressed(kA), 0.0);
    EXPECT_EQ(KeyReleased(kA), 1.0);
}

TEST_F(KeyFrames, AKeySeenDownReadsUpAsSoonAsItIsReleased) {
    ShowScreen();
    EXPECT_EQ(KeyTest(kA), 0.0);
    PressKey(kB);
    EXPECT_EQ(KeyTest(kB), 1.0);
    ReleaseKey(kB);
    EXPECT_EQ(KeyTest(kB), 0.0);
    ShowScreen();
    EXPECT_EQ(KeyTest(kB), 0.0);
    EXPECT_EQ(KeyPressed(kB), 1.0);
    EXPECT_EQ(KeyReleased(kB), 1.0);
}

TEST_F(KeyFrames, TwoTapsOfOneKeyInOneFrameAreOnePress) {
    Tap(kA);
    Tap(kA);
    ShowScreen();
    EXPECT_EQ(KeyTest(kA), 1.0);
    EXPECT_EQ(KeyPressed(kA), 1.0);
    ShowScreen();
    EXPECT_EQ(KeyPressed(kA), 0.0);
}

TEST_F(KeyFrames, ATappedCharacterIsReadOnce) {
    Tap(kB);
    ShowScreen();
    EXPECT_EQ(ReadCharacterCode(), 'b');
    EXPECT_EQ(ReadCharacterCode(), 0);
    ShowScreen();
    EXPECT_EQ(ReadCharacterCode(), 0);
    EXPECT_EQ(LastCharacter(), 0);
}

TEST_F(KeyFrames, KeyWaitReturnsOnATap) {
    std::thread typist([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
        Tap(kB);
    });
    KeyWait();
    typist.join();
    EXPECT_EQ(LastCharacter(), 'b');
}

TEST_F(KeyFrames, PressesAreCountedAsTheyComeRepeatsAndReleasesNot) {
    uint64_t before = PlatformPressCount();
    Tap(kA);
    PlatformPushKeyEvent(kA, true, true);
    EXPECT_EQ(PlatformPressCount(), before + 1);
    PlatformPushMouseButton(engine.screen->window, 1, true);
    PlatformPushMouseButton(engine.screen->window, 1, false);
    EXPECT_EQ(PlatformPressCount(), before + 2);
}

TEST(KeyFramesFrameEnd, ATappedEscapeEndsTheProgram) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    std::string dir = UseScratchTempDirectory();
    EXPECT_EXIT(
        {
            StartHeadless({320, 240, 0});
            Tap(kEscape);
            ShowScreen();
            ShowScreen();
            ErrorLogAppend("not reached");
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(ReadWholeFile(dir + "ErrorLog.txt"), "");
}

TEST(KeyFramesPolling, TapsReadThroughThePollingTable) {
    std::string dir = UseScratchTempDirectory();
    PlatformSimulateInputFaults(kInputFaultNoKeyboard);
    StartHeadless({320, 240, 0});
    ASSERT_FALSE(engine.input->keyboardDevice);
    // The table follows a German layout: key 21 polls the key that is Z here.
    Tap(kZ);
    ShowScreen();
    EXPECT_EQ(KeyTest(kY), 1.0);
    EXPECT_EQ(KeyTest(kZ), 0.0);
    EXPECT_EQ(KeyPressed(kY), 1.0);
    EXPECT_EQ(KeyReleased(kY), 1.0);
    EXPECT_EQ(KeyPressed(kZ), 0.0);
    ShowScreen();
    EXPECT_EQ(KeyTest(kY) + KeyPressed(kY), 0.0);
}

}  // namespace
