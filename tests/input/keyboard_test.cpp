// Keyboard input through real key events: key numbers, characters, the key
// wait, the polling path without an input system, and the keys that end the
// program in the frame routine.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "core/engine.h"
#include "input/input.h"
#include "input_test_support.h"

namespace {

constexpr int kEscape = 1, kBackspace = 14, kEnter = 28, kA = 30, kLeftShift = 42, kZ = 44;
constexpr int kB = 48, kLeftAlt = 56, kF4 = 62, kY = 21, kRightShift = 54, kPadEnter = 156;

class Keyboard : public ::testing::Test {
protected:
    void SetUp() override {
        dir = UseScratchTempDirectory();
        StartHeadless({320, 240, 0});
    }
    std::string dir;
};

TEST_F(Keyboard, KeyNumbersAreTakenModulo256) {
    PressKey(kEscape);
    EXPECT_EQ(KeyTest(1), 1.0);
    EXPECT_EQ(KeyTest(257), 1.0);
    EXPECT_EQ(KeyTest(-255), 1.0);
    EXPECT_EQ(KeyTest(1.9), 1.0);
    EXPECT_EQ(KeyTest(2), 0.0);
    ReleaseKey(kEscape);
    EXPECT_EQ(KeyTest(257), 0.0);

    // Extended keys keep their own numbers.
    PressKey(200);
    EXPECT_EQ(KeyTest(200), 1.0);
    EXPECT_EQ(KeyTest(72), 0.0);
    PressKey(kPadEnter);
    EXPECT_EQ(KeyTest(156), 1.0);
    EXPECT_EQ(KeyTest(28), 0.0);
}

TEST_F(Keyboard, AHeldLetterGivesItsCharacterOnce) {
    PressKey(kA);
    EXPECT_STREQ(ReadCharacter().Text(), "a");
    EXPECT_STREQ(ReadCharacter().Text(), "");
    EXPECT_EQ(ReadCharacterCode(), 0);
    ReleaseKey(kA);
    EXPECT_EQ(ReadCharacterCode(), 0);
    EXPECT_EQ(LastCharacter(), 0);
    PressKey(kA);
    EXPECT_EQ(ReadCharacterCode(), 'a');
    // A second key while the first is held: the first down key still wins.
    PressKey(kB);
    EXPECT_EQ(ReadCharacterCode(), 0);
    ReleaseKey(kA);
    EXPECT_EQ(ReadCharacterCode(), 'b');
}

TEST_F(Keyboard, ShiftMakesLettersUpperCase) {
    PressKey(kLeftShift);
    EXPECT_EQ(ReadCharacterCode(), 0);  // shift alone gives no character
    PressKey(kA);
    EXPECT_EQ(ReadCharacterCode(), 'A');
    ReleaseKey(kA);
    ReleaseKey(kLeftShift);
    PressKey(kRightShift);
    PressKey(kB);
    EXPECT_EQ(ReadCharacterCode(), 'B');
    ReleaseKey(kB);
    // Only letters change.
    PressKey(2);
    EXPECT_EQ(ReadCharacterCode(), '1');
}

TEST_F(Keyboard, EnterAndBackspaceGiveTenAndEight) {
    EXPECT_EQ(KeyCharacter(kEnter), 10);
    EXPECT_EQ(KeyCharacter(kPadEnter), 10);
    EXPECT_EQ(KeyCharacter(kBackspace), 8);
    EXPECT_EQ(KeyCharacter(57), ' ');
    EXPECT_EQ(KeyCharacter(256 + kA), 'a');
    // Control characters, modifiers and keys without a character give 0.
    for (int key : {kEscape, 15, 29, kLeftShift, kRightShift, kLeftAlt, 58, 69, 221, 211, 200, 59})
        EXPECT_EQ(KeyCharacter(key), 0) << "key " << key;

    PressKey(kPadEnter);
    EXPECT_EQ(ReadCharacterCode(), 10);
    ReleaseKey(kPadEnter);
    PressKey(kBackspace);
    EXPECT_EQ(ReadCharacterCode(), 8);
}

TEST_F(Keyboard, AnyCharacterKeyCountsNewCharactersOnly) {
    EXPECT_EQ(AnyCharacterKey(), 0);
    PressKey(kLeftShift);
    EXPECT_EQ(AnyCharacterKey(), 0);
    PressKey(kZ);
    EXPECT_EQ(AnyCharacterKey(), 1);
    EXPECT_EQ(AnyCharacterKey(), 0);
    EXPECT_EQ(LastCharacter(), 'Z');
}

TEST_F(Keyboard, KeyWaitReturnsOnAKeyPress) {
    std::thread presser([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
        PressKey(kB);
    });
    KeyWait();
    presser.join();
    EXPECT_EQ(LastCharacter(), 'b');
}

TEST(KeyboardPolling, WithoutAnInputSystemKeysPollThroughTheTable) {
    std::string dir = UseScratchTempDirectory();
    PlatformSimulateInputFaults(kInputFaultNoInputSystem);
    StartHeadless({320, 240, 0});
    EXPECT_EQ(ReadWholeFile(dir + "ErrorLog.txt"), "No DX_Input\r\n");
    ASSERT_NE(engine.input, nullptr);
    EXPECT_FALSE(engine.input->keyboardDevice);
    EXPECT_EQ(engine.input->keyTranslation[21], 90);
    EXPECT_EQ(engine.input->keyTranslation[84], 255);

    // The table follows a German layout: key 21 polls Z, key 44 polls Y.
    PressKey(kZ);
    EXPECT_EQ(KeyTest(kY), 1.0);
    EXPECT_EQ(KeyTest(kZ), 0.0);
    ReleaseKey(kZ);
    EXPECT_EQ(KeyTest(kY), 0.0);

    // Key 0 polls Enter; keypad Enter polls the code listed for it, which no
    // key of ours carries.
    PressKey(kEnter);
    EXPECT_EQ(KeyTest(0), 1.0);
    EXPECT_EQ(KeyTest(kEnter), 1.0);
    ReleaseKey(kEnter);
    PressKey(kPadEnter);
    EXPECT_EQ(KeyTest(kPadEnter), 0.0);
    EXPECT_EQ(KeyTest(0), 1.0);
    ReleaseKey(kPadEnter);

    // Either shift answers both shift keys; characters still read.
    PressKey(kRightShift);
    EXPECT_EQ(KeyTest(kLeftShift), 1.0);
    PressKey(kA);
    EXPECT_EQ(ReadCharacterCode(), 'A');
}

TEST(KeyboardPolling, WithoutAKeyboardDeviceTheTableIsUsedSilently) {
    std::string dir = UseScratchTempDirectory();
    PlatformSimulateInputFaults(kInputFaultNoKeyboard);
    StartHeadless({320, 240, 0});
    EXPECT_EQ(ReadWholeFile(dir + "ErrorLog.txt"), "");
    EXPECT_FALSE(engine.input->keyboardDevice);
    EXPECT_EQ(engine.input->keyTranslation[44], 89);
    PressKey(kY);
    EXPECT_EQ(KeyTest(kZ), 1.0);
    EXPECT_EQ(KeyTest(kY), 0.0);
}

TEST(KeyboardDevice, AKeyboardThatCannotBeTakenIsLoggedAndRetaken) {
    std::string dir = UseScratchTempDirectory();
    PlatformSimulateInputFaults(kInputFaultKeyboardAcquire);
    StartHeadless({320, 240, 0});
    EXPECT_EQ(ReadWholeFile(dir + "ErrorLog.txt"), "No DX_KB\r\n");
    EXPECT_TRUE(engine.input->keyboardDevice);
    PressKey(kA);
    EXPECT_EQ(KeyTest(kA), 0.0);
    PlatformSimulateInputFaults(0);
    EXPECT_EQ(KeyTest(kA), 1.0);
}

// The frame routine's ends run in a child process each.
class FrameKeys : public ::testing::Test {
protected:
    void SetUp() override {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        dir = UseScratchTempDirectory();
    }
    std::string dir;
};

TEST_F(FrameKeys, EscapeEndsTheProgramOnlyWhileSwitchedOn) {
    EXPECT_EXIT(
        {
            StartHeadless({320, 240, 0});
            SetEscapeEndsProgram(0);
            PressKey(kEscape);
            ShowScreen();
            ShowScreen();
            ErrorLogAppend("survived escape");
            SetEscapeEndsProgram(1);
            ShowScreen();
            ErrorLogAppend("not reached");
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(ReadWholeFile(dir + "ErrorLog.txt"), "survived escape\r\n");
}

TEST_F(FrameKeys, AltF4AlwaysEndsTheProgram) {
    EXPECT_EXIT(
        {
            StartHeadless({320, 240, 0});
            SetEscapeEndsProgram(0);
            PressKey(kLeftAlt);
            ShowScreen();
            ErrorLogAppend("alt alone");
            PressKey(kF4);
            ShowScreen();
            ErrorLogAppend("not reached");
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(ReadWholeFile(dir + "ErrorLog.txt"), "alt alone\r\n");
}

TEST_F(FrameKeys, EscapeEndsTheKeyWait) {
    EXPECT_EXIT(
        {
            StartHeadless({320, 240, 0});
            PressKey(kEscape);
            KeyWait();
            ErrorLogAppend("not reached");
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(ReadWholeFile(dir + "ErrorLog.txt"), "");
}

}  // namespace
