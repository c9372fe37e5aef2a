// Mouse input through real mouse events: movement once per frame, clamping,
// buttons and wheel, the exclusive device, the cursor pinned without a device,
// and the mouse wait.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "core/engine.h"
#include "input/input.h"
#include "input_test_support.h"

namespace {

PlatformWindow* Window() { return engine.screen->window; }

void MoveTo(int x, int y, int dx, int dy) { PlatformPushMouseMotion(Window(), x, y, dx, dy); }

class SharedMouse : public ::testing::Test {
protected:
    void SetUp() override {
        dir = UseScratchTempDirectory();
        StartHeadless({320, 240, 0});
        // Settle the movement of start-up.
        ShowScreen();
        MouseAxis(0);
    }
    std::string dir;
};

TEST_F(SharedMouse, StartsShownWithoutADevice) {
    EXPECT_EQ(engine.input->cursorShown, 1);
    EXPECT_FALSE(engine.input->mouseDevice);
    EXPECT_EQ(ReadWholeFile(dir + "ErrorLog.txt"), "");
}

TEST_F(SharedMouse, MovementReadTwiceInAFrameIsTheSame) {
    MoveTo(50, 60, 50, 60);
    ShowScreen();
    EXPECT_EQ(MouseAxis(0), 50.0);
    EXPECT_EQ(MouseAxis(0), 50.0);
    EXPECT_EQ(MouseAxis(1), 60.0);
    // Movement after the frame's first read waits for the next frame.
    MoveTo(55, 61, 5, 1);
    EXPECT_EQ(MouseAxis(0), 50.0);
    ShowScreen();
    EXPECT_EQ(MouseAxis(0), 5.0);
    EXPECT_EQ(MouseAxis(1), 1.0);
    ShowScreen();
    EXPECT_EQ(MouseAxis(0), 0.0);
    EXPECT_EQ(MouseAxis(2), 0.0);  // no wheel without a device
}

TEST_F(SharedMouse, StateClampsToTheScreenAndKeepsTheClampedValue) {
    MoveTo(500, -20, 0, 0);
    ShowScreen();
    double x, y, left, right;
    MouseState(x, y, left, right);
    EXPECT_EQ(x, 319.0);
    EXPECT_EQ(y, 0.0);
    EXPECT_EQ(engine.input->mouseX, 319);
    // Setting the position holds until the next frame measures the cursor.
    SetMousePosition(10.7, 20.2);
    MouseState(x, y, left, right);
    EXPECT_EQ(x, 10.0);
    EXPECT_EQ(y, 20.0);
}

// A script may set any position; the next frame's measurement against the
// cursor must neither overflow nor wrap.
TEST_F(SharedMouse, PositionsAtTheIntegerLimitsMeasureWithoutOverflow) {
    SetMousePosition(-1e12, 1e12);
    ShowScreen();
    EXPECT_EQ(MouseAxis(0), 32767.0);
    EXPECT_EQ(MouseAxis(1), -32768.0);
    // Hidden pointer: the cursor's distance from its pin is added.
    ShowPointer(0);
    SetMousePosition(1e12, 1e12);
    MoveTo(300, 300, 0, 0);
    ShowScreen();
    MouseAxis(0);
    EXPECT_EQ(engine.input->mouseX, INT32_MAX);
    EXPECT_EQ(engine.input->mouseY, INT32_MAX);
}

// A cursor placed at the ends of the 32-bit range, read against the window
// origin: held to the range, never wrapped.
TEST_F(SharedMouse, CursorAtTheIntegerLimitsReadsOnTheScreenWithoutOverflow) {
    int x = 0, y = 0;
    PlatformSetCursorPosition(Window(), INT32_MAX, INT32_MIN);
    PlatformCursorScreenPosition(Window(), x, y);
    EXPECT_EQ(x, INT32_MAX);
    EXPECT_LE(y, 0);
    PlatformSetCursorScreenPosition(Window(), INT32_MIN, INT32_MAX);
    PlatformCursorScreenPosition(Window(), x, y);
    EXPECT_LT(x, INT32_MIN / 2);
    EXPECT_EQ(y, INT32_MAX);
}

TEST_F(SharedMouse, ButtonsReadAsTruthValues) {
    double x, y, left, right;
    PlatformPushMouseButton(Window(), 1, true);
    MouseState(x, y, left, right);
    EXPECT_EQ(left, 1.0);
    EXPECT_EQ(right, 0.0);
    EXPECT_EQ(AnyMouseButton(), 1);
    PlatformPushMouseButton(Window(), 1, false);
    PlatformPushMouseButton(Window(), 3, true);
    EXPECT_EQ(MouseAxis(3), 0.0);
    EXPECT_EQ(MouseAxis(4), 1.0);
    PlatformPushMouseButton(Window(), 3, false);
    PlatformPushMouseButton(Window(), 2, true);
    EXPECT_EQ(MouseAxis(5), 1.0);
    EXPECT_EQ(MouseAxis(6), 0.0);
    EXPECT_EQ(MouseAxis(-1), 0.0);
    PlatformPushMouseButton(Window(), 2, false);
    EXPECT_EQ(AnyMouseButton(), 0);
}

TEST_F(SharedMouse, MouseWaitWaitsForReleaseThenAPress) {
    PlatformPushMouseButton(Window(), 1, true);
    std::thread clicker([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(40));
        PlatformPushMouseButton(Window(), 1, false);
        std::this_thread::sleep_for(std::chrono::milliseconds(40));
        PlatformPushMouseButton(Window(), 3, true);
    });
    MouseWait();
    clicker.join();
    EXPECT_EQ(MouseAxis(4), 1.0);
    EXPECT_EQ(MouseAxis(3), 0.0);
}

TEST_F(SharedMouse, HidingThePointerTakesNoDeviceButPinsTheCursor) {
    ShowPointer(0);
    EXPECT_EQ(engine.input->cursorShown, 0);
    ShowPointer(0);
    EXPECT_EQ(engine.input->cursorShown, 0);
    ShowPointer(1);
    EXPECT_EQ(engine.input->cursorShown, 1);
    // Shown again, the cursor stands where the runtime's mouse was.
    int x, y;
    PlatformCursorPosition(Window(), x, y);
    EXPECT_EQ(x, engine.input->mouseX);
    EXPECT_EQ(y, engine.input->mouseY);
}

TEST(ExclusiveMouse, DeviceMovementAndWheelAddUp) {
    std::string dir = UseScratchTempDirectory();
    StartHeadless({320, 240, 0, 0, true});
    EXPECT_EQ(ReadWholeFile(dir + "ErrorLog.txt"), "");
    ASSERT_TRUE(engine.input->mouseDevice);
    EXPECT_EQ(engine.input->cursorShown, 0);
    EXPECT_EQ(engine.input->mouseCooperation, 5);
    ShowScreen();
    MouseAxis(0);

    SetMousePosition(100, 100);
    MoveTo(0, 0, 4, -1);
    MoveTo(0, 0, 3, -2);
    PlatformPushMouseWheel(Window(), -2);
    ShowScreen();
    EXPECT_EQ(MouseAxis(0), 7.0);
    EXPECT_EQ(MouseAxis(1), -3.0);
    EXPECT_EQ(MouseAxis(2), -1.0);
    double x, y, left, right;
    MouseState(x, y, left, right);
    EXPECT_EQ(x, 107.0);
    EXPECT_EQ(y, 97.0);

    PlatformPushMouseWheel(Window(), 3);
    ShowScreen();
    EXPECT_EQ(MouseAxis(2), 1.0);
    EXPECT_EQ(MouseAxis(0), 0.0);

    // Showing the pointer shares the device and follows the cursor.
    ShowPointer(1);
    EXPECT_EQ(engine.input->mouseCooperation, 6);
    MoveTo(30, 40, 0, 0);
    ShowScreen();
    MouseState(x, y, left, right);
    EXPECT_EQ(x, 30.0);
    EXPECT_EQ(y, 40.0);
}

TEST(ExclusiveMouse, AMouseThatCannotBeTakenIsLoggedAndReadsEmpty) {
    std::string dir = UseScratchTempDirectory();
    PlatformSimulateInputFaults(kInputFaultMouseAcquire);
    StartHeadless({320, 240, 0, 0, true});
    EXPECT_EQ(ReadWholeFile(dir + "ErrorLog.txt"), "No DX_Mouse\r\n");
    PlatformPushMouseButton(engine.screen->window, 1, true);
    MouseReading reading;
    EXPECT_EQ(ReadMouse(reading), 0);
    EXPECT_EQ(reading.left, 0);
    PlatformSimulateInputFaults(0);
    EXPECT_EQ(ReadMouse(reading), 1);
    EXPECT_NE(reading.left, 0);
}

TEST(MouseWithoutInputSystem, TheHiddenCursorIsPinnedAt200x200) {
    UseScratchTempDirectory();
    PlatformSimulateInputFaults(kInputFaultNoInputSystem);
    StartHeadless({320, 240, 0, 0, true});
    EXPECT_FALSE(engine.input->mouseDevice);
    EXPECT_EQ(engine.input->cursorShown, 0);
    int wx, wy, ww, wh;
    ASSERT_TRUE(PlatformGetWindowRect(engine.screen->window, wx, wy, ww, wh));

    ShowScreen();
    MouseAxis(0);
    SetMousePosition(100, 100);
    MoveTo(230 - wx, 190 - wy, 0, 0);
    ShowScreen();
    double x, y, left, right;
    MouseState(x, y, left, right);
    EXPECT_EQ(x, 130.0);
    EXPECT_EQ(y, 90.0);
    int sx, sy;
    PlatformCursorScreenPosition(engine.screen->window, sx, sy);
    EXPECT_EQ(sx, 200);
    EXPECT_EQ(sy, 200);
    // Buttons come from the polled button state.
    PlatformPushMouseButton(engine.screen->window, 1, true);
    EXPECT_EQ(AnyMouseButton(), 1);
}

}  // namespace
