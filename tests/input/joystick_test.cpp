// Joysticks through SDL's virtual joysticks: axes scaled and limited, the hat,
// the digital state of joystick 0, names, the ten-device limit, absent
// joysticks, and the polling service without an input system.
#include <gtest/gtest.h>

#include <string>

#include "core/engine.h"
#include "input/input.h"
#include "input_test_support.h"

namespace {

// Attaches `count` pads named "Pad 0", "Pad 1", ... and starts the runtime.
int StartWithPads(int count, unsigned faults = 0) {
    UseScratchTempDirectory();
    PlatformSimulateInputFaults(faults);
    int first = -1;
    for (int i = 0; i < count; ++i) {
        int id = PlatformAttachVirtualJoystick(("Pad " + std::to_string(i)).c_str());
        EXPECT_GE(id, 0);
        if (i == 0) first = id;
    }
    StartHeadless({320, 240, 0});
    return first;
}

TEST(Joystick, AxesScaleToUnitsAndAreLimited) {
    int pad = StartWithPads(1);
    ASSERT_EQ(JoystickCount(), 1.0);
    EXPECT_STREQ(JoystickName(0).Text(), "Pad 0, Pad 0");

    PlatformSetVirtualAxis(pad, 0, 32767);
    PlatformSetVirtualAxis(pad, 1, -32768);
    PlatformSetVirtualAxis(pad, 2, 16384);
    PlatformSetVirtualAxis(pad, 3, -3277);
    PlatformSetVirtualAxis(pad, 5, 32767);
    EXPECT_EQ(JoystickAxis(0, 0), 1.0);
    EXPECT_EQ(JoystickAxis(0, 1), -1.0);
    EXPECT_NEAR(JoystickAxis(0, 2), 0.5, 1e-4);
    EXPECT_NEAR(JoystickAxis(0, 3), -0.1, 1e-4);
    EXPECT_EQ(JoystickAxis(0, 4), 0.0);
    EXPECT_EQ(JoystickAxis(0, 5), 1.0);
    EXPECT_EQ(JoystickAxis(0, 6), 0.0);
    // Past the device range the value is still limited.
    EXPECT_EQ(JoystickAxisUnit(32768), 1.0);
    EXPECT_EQ(JoystickAxisUnit(-32768), -1.0);
    EXPECT_EQ(JoystickAxisUnit(-40000), -1.0);
}

TEST(Joystick, HatGivesDirectionsAndDiagonalsGiveNothing) {
    int pad = StartWithPads(1);
    struct Case {
        int position;
        double x, y;
    } cases[] = {{-1, 0, 0},  {0, 0, -1},     {4500, 0, 0},  {9000, 1, 0},   {13500, 0, 0},
                 {18000, 0, 1}, {22500, 0, 0}, {27000, -1, 0}, {31500, 0, 0}};
    for (const Case& c : cases) {
        PlatformSetVirtualHat(pad, 0, c.position);
        EXPECT_EQ(JoystickHatX(0), c.x) << c.position;
        EXPECT_EQ(JoystickHatY(0), c.y) << c.position;
    }
    JoystickReading reading;
    PlatformSetVirtualHat(pad, 1, 27000);
    EXPECT_EQ(ReadJoystick(0, reading), 1);
    EXPECT_EQ(reading.pov[1], 27000);
}

TEST(Joystick, DigitalStateCountsFrom30000) {
    int pad = StartWithPads(1);
    double x, y, button1, button2;
    PlatformSetVirtualAxis(pad, 0, 29999);
    PlatformSetVirtualAxis(pad, 1, -30000);
    JoystickDigital(x, y, button1, button2);
    EXPECT_EQ(x, 0.0);
    EXPECT_EQ(y, -1.0);
    EXPECT_EQ(button1, 0.0);
    PlatformSetVirtualAxis(pad, 0, 30000);
    PlatformSetVirtualAxis(pad, 1, -29999);
    PlatformSetVirtualButton(pad, 0, true);
    PlatformSetVirtualButton(pad, 1, true);
    JoystickDigital(x, y, button1, button2);
    EXPECT_EQ(x, 1.0);
    EXPECT_EQ(y, 0.0);
    EXPECT_EQ(button1, 128.0);
    EXPECT_EQ(button2, 128.0);
    PlatformSetVirtualButton(pad, 31, true);
    JoystickReading reading;
    ReadJoystick(0, reading);
    EXPECT_EQ(reading.buttons[31], 0x80);
    EXPECT_EQ(reading.buttons[30], 0);
}

TEST(Joystick, OnlyTheFirstTenControllersAreUsed) {
    int first = StartWithPads(11);
    EXPECT_EQ(JoystickCount(), 10.0);
    EXPECT_STREQ(JoystickName(9).Text(), "Pad 9, Pad 9");
    EXPECT_STREQ(JoystickName(10).Text(), "");
    EXPECT_STREQ(JoystickName(-1).Text(), "");
    // The eleventh pad is not read: joystick 10 has no device.
    PlatformSetVirtualAxis(first + 10, 0, 32767);
    JoystickReading reading;
    EXPECT_EQ(ReadJoystick(10, reading), 0);
    EXPECT_EQ(JoystickAxis(10, 0), 0.0);
    PlatformSetVirtualAxis(first + 9, 0, 32767);
    EXPECT_EQ(JoystickAxis(9, 0), 1.0);
}

TEST(Joystick, AnAbsentJoystickReadsAsNothing) {
    StartWithPads(0);
    EXPECT_EQ(JoystickCount(), 0.0);
    JoystickReading reading;
    reading.x = 5;
    EXPECT_EQ(ReadJoystick(0, reading), 1);
    EXPECT_EQ(reading.x, 0);
    reading.x = 5;
    EXPECT_EQ(ReadJoystick(2, reading), 0);
    EXPECT_EQ(reading.x, 5);
    // A centred hat, so no command reports a direction.
    EXPECT_EQ(JoystickHatY(0), 0.0);
    EXPECT_EQ(JoystickHatY(3), 0.0);
    EXPECT_EQ(JoystickAxis(1, 0), 0.0);
    EXPECT_STREQ(JoystickName(0).Text(), "");
}

TEST(Joystick, ForceOnADeviceWithoutForceFeedbackIsIgnored) {
    int pad = StartWithPads(1);
    ASSERT_NE(engine.input->joystickDevices[0], nullptr);
    EXPECT_FALSE(PlatformJoystickHasForce(engine.input->joystickDevices[0]));
    JoystickForce(0, 500, 2.0, -1.0);
    JoystickForce(7, 500, 1.0, 1.0);
    PlatformSetVirtualAxis(pad, 0, 32767);
    EXPECT_EQ(JoystickAxis(0, 0), 1.0);
}

TEST(JoystickPolling, WithoutAnInputSystemJoysticks0And1AreReadByIndex) {
    int first = StartWithPads(3, kInputFaultNoInputSystem);
    EXPECT_EQ(JoystickCount(), 3.0);
    EXPECT_STREQ(JoystickName(2).Text(), "Pad 2");
    EXPECT_EQ(engine.input->joystickDevices[0], nullptr);

    PlatformSetVirtualAxis(first + 1, 1, -32768);
    PlatformSetVirtualButton(first + 1, 3, true);
    PlatformSetVirtualButton(first + 1, 9, true);
    PlatformSetVirtualAxis(first + 1, 3, 32767);
    JoystickReading reading;
    EXPECT_EQ(ReadJoystick(1, reading), 1);
    EXPECT_EQ(reading.y, -32768);
    EXPECT_EQ(reading.buttons[3], 0x80);
    EXPECT_EQ(reading.buttons[9], 0);      // the service knows eight buttons
    EXPECT_EQ(reading.rotationX, 0);       // and three axes
    EXPECT_EQ(JoystickAxis(1, 1), -1.0);

    PlatformSetVirtualAxis(first + 2, 0, 32767);
    EXPECT_EQ(ReadJoystick(2, reading), 0);
    EXPECT_EQ(JoystickAxis(2, 0), 0.0);
}

}  // namespace
