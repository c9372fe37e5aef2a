// Video playback in the game window: the fit rule read back from the screen,
// the end, looping and the key and mouse exits, the sound track through the
// disk audio driver, the screen and GL state afterwards, and bad files. The
// videos are made by the test with the ffmpeg command-line tool.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "core/engine.h"
#include "input/input.h"
#include "platform/platform.h"
#include "sound/sound.h"
#include "sound/sound_support.h"
#include "sound/video_internal.h"
#include "support/headless.h"

namespace {

// ---------------------------------------------------------------------------
// Helpers

std::string dir;           // the process's scratch directory, "/" ended
std::string audioOutput;   // the disk driver's output

// Makes a video with ffmpeg from lavfi sources; fails the test when it cannot.
std::string MakeVideo(const std::string& name, const std::string& arguments) {
    std::string path = dir + name;
    std::string command = "ffmpeg -nostdin -v error -y " + arguments + " '" + path + "' 2>'" + dir +
                          "ffmpeg.log'";
    EXPECT_EQ(std::system(command.c_str()), 0) << ReadWholeFile(dir + "ffmpeg.log");
    return path;
}

// 320 x 240 at 25 pictures a second, one second, with a 441 Hz tone.
std::string TestVideo() {
    static std::string path;
    if (path.empty())
        path = MakeVideo("testsrc.avi",
                         "-f lavfi -i testsrc=size=320x240:rate=25:duration=1 "
                         "-f lavfi -i sine=frequency=441:sample_rate=22050:duration=1 "
                         "-c:v mpeg4 -q:v 5 -c:a pcm_s16le");
    return path;
}

// One colour all over, without sound, so the covered area reads back exactly.
std::string ColourVideo() {
    static std::string path;
    if (path.empty())
        path = MakeVideo("colour.mkv",
                         "-f lavfi -i color=c=0xE03020:size=320x240:rate=25:duration=0.4 "
                         "-c:v ffv1 -pix_fmt yuv444p");
    return path;
}

void StartScreenWithDiskAudio() {
    static bool started = false;
    if (started) return;
    dir = UseScratchTempDirectory();
    audioOutput = dir + "audio.raw";
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", audioOutput.c_str(), 1);
    HeadlessSettings settings;
    settings.width = 640;
    settings.height = 480;
    StartHeadless(settings);
    started = engine.screen != nullptr;
}

// What the hook saw.
struct HookRecord {
    int calls = 0;
    std::vector<uint8_t> firstFrame;  // bottom row first, RGBA
    int keyAfterLoops = -1;           // push a key once this many loops are made
    int mouseAtPicture = -1;          // push a mouse button at this picture
    int tapKey = -1;                  // tap this key (press and release at once)
    int clickButton = -1;             // or click this button (the same)
    int tapAtPicture = 5;             // at this picture
    bool tapped = false;
    bool pushed = false;
};
HookRecord hook;

// A held key or button is let go a little later, from another thread, as a
// person's would be while the command waits.
std::thread releaser;
std::atomic<bool> released{false};

void ReleaseSoon() {
    released = false;
    releaser = std::thread([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        released = true;
        PlatformPushKeyEvent(30, false);
        PlatformPushMouseButton(engine.screen->window, 1, false);
    });
}

void RecordFrame() {
    ++hook.calls;
    VideoPlayback now = LastVideoPlayback();
    if (hook.firstFrame.empty()) {
        const int w = engine.screen->width, h = engine.screen->height;
        hook.firstFrame.resize((size_t)w * h * 4);
        glReadBuffer(GL_BACK);
        glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, hook.firstFrame.data());
    }
    if (!hook.pushed && hook.keyAfterLoops >= 0 && now.loops >= hook.keyAfterLoops && now.shown > 30) {
        PlatformPushKeyEvent(30, true);  // 'a'
        hook.pushed = true;
        ReleaseSoon();
    }
    // A tap is over before the next pass looks: only its events tell of it.
    if (!hook.tapped && (hook.tapKey >= 0 || hook.clickButton >= 0) && now.shown >= hook.tapAtPicture) {
        if (hook.tapKey >= 0) {
            PlatformPushKeyEvent(hook.tapKey, true);
            PlatformPushKeyEvent(hook.tapKey, false);
        } else {
            PlatformPushMouseButton(engine.screen->window, hook.clickButton, true);
            PlatformPushMouseButton(engine.screen->window, hook.clickButton, false);
        }
        hook.tapped = true;
    }
    if (!hook.pushed && hook.mouseAtPicture >= 0 && now.shown >= hook.mouseAtPicture) {
        PlatformPushMouseButton(engine.screen->window, 1, true);
        hook.pushed = true;
        ReleaseSoon();
    }
}

class Video : public ::testing::Test {
protected:
    void SetUp() override {
        StartScreenWithDiskAudio();
        ASSERT_NE(engine.screen, nullptr);
        hook = HookRecord();
        SetVideoFrameHook(RecordFrame);
    }
    void TearDown() override {
        SetVideoFrameHook(nullptr);
        if (releaser.joinable()) releaser.join();
        if (hook.pushed) {
            PlatformPushKeyEvent(30, false);
            PlatformPushMouseButton(engine.screen->window, 1, false);
            MessagePump(*engine.screen);
        }
        if (engine.screen->width != 640) SetScreen(640, 480, 0);
    }
    // Pixel (x, y) from the top-left of the first frame the hook saw.
    const uint8_t* Pixel(int x, int y) {
        const int w = engine.screen->width, h = engine.screen->height;
        return &hook.firstFrame[((size_t)(h - 1 - y) * w + x) * 4];
    }
    bool IsPicture(int x, int y) {
        const uint8_t* p = Pixel(x, y);
        return p[0] > 0xC0 && p[1] > 0x18 && p[1] < 0x48 && p[2] < 0x38;
    }
    bool IsBlack(int x, int y) {
        const uint8_t* p = Pixel(x, y);
        return p[0] < 4 && p[1] < 4 && p[2] < 4;
    }
};

// ---------------------------------------------------------------------------
// Fit

TEST(VideoFitRule, ScalesByTheSmallerRatioAndCentres) {
    struct Case {
        int sw, sh, cw, ch, x, y, w, h;
    };
    const Case cases[] = {
        {320, 240, 640, 480, 0, 0, 640, 480},
        {320, 240, 800, 480, 80, 0, 640, 480},
        {320, 240, 640, 600, 0, 60, 640, 480},
        {320, 240, 320, 240, 0, 0, 320, 240},
        {1280, 720, 320, 240, 0, 30, 320, 180},
        {3, 2, 10, 10, 0, 1, 10, 7},
        {0, 240, 640, 480, 0, 0, 0, 0},
        {320, 240, 0, 480, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        VideoFit fit = FitVideo(c.sw, c.sh, c.cw, c.ch);
        EXPECT_EQ(fit.x, c.x) << c.sw << "x" << c.sh << " in " << c.cw << "x" << c.ch;
        EXPECT_EQ(fit.y, c.y) << c.sw << "x" << c.sh << " in " << c.cw << "x" << c.ch;
        EXPECT_EQ(fit.width, c.w) << c.sw << "x" << c.sh << " in " << c.cw << "x" << c.ch;
        EXPECT_EQ(fit.height, c.h) << c.sw << "x" << c.sh << " in " << c.cw << "x" << c.ch;
    }
}

TEST_F(Video, CoversAScreenOfTwiceItsSize) {
    ASSERT_EQ(PlayVideo(ColourVideo().c_str(), 0), 0.0);
    ASSERT_FALSE(hook.firstFrame.empty());
    for (int y = 0; y < 480; y += 7)
        for (int x = 0; x < 640; x += 7) ASSERT_TRUE(IsPicture(x, y)) << x << ", " << y;
    for (int i = 0; i < 480; ++i) {
        EXPECT_TRUE(IsPicture(0, i) && IsPicture(639, i)) << "row " << i;
        EXPECT_TRUE(IsPicture(i, 0) && IsPicture(i, 479)) << "column " << i;
    }
}

TEST_F(Video, LeavesEightyBlackColumnsEachSideOfAWideScreen) {
    SetScreen(800, 480, 0);
    ASSERT_EQ(engine.screen->width, 800);
    ASSERT_EQ(PlayVideo(ColourVideo().c_str(), 0), 0.0);
    ASSERT_FALSE(hook.firstFrame.empty());
    for (int y = 0; y < 480; y += 3) {
        EXPECT_TRUE(IsBlack(0, y) && IsBlack(79, y)) << "row " << y;
        EXPECT_TRUE(IsPicture(80, y) && IsPicture(400, y) && IsPicture(719, y)) << "row " << y;
        EXPECT_TRUE(IsBlack(720, y) && IsBlack(799, y)) << "row " << y;
    }
}

// ---------------------------------------------------------------------------
// End, loop and exits

TEST_F(Video, EndsAtItsEnd) {
    ASSERT_EQ(PlayVideo(TestVideo().c_str(), 0), 0.0);
    VideoPlayback played = LastVideoPlayback();
    EXPECT_EQ(played.width, 320);
    EXPECT_EQ(played.height, 240);
    EXPECT_EQ(played.shown + played.dropped, 25);
    EXPECT_GT(played.shown, 0);
    EXPECT_EQ(played.loops, 0);
    EXPECT_NEAR(played.lastPictureTime, 0.96, 0.001);
    // The sound leads the clock here; a loaded machine may run a turn of the
    // loop late, hence the slack beyond one picture period (0.04 s).
    EXPECT_GE(played.endClock, 1.0);
    EXPECT_LE(played.endClock, 1.0 + 0.04 + 0.1);
}

TEST_F(Video, WithoutSoundEndsWithinOnePicturePeriodOfItsLength) {
    // No sound track: the program's clock leads, driven here by the test.
    FakeClock::Install(1000.0, 0.25);
    double result = PlayVideo(ColourVideo().c_str(), 0);
    const double returnedAt = FakeClock::now;
    SetClockSource(nullptr);
    ASSERT_EQ(result, 0.0);
    VideoPlayback played = LastVideoPlayback();
    EXPECT_FALSE(played.sound);
    EXPECT_EQ(played.shown + played.dropped, 10);
    EXPECT_EQ(played.dropped, 0);
    EXPECT_GE(played.endClock, 0.4);
    EXPECT_LE(played.endClock, 0.4 + 0.04);
    EXPECT_LE((returnedAt - 1000.0) / 1000.0, 0.4 + 0.04);
}

TEST_F(Video, LoopPlaysPastTheEndUntilAKey) {
    hook.keyAfterLoops = 1;
    ASSERT_EQ(PlayVideo(TestVideo().c_str(), 1), 0.0);
    VideoPlayback played = LastVideoPlayback();
    EXPECT_TRUE(hook.pushed);
    EXPECT_GE(played.loops, 1);
    EXPECT_GT(played.shown + played.dropped, 25);
    // The command returned once the key was let go; the key was the video's.
    EXPECT_TRUE(released);
    ShowScreen();
    EXPECT_EQ(KeyTest(30) + KeyPressed(30) + KeyReleased(30), 0.0);
}

TEST_F(Video, KeyHeldAtTheStartDoesNotStopIt) {
    PlatformPushKeyEvent(30, true);
    MessagePump(*engine.screen);
    ASSERT_EQ(PlayVideo(TestVideo().c_str(), 0), 0.0);
    PlatformPushKeyEvent(30, false);
    MessagePump(*engine.screen);
    VideoPlayback played = LastVideoPlayback();
    EXPECT_EQ(played.shown + played.dropped, 25);
    EXPECT_GE(played.endClock, 1.0);
}

TEST_F(Video, MouseButtonStopsIt) {
    hook.mouseAtPicture = 5;
    ASSERT_EQ(PlayVideo(TestVideo().c_str(), 0), 0.0);
    VideoPlayback played = LastVideoPlayback();
    EXPECT_TRUE(hook.pushed);
    EXPECT_LT(played.shown + played.dropped, 25);
    EXPECT_TRUE(released);
    EXPECT_EQ(AnyMouseButton(), 0);
}

TEST_F(Video, ATapOfAnyKeyOrAClickStopsALoopingVideo) {
    // ESC would end the program in the frame routine; KeyTest(1) below asks
    // the same question without ending the test.
    SetEscapeEndsProgram(0);
    struct Case {
        const char* what;
        int key, button;
    };
    // ESC, shift and the cursor keys give no character; the tap and the
    // click are over before the loop looks at the keys and buttons.
    const Case cases[] = {{"ESC", 1, -1},  {"shift", 42, -1},       {"up", 200, -1},
                          {"a", 30, -1},   {"left button", -1, 1},  {"right button", -1, 3}};
    for (const Case& c : cases) {
        hook = HookRecord();
        hook.tapKey = c.key;
        hook.clickButton = c.button;
        EXPECT_EQ(PlayVideo(TestVideo().c_str(), 1), 0.0) << c.what;
        VideoPlayback played = LastVideoPlayback();
        EXPECT_TRUE(hook.tapped) << c.what;
        EXPECT_EQ(played.loops, 0) << c.what;
        EXPECT_LT(played.shown + played.dropped, 25) << c.what;
        // The tap was the video's: the next frame neither reports it nor
        // reads it as down (a tapped ESC would end the program there).
        ShowScreen();
        if (c.key >= 0) {
            EXPECT_EQ(KeyTest(c.key), 0.0) << c.what;
            EXPECT_EQ(KeyPressed(c.key), 0.0) << c.what;
            EXPECT_EQ(KeyReleased(c.key), 0.0) << c.what;
        }
    }
}

TEST_F(Video, AModifierHeldAtTheStartDoesNotStopIt) {
    PlatformPushKeyEvent(42, true);
    MessagePump(*engine.screen);
    ASSERT_EQ(PlayVideo(TestVideo().c_str(), 0), 0.0);
    PlatformPushKeyEvent(42, false);
    MessagePump(*engine.screen);
    EXPECT_EQ(LastVideoPlayback().shown + LastVideoPlayback().dropped, 25);
}

// ---------------------------------------------------------------------------
// Sound

TEST_F(Video, SoundTrackReachesTheMixerForTheVideosLength) {
    ASSERT_TRUE(engine.sound && engine.sound->deviceOpen);
    const int64_t from = FileSize(audioOutput) & ~int64_t(3);
    ASSERT_EQ(PlayVideo(TestVideo().c_str(), 0), 0.0);
    EXPECT_TRUE(LastVideoPlayback().sound);
    // The device writes a buffer at a time; give it a few more.
    PlatformSleep(300);
    StereoOutput out = ReadOutput(audioOutput, (size_t)from);
    ASSERT_FALSE(out.left.empty());
    EXPECT_GT(Rms(out.left), 1000.0);
    EXPECT_GT(Rms(out.right), 1000.0);
    // Each sample of the track reaches the output once: as many loud samples
    // as the decoded track has (a busy machine may leave gaps of silence
    // between device buffers, so the span alone could only grow).
    VideoDecoder* decoder = VideoOpenFile(TestVideo().c_str(), 22050, 2);
    ASSERT_NE(decoder, nullptr);
    std::vector<int16_t> track, left;
    double start = 0, seconds = 0;
    while (!VideoPicturesEnded(decoder)) {
        VideoReadAhead(decoder, 4, 0.5, 64);
        VideoTakePicture(decoder, nullptr, seconds);
        VideoTakeAudio(decoder, track, start);
    }
    VideoClose(decoder);
    for (size_t i = 0; i < track.size(); i += 2) left.push_back(track[i]);
    EXPECT_NEAR((double)left.size() / 22050.0, 1.0, 0.01);
    const size_t expected = CountAbove(left, 2000);
    ASSERT_GT(expected, 1000u);
    EXPECT_NEAR((double)CountAbove(out.left, 2000) / (double)expected, 1.0, 0.01);
    EXPECT_GE((double)ActiveSpan(out.left, 2000) / 22050.0, 0.98);
    EXPECT_EQ(PlatformAudioStreamQueuedFrames(), 0u);
}

// ---------------------------------------------------------------------------
// Screen and GL state afterwards

TEST_F(Video, ScreenAndGlStateAsBefore) {
    glClearColor(0.0f, 1.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(0, 0, 0, 1);
    glEnable(GL_BLEND);
    glViewport(10, 20, 300, 200);
    glMatrixMode(GL_PROJECTION);
    GLfloat projection[16], after[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projection);

    ASSERT_EQ(PlayVideo(ColourVideo().c_str(), 0), 0.0);

    EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR);
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    glDisable(GL_BLEND);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[0], 10);
    EXPECT_EQ(viewport[1], 20);
    EXPECT_EQ(viewport[2], 300);
    EXPECT_EQ(viewport[3], 200);
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_PROJECTION);
    glGetFloatv(GL_PROJECTION_MATRIX, after);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(after[i], projection[i]);
    ApplyGlDefaults(*engine.screen, 0, 0, 0, 0);

    uint8_t p[4];
    glReadBuffer(GL_BACK);
    glReadPixels(320, 240, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
    EXPECT_EQ(p[0], 0);
    EXPECT_EQ(p[1], 255);
    EXPECT_EQ(p[2], 0);
}

// ---------------------------------------------------------------------------
// Bad input

std::string WriteFile(const std::string& name, const std::string& bytes) {
    WriteWholeFile(dir + name, bytes);
    return dir + name;
}

TEST_F(Video, BadFilesGiveThreeOrEndCleanly) {
    const std::string good = ReadWholeFile(TestVideo());
    ASSERT_GT(good.size(), 4096u);
    std::string corrupt = good;
    for (size_t i = corrupt.size() / 3; i < corrupt.size() * 2 / 3; i += 7) corrupt[i] = (char)(i * 31);
    std::string noise(20000, '\0');
    for (size_t i = 0; i < noise.size(); ++i) noise[i] = (char)((i * 2654435761u) >> 13);

    struct Case {
        std::string name;
        std::string path;
        bool mayPlay;  // something of it is a video: 0 allowed, else 3
    };
    const Case cases[] = {
        {"unresolvable", dir + "no-such-video.avi", false},
        {"empty", WriteFile("empty.avi", ""), false},
        {"noise", WriteFile("noise.avi", noise), false},
        {"header only", WriteFile("head.avi", good.substr(0, 64)), false},
        {"zero-size picture", WriteFile("zero.y4m", "YUV4MPEG2 W0 H0 F25:1 Ip A1:1 C420jpeg\nFRAME\n"), false},
        {"no video stream", MakeVideo("sound-only.wav", "-f lavfi -i sine=duration=0.2"), false},
        {"truncated", WriteFile("truncated.avi", good.substr(0, good.size() / 2)), true},
        {"corrupt middle", WriteFile("corrupt.avi", corrupt), true},
    };
    for (const Case& c : cases) {
        double result = PlayVideo(c.path.c_str(), 0);
        if (c.mayPlay) {
            EXPECT_TRUE(result == 0.0 || result == 3.0) << c.name << ": " << result;
        } else {
            EXPECT_EQ(result, 3.0) << c.name;
        }
        EXPECT_EQ(glGetError(), (GLenum)GL_NO_ERROR) << c.name;
        EXPECT_EQ(PlatformAudioStreamQueuedFrames(), 0u) << c.name;
        GLint depth = 0;
        glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
        EXPECT_EQ(depth, 1) << c.name;
        glGetIntegerv(GL_ATTRIB_STACK_DEPTH, &depth);
        EXPECT_EQ(depth, 0) << c.name;
    }
    // The device still plays afterwards.
    ASSERT_EQ(PlayVideo(TestVideo().c_str(), 0), 0.0);
    EXPECT_TRUE(LastVideoPlayback().sound);
}

// A file that opens as a video but yields no picture would rewind for ever
// when looped: a pass without a picture ends it, as a file that cannot play.
TEST_F(Video, LoopingAVideoWithoutPicturesEndsWithThree) {
    const std::string header = WriteFile("h.y4m", "YUV4MPEG2 W32 H24 F20:1 Ip A1:1 C420jpeg\n");
    const std::string cut = WriteFile("cut.y4m", "YUV4MPEG2 W32 H24 F20:1 Ip A1:1 C420jpeg\nFRAME\n\x10\x10");
    for (const std::string& path : {header, cut}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(PlayVideo(path.c_str(), 0), 0.0);
        EXPECT_EQ(PlayVideo(path.c_str(), 1), 3.0);
        EXPECT_EQ(LastVideoPlayback().shown, 0);
        EXPECT_EQ(LastVideoPlayback().loops, 0);
        GLint depth = 0;
        glGetIntegerv(GL_ATTRIB_STACK_DEPTH, &depth);
        EXPECT_EQ(depth, 0);
    }
}

// Decodes what opens to its end; returns pictures taken, or -1 when it does not open.
int DecodeAll(const std::string& bytes, size_t& soundFrames) {
    soundFrames = 0;
    VideoDecoder* decoder = VideoOpenMemory(reinterpret_cast<const uint8_t*>(bytes.data()),
                                            bytes.size(), 22050, 2);
    if (!decoder) return -1;
    std::vector<uint8_t> rgba;
    std::vector<int16_t> sound;
    double seconds = 0, start = 0;
    int pictures = 0;
    for (int turn = 0; turn < 1000 && !VideoPicturesEnded(decoder); ++turn) {
        VideoReadAhead(decoder, 4, 0.5, 64);
        if (VideoTakePicture(decoder, &rgba, seconds)) {
            ++pictures;
            EXPECT_EQ(rgba.size(), (size_t)VideoWidth(decoder) * VideoHeight(decoder) * 4);
        }
        sound.clear();
        soundFrames += VideoTakeAudio(decoder, sound, start);
    }
    EXPECT_TRUE(VideoPicturesEnded(decoder));
    VideoClose(decoder);
    return pictures;
}

TEST(VideoInMemory, WholeFileAndEveryCut) {
    StartScreenWithDiskAudio();
    const std::string good = ReadWholeFile(TestVideo());
    size_t frames = 0;
    EXPECT_EQ(DecodeAll(good, frames), 25);
    EXPECT_NEAR((double)frames / 22050.0, 1.0, 0.01);
    // Every cut either fails to open or decodes no more than the whole file.
    for (size_t cut = 0; cut < good.size(); cut += good.size() / 97 + 1) {
        int pictures = DecodeAll(good.substr(0, cut), frames);
        EXPECT_LE(pictures, 25) << "cut at " << cut;
    }
}

// ---------------------------------------------------------------------------
// The end of the program from inside the video, and what a script sees

void CloseAtThirdPicture() {
    if (LastVideoPlayback().shown == 3) {
        PlatformMessage close;
        close.kind = PlatformMessageKind::Close;
        PlatformInjectMessage(close);
    }
}

TEST_F(Video, ClosingTheWindowDuringAVideoEndsTheProgram) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            StartScreenWithDiskAudio();
            SetVideoFrameHook(CloseAtThirdPicture);
            PlayVideo(TestVideo().c_str(), 1);
            std::exit(5);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(Video, ScriptGetsZeroOrThree) {
    WriteWholeFile(dir + "video.lua",
                   "if not done then\n"
                   "  done = true\n"
                   "  print('missing', Lua_Playvideo('" + dir + "missing.avi', 0))\n"
                   "  print('played', Lua_Playvideo('" + ColourVideo() + "', 0))\n"
                   "end\n");
    // The program gets a device of its own that writes nowhere.
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    ProgramRun run = RunProgram("--frames 3 --script '" + dir + "video.lua'", dir);
    setenv("SDL_AUDIODRIVER", "disk", 1);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("missing\t3\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("played\t0\n"), std::string::npos) << run.out;
}

}  // namespace
