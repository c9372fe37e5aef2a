// Keys typed by xdotool into the real program's window on a private X server:
// each tap, press and release a few milliseconds apart between two frames of
// a script running at five frames a second, reads as down in exactly one
// frame and is reported pressed once and released once, for character keys,
// modifiers, function, keypad and cursor keys alike.
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>

#include "support/headless.h"
#include "support/xvfb_display.h"

namespace {

// The keys typed (xdotool names) and the key numbers they must give. Left
// out: keys that switch a lock, and the right-hand modifiers, which xdotool
// types with the left-hand one held (the headless tests cover those).
const std::pair<const char*, int> kTyped[] = {
    {"Escape", 1},       {"1", 2},           {"minus", 12},       {"BackSpace", 14},
    {"Tab", 15},         {"q", 16},          {"bracketleft", 26}, {"Return", 28},
    {"Control_L", 29},   {"a", 30},          {"semicolon", 39},   {"apostrophe", 40},
    {"grave", 41},       {"Shift_L", 42},    {"backslash", 43},   {"z", 44},
    {"comma", 51},       {"slash", 53},      {"KP_Multiply", 55}, {"Alt_L", 56},
    {"space", 57},       {"F1", 59},         {"F10", 68},         {"KP_Subtract", 74},
    {"KP_Add", 78},      {"F11", 87},        {"F12", 88},         {"KP_Enter", 156},
    {"KP_Divide", 181},  {"Pause", 197},     {"Home", 199},       {"Up", 200},
    {"Prior", 201},      {"Left", 203},      {"Right", 205},      {"End", 207},
    {"Down", 208},       {"Next", 209},      {"Insert", 210},     {"Delete", 211},
    {"Super_L", 219},    {"Menu", 221},
};

// "key down pressed released" lines into key -> "down pressed released".
std::map<int, std::string> ParseTally(const std::string& text) {
    std::map<int, std::string> tally;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        size_t space = line.find(' ');
        if (space == std::string::npos) continue;
        tally[std::atoi(line.substr(0, space).c_str())] = line.substr(space + 1);
    }
    return tally;
}

TEST(WindowKeys, EveryTapTypedIntoTheWindowIsSeenOnce) {
    if (!CommandInstalled("xdotool")) GTEST_SKIP() << "xdotool is not installed (scripts/install-deps.sh)";
    std::string dir = UseScratchTempDirectory();
    XvfbDisplay display;
    std::string why;
    ASSERT_TRUE(display.Start(why)) << why;

    WriteWholeFile(dir + "taps.lua",
                   ReadWholeFile(REVEV_SOURCE_DIR "/tests/input/window_taps.lua"));
    BackgroundProgram program = StartProgram(display, {"--script", dir + "taps.lua"}, dir, dir);
    std::string window = display.FindWindow("ReVev", 30000);
    ASSERT_FALSE(window.empty()) << ReadWholeFile(program.err);
    ASSERT_TRUE(WaitForFile(dir + "ready.txt", 30000)) << ReadWholeFile(program.err);
    // No window manager gives the focus: the keys go to the window under the pointer.
    ASSERT_EQ(display.Xdotool("mousemove --window " + window + " 100 100"), 0);
    SleepMilliseconds(300);

    std::string names;
    for (const auto& typed : kTyped) names += std::string(" ") + typed.first;
    ASSERT_EQ(display.Xdotool("key --delay 100" + names), 0);

    std::map<int, std::string> expected;
    for (const auto& typed : kTyped) expected[typed.second] = "1 1 1";
    std::string text = WaitForContent(dir + "taps.txt", 20000, [&](const std::string& content) {
        return ParseTally(content) == expected;
    });
    std::map<int, std::string> tally = ParseTally(text);
    for (const auto& typed : kTyped) {
        EXPECT_EQ(tally[typed.second], "1 1 1")
            << typed.first << " (key " << typed.second << "): frames down, pressed, released";
    }
    for (const auto& entry : tally) {
        EXPECT_EQ(expected.count(entry.first), 1u) << "key " << entry.first << " never typed: " << entry.second;
    }

    EXPECT_TRUE(ProgramRunning(program));
    EXPECT_EQ(StopProgram(program, 10000), 0);
    EXPECT_EQ(ReadWholeFile(program.err).find("revev: script"), std::string::npos)
        << ReadWholeFile(program.err);
}

}  // namespace
