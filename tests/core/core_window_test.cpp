// The window, its context and the frame routine on a real headless context:
// pacing on the deadline grid, pause, the GL defaults and the screen commands.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <cmath>
#include <fstream>
#include <sstream>
#include <vector>

#include "core/engine.h"
#include "support/headless.h"

static std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

TEST(StartUp, OpensTheWindowWithTheSettingsAndCaption) {
    UseScratchTempDirectory();
    StartHeadless();
    ASSERT_NE(engine.screen, nullptr);
    EXPECT_EQ(engine.screen->width, 320);
    EXPECT_EQ(engine.screen->height, 240);
    EXPECT_EQ(engine.screen->glReady, 1);
    EXPECT_EQ(engine.mainWindow, engine.screen->window);
    EXPECT_EQ(PlatformGetCaption(engine.mainWindow), "ReVev");
    EXPECT_STREQ(engine.windowTitle.Text(), "ReVev");
    EXPECT_NEAR(engine.screen->framePeriod, 1000.0 / 60.0, 1e-9);
}

TEST(Pacing, PresentsFollowTheDeadlineGrid) {
    UseScratchTempDirectory();
    StartHeadless();
    OpenGLZadudedo& screen = *engine.screen;
    FakeClock::Install(1000.0, 0.01);
    screen.nextFrameDeadline = 1000.0;
    const double period = 1000.0 / 60.0;

    std::vector<double> shown;
    for (int i = 0; i < 60; ++i) {
        Present(screen);
        shown.push_back(FakeClock::now);
    }
    double mean = (shown.back() - shown.front()) / (shown.size() - 1);
    EXPECT_NEAR(mean, period, 0.02);
    for (size_t i = 1; i < shown.size(); ++i) EXPECT_NEAR(shown[i] - shown[i - 1], period, 0.05);
}

TEST(Pacing, ALateFrameMovesToTheNextGridPointWithoutCatchUp) {
    UseScratchTempDirectory();
    StartHeadless();
    OpenGLZadudedo& screen = *engine.screen;
    const double period = 1000.0 / 60.0;
    FakeClock::Install(1000.0, 0.01);
    screen.nextFrameDeadline = 1000.0;
    Present(screen);
    double grid = screen.nextFrameDeadline;  // 1000 + one period

    FakeClock::now += 40.0;  // this frame took 40 ms of work
    double late = FakeClock::now;
    double waited = Present(screen);
    EXPECT_LT(waited, 2.0);  // already late: no waiting
    double next = screen.nextFrameDeadline;
    EXPECT_GT(next, late);
    EXPECT_LE(next - period, late + 0.05);
    double steps = (next - grid) / period;
    EXPECT_NEAR(steps, std::round(steps), 1e-6);

    // The following frame waits for that grid point: no burst of quick frames.
    double before = FakeClock::now;
    Present(screen);
    EXPECT_GT(FakeClock::now, next);
    EXPECT_GT(FakeClock::now - before, 1.0);
}

TEST(Pacing, FrameRateZeroOrNegativeGivesTwoMilliseconds) {
    UseScratchTempDirectory();
    StartHeadless({320, 240, 0});
    EXPECT_DOUBLE_EQ(engine.screen->framePeriod, 2.0);
    SetFrameRate(-5);
    EXPECT_DOUBLE_EQ(engine.screen->framePeriod, 2.0);
    SetFrameRate(50.9);
    EXPECT_DOUBLE_EQ(engine.screen->framePeriod, 20.0);
}

TEST(Timers, FrameDurationIsOneWhenTheClockDidNotAdvance) {
    UseScratchTempDirectory();
    StartHeadless();
    FakeClock::Install(5000.0, 0.0);
    engine.frameTimeNow = engine.frameTimePrevious = 5000.0;
    EXPECT_DOUBLE_EQ(FrameDuration(), 1.0);
    engine.frameTimePrevious = 4990.0;
    EXPECT_DOUBLE_EQ(FrameDuration(), 10.0);
    engine.startTime = 4000.0;
    EXPECT_DOUBLE_EQ(RunningTime(), 1000.0);
}

TEST(Pause, DeactivationMarksTheCaptionAndActivationClearsIt) {
    UseScratchTempDirectory();
    StartHeadless();
    SetAutoPause(1);
    WindowProcedure({PlatformMessageKind::Activate, 0});
    EXPECT_EQ(engine.paused, 1);
    EXPECT_EQ(PlatformGetCaption(engine.mainWindow), "ReVev <pause>");
    WindowProcedure({PlatformMessageKind::Activate, 1});
    EXPECT_EQ(engine.paused, 0);
    EXPECT_EQ(PlatformGetCaption(engine.mainWindow), "ReVev");
}

TEST(Pause, FrameRoutineWaitsUntilReactivated) {
    UseScratchTempDirectory();
    StartHeadless();
    SetAutoPause(1);
    PlatformInjectMessage({PlatformMessageKind::Activate, 0});
    PlatformInjectMessage({PlatformMessageKind::Activate, 1});
    MessagePump(*engine.screen);  // drains both: pause, then resume
    EXPECT_EQ(engine.paused, 0);
    engine.paused = 1;
    PlatformInjectMessage({PlatformMessageKind::Activate, 1});
    ShowScreen();  // returns only because the queued activation ends the pause
    EXPECT_EQ(engine.paused, 0);
}

TEST(Pause, DebugModeAndAutoPauseOffIgnoreDeactivation) {
    UseScratchTempDirectory();
    StartHeadless();
    SetAutoPause(1);
    engine.debugMode = 1;
    WindowProcedure({PlatformMessageKind::Activate, 0});
    EXPECT_EQ(engine.paused, 0);
    EXPECT_EQ(PlatformGetCaption(engine.mainWindow), "ReVev");
    engine.debugMode = 0;
    SetAutoPause(0);
    WindowProcedure({PlatformMessageKind::Activate, 0});
    EXPECT_EQ(engine.paused, 0);
}

TEST(GlDefaults, ViewportCountsFromTheTopAndProjectionPutsYDown) {
    UseScratchTempDirectory();
    StartHeadless();
    SetViewport(10, 20, 100, 50);
    GLint vp[4];
    glGetIntegerv(GL_VIEWPORT, vp);
    EXPECT_EQ(vp[0], 10);
    EXPECT_EQ(vp[1], 240 - 50 - 20);
    EXPECT_EQ(vp[2], 100);
    EXPECT_EQ(vp[3], 50);

    // A quad in the top-left quarter lands in the top rows of the frame.
    ApplyGlDefaults(*engine.screen, 0, 0, 0, 0);
    glDisable(GL_TEXTURE_2D);
    glClear(GL_COLOR_BUFFER_BIT);
    glColor4f(1, 0, 0, 1);
    glBegin(GL_QUADS);
    glVertex2f(0, 0);
    glVertex2f(0, 10);
    glVertex2f(10, 10);
    glVertex2f(10, 0);
    glEnd();
    unsigned char top[4], bottom[4];
    glReadPixels(5, 240 - 5, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, top);  // GL rows count from the bottom
    glReadPixels(5, 5, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, bottom);
    EXPECT_EQ(top[0], 255);
    EXPECT_EQ(bottom[0], 0);
}

// Corners far beyond any screen, and sizes beyond what the GL draws, are
// limited: no sum over them overflows (the sanitizer build stops on one) and
// the GL gets a viewport it accepts.
TEST(GlDefaults, ViewportsFarOutAreLimitedToWhatTheGlDraws) {
    UseScratchTempDirectory();
    StartHeadless();
    GLint maxDims[2], vp[4];
    glGetIntegerv(GL_MAX_VIEWPORT_DIMS, maxDims);

    SetViewport(0, -2147483648.0, 0, 0);
    glGetIntegerv(GL_VIEWPORT, vp);
    EXPECT_EQ(vp[2], 320);
    EXPECT_EQ(vp[3], 240);
    EXPECT_GE(vp[1], 240);  // wholly above the screen, as asked
    EXPECT_LE(vp[1], maxDims[1]);
    EXPECT_EQ(engine.screen->viewport[1], -maxDims[1]);

    SetViewport(-1e308, 1e308, 1e308, 1e308);
    glGetIntegerv(GL_VIEWPORT, vp);
    EXPECT_EQ(vp[2], maxDims[0]);
    EXPECT_EQ(vp[3], maxDims[1]);
    EXPECT_LE(vp[0] + vp[2], 0);  // wholly left of the screen
    EXPECT_LE(vp[1] + vp[3], 0);  // and below it
    EXPECT_EQ(engine.screen->viewport[2], maxDims[0]);
    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);

    SetViewport(10, 20, 100, 50);  // an ordinary one is left alone
    glGetIntegerv(GL_VIEWPORT, vp);
    EXPECT_EQ(vp[0], 10);
    EXPECT_EQ(vp[1], 240 - 50 - 20);
}

static int framesSeen = 0;
static void CountFrames() { ++framesSeen; }

TEST(SetScreen, ResizesAndPresentsFiveFrames) {
    UseScratchTempDirectory();
    StartHeadless({320, 240, 0});
    framesSeen = 0;
    SetFrameHook(CountFrames);
    SetScreen(400, 300, 0);
    EXPECT_EQ(framesSeen, 5);
    EXPECT_EQ(engine.screen->width, 400);
    EXPECT_EQ(engine.screen->height, 300);
    EXPECT_EQ(engine.screenWidth, 400);
    EXPECT_EQ(engine.screen->fullscreenActive, 0);
}

TEST(SetScreen, SizesOfZeroOrBelowKeepTheAxisAndHugeOnesStopAtTheLargestViewport) {
    UseScratchTempDirectory();
    StartHeadless({320, 240, 0});
    GLint maxDims[2];
    glGetIntegerv(GL_MAX_VIEWPORT_DIMS, maxDims);
    SetScreen(-5, -5, 0);
    EXPECT_EQ(engine.screen->width, 320);
    EXPECT_EQ(engine.screen->height, 240);
    EXPECT_EQ(engine.screenWidth, 320);
    SetScreen(0, 100, 0);
    EXPECT_EQ(engine.screen->width, 320);
    EXPECT_EQ(engine.screen->height, 100);
    SetScreen(1e308, -1, 0);
    EXPECT_EQ(engine.screen->width, maxDims[0]);
    EXPECT_EQ(engine.screen->height, 100);
    EXPECT_EQ(engine.screenWidth, maxDims[0]);
    SetScreen(64, 1e308, 0);
    EXPECT_EQ(engine.screen->width, 64);
    EXPECT_EQ(engine.screen->height, maxDims[1]);
}

TEST(SetScreen, ANewSizeKeepsTheWindowHandleCaptionAndPauseState) {
    UseScratchTempDirectory();
    StartHeadless({320, 240, 0});
    SetAutoPause(1);
    SetScreen(400, 300, 0);
    SetScreen(200, 100, 0);
    EXPECT_EQ(engine.paused, 0);
    EXPECT_EQ(PlatformGetCaption(engine.mainWindow), "ReVev");
    EXPECT_EQ(engine.mainWindow, engine.screen->window);
    int x, y, w, h;
    ASSERT_TRUE(PlatformGetWindowRect(engine.screen->window, x, y, w, h));
    EXPECT_EQ(w, 200);
    EXPECT_EQ(h, 100);
}

TEST(SetScreen, RefusedFullscreenModeFallsBackToWindowedAndLogs) {
    std::string dir = UseScratchTempDirectory();
    StartHeadless({320, 240, 0});
    SetScreen(641, 479, 1);  // no display offers this mode
    EXPECT_EQ(engine.screen->fullscreenActive, 0);
    EXPECT_EQ(engine.fullscreen, 1);
    EXPECT_NE(ReadFile(dir + "ErrorLog.txt").find("No Fullscreen Mode available\r\n"), std::string::npos);
}

TEST(StartUp, MultisampleRequestGetsAFormatOrFallsBackToPlain) {
    UseScratchTempDirectory();
    StartHeadless({320, 240, 60, 4});
    int inForce = engine.screen->multisampleInForce;
    EXPECT_TRUE(inForce == 0 || inForce == 4 || inForce == 2 || inForce == 1);
    EXPECT_EQ(engine.screen->glReady, 1);
    EXPECT_EQ(engine.screen->width, 320);
}
