// A looping video in the real program's 640 x 480 window on a private X
// server, with the pointer in the window and no window manager: ESC typed by
// xdotool ends it, and so does a click; the program goes on afterwards (the
// ESC was the video's, not the frame routine's).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "support/headless.h"
#include "support/xvfb_display.h"

namespace {

// Sends the action until the video's end file appears: an action that lands
// before the video has started is not for the video and is ignored. Returns
// the end file's content, empty when the video never ended.
std::string EndWith(const XvfbDisplay& display, const std::string& action, const std::string& ended) {
    for (int attempt = 0; attempt < 5; ++attempt) {
        EXPECT_EQ(display.Xdotool(action), 0) << action;
        if (WaitForFile(ended, 3000)) return WaitForContent(ended, 2000, [](const std::string& c) {
            return c.find('\n') != std::string::npos;
        });
    }
    return "";
}

TEST(VideoWindow, EscapeAndAClickEndALoopingVideo) {
    if (!CommandInstalled("xdotool")) GTEST_SKIP() << "xdotool is not installed (scripts/install-deps.sh)";
    std::string dir = UseScratchTempDirectory();
    std::string command = "ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=320x240:rate=25:duration=1 "
                          "-c:v mpeg4 -q:v 5 '" + dir + "clip.avi' 2>'" + dir + "ffmpeg.log'";
    ASSERT_EQ(std::system(command.c_str()), 0) << ReadWholeFile(dir + "ffmpeg.log");
    WriteWholeFile(dir + "video.lua", ReadWholeFile(REVEV_SOURCE_DIR "/tests/sound/video_window.lua"));

    XvfbDisplay display;
    std::string why;
    ASSERT_TRUE(display.Start(why)) << why;
    BackgroundProgram program = StartProgram(display, {"--script", dir + "video.lua"}, dir, dir);
    ASSERT_TRUE(WaitForFile(dir + "playing1.txt", 30000)) << ReadWholeFile(program.err);
    std::string window = display.FindWindow("ReVev", 10000);
    ASSERT_FALSE(window.empty());
    ASSERT_EQ(display.Xdotool("mousemove --window " + window + " 320 240"), 0);

    // A one-second video with loop on is still playing well after its end.
    SleepMilliseconds(1500);
    EXPECT_FALSE(WaitForFile(dir + "ended1.txt", 0));

    EXPECT_EQ(EndWith(display, "key Escape", dir + "ended1.txt"), "0\r\n") << ReadWholeFile(program.err);
    ASSERT_TRUE(WaitForFile(dir + "playing2.txt", 10000));
    SleepMilliseconds(500);
    EXPECT_EQ(EndWith(display, "click 1", dir + "ended2.txt"), "0\r\n") << ReadWholeFile(program.err);

    EXPECT_TRUE(WaitForFile(dir + "after.txt", 10000)) << "no frames after the videos";
    EXPECT_TRUE(ProgramRunning(program));
    EXPECT_EQ(StopProgram(program, 10000), 0);
    EXPECT_EQ(ReadWholeFile(program.err).find("revev: script"), std::string::npos)
        << ReadWholeFile(program.err);
}

}  // namespace
