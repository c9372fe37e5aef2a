// The play video command: a video decoded by FFmpeg drawn into the game
// window, scaled to fit and centred, its sound track mixed with the program's
// sounds and leading the clock, until its end or any new key or button press.
#include "sound/sound.h"
#include "sound/sound_internal.h"
#include "sound/video_internal.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "core/engine.h"
#include "gfx2d/gfx2d.h"
#include "input/input.h"

#ifndef GL_CLAMP_TO_EDGE
#define GL_CLAMP_TO_EDGE 0x812F
#endif
#ifndef GL_CURRENT_PROGRAM
#define GL_CURRENT_PROGRAM 0x8B8D
#endif
#ifndef GL_TEXTURE0_ARB
#define GL_TEXTURE0_ARB 0x84C0
#endif

// ---------------------------------------------------------------------------
// Types

namespace {

// A picture in a power-of-two texture (any GL 1.x takes it), its last row
// and column repeated once so that filtering at the edges sees no padding.
struct PictureTexture {
    GLuint name = 0;
    int width = 0, height = 0;        // the picture
    int textureWidth = 0, textureHeight = 0;
    std::vector<uint8_t> padded;
};

// The clock pictures follow: the sound the device has played while the
// sound track lasts, else the wall clock, carried on from where the sound
// left it.
struct PlayClock {
    bool followSound = false;
    double soundOrigin = 0;           // time of the sound track's first sample
    double wallStart = 0;             // milliseconds at which the wall clock read 0
    double lastSound = -1;
    double lastSoundChange = 0;
};

struct Playback {
    VideoDecoder* decoder = nullptr;
    bool streamOpen = false;
    PictureTexture picture;
    PictureTexture saved;             // the frame the script was drawing
    bool glSaved = false;
    GLint program = 0;
};

// ---------------------------------------------------------------------------
// State

Playback playing;
VideoPlayback lastPlayback;
void (*frameHook)() = nullptr;

// A sound clock standing still this long while sound is queued means the
// device does not play; the wall clock takes over.
constexpr double kSoundStallMs = 500;

// ---------------------------------------------------------------------------
// Internal helpers

int PowerOfTwo(int n) {
    int p = 1;
    while (p < n) p <<= 1;
    return p;
}

void MakeTexture(PictureTexture& t, int width, int height) {
    t.width = width;
    t.height = height;
    t.textureWidth = PowerOfTwo(width + 1);
    t.textureHeight = PowerOfTwo(height + 1);
    glGenTextures(1, &t.name);
    glBindTexture(GL_TEXTURE_2D, t.name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, t.textureWidth, t.textureHeight, 0, GL_RGBA,
                 GL_UNSIGNED_BYTE, nullptr);
}

void FreeTexture(PictureTexture& t) {
    if (t.name) glDeleteTextures(1, &t.name);
    t = PictureTexture();
}

// Uploads width x height RGBA rows with the edge repeated.
void Upload(PictureTexture& t, const uint8_t* rows) {
    const size_t w = (size_t)t.width, h = (size_t)t.height, stride = (w + 1) * 4;
    t.padded.resize(stride * (h + 1));
    for (size_t y = 0; y < h; ++y) {
        uint8_t* out = t.padded.data() + y * stride;
        std::copy(rows + y * w * 4, rows + (y + 1) * w * 4, out);
        std::copy(out + (w - 1) * 4, out + w * 4, out + w * 4);
    }
    std::copy(t.padded.data() + (h - 1) * stride, t.padded.data() + h * stride,
              t.padded.data() + h * stride);
    glBindTexture(GL_TEXTURE_2D, t.name);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, (GLsizei)(w + 1), (GLsizei)(h + 1), GL_RGBA,
                    GL_UNSIGNED_BYTE, t.padded.data());
}

// The GL as the video draws: whole window, y downward, plain textured quads.
void EnterVideoState(OpenGLZadudedo& screen) {
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
    const GLenum stacks[] = {GL_TEXTURE, GL_PROJECTION, GL_MODELVIEW};
    for (GLenum stack : stacks) {
        glMatrixMode(stack);
        glPushMatrix();
        glLoadIdentity();
    }
    if (glExt.glUseProgramObjectARB) {
        glGetIntegerv(GL_CURRENT_PROGRAM, &playing.program);
        glExt.glUseProgramObjectARB(0);
    }
    if (glExt.glActiveTextureARB) {
        glExt.glActiveTextureARB(GL_TEXTURE0_ARB + 1);
        glDisable(GL_TEXTURE_2D);
        glExt.glActiveTextureARB(GL_TEXTURE0_ARB);
    }
    glMatrixMode(GL_PROJECTION);
    glOrtho(0, screen.width, screen.height, 0, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glViewport(0, 0, screen.width, screen.height);
    const GLenum off[] = {GL_DEPTH_TEST, GL_LIGHTING, GL_BLEND, GL_ALPHA_TEST, GL_CULL_FACE,
                          GL_FOG, GL_STENCIL_TEST, GL_SCISSOR_TEST, GL_COLOR_MATERIAL,
                          GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T};
    for (GLenum cap : off) glDisable(cap);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glEnable(GL_TEXTURE_2D);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glClearColor(0, 0, 0, 1);
    glColor4f(1, 1, 1, 1);
    playing.glSaved = true;
}

void LeaveVideoState() {
    if (!playing.glSaved) return;
    if (glExt.glUseProgramObjectARB) glExt.glUseProgramObjectARB((unsigned)playing.program);
    const GLenum stacks[] = {GL_MODELVIEW, GL_PROJECTION, GL_TEXTURE};
    for (GLenum stack : stacks) {
        glMatrixMode(stack);
        glPopMatrix();
    }
    glPopClientAttrib();
    glPopAttrib();
    playing.glSaved = false;
}

// Draws the texture's picture into (x, y, w, h); `bottomUp` for rows read
// back from the GL, whose first row is the bottom one.
void DrawPicture(const PictureTexture& t, int x, int y, int w, int h, bool bottomUp) {
    float u = (float)t.width / (float)t.textureWidth;
    float v = (float)t.height / (float)t.textureHeight;
    float top = bottomUp ? v : 0, bottom = bottomUp ? 0 : v;
    glBindTexture(GL_TEXTURE_2D, t.name);
    glBegin(GL_QUADS);
    glTexCoord2f(0, top);
    glVertex2i(x, y);
    glTexCoord2f(u, top);
    glVertex2i(x + w, y);
    glTexCoord2f(u, bottom);
    glVertex2i(x + w, y + h);
    glTexCoord2f(0, bottom);
    glVertex2i(x, y + h);
    glEnd();
}

double ClockSeconds(PlayClock& clock) {
    double nowMs = NowMilliseconds();
    if (clock.followSound) {
        double sound = clock.soundOrigin + PlatformAudioStreamSeconds();
        bool queued = PlatformAudioStreamQueuedFrames() > 0;
        if (sound != clock.lastSound) {
            clock.lastSound = sound;
            clock.lastSoundChange = nowMs;
        }
        bool soundOver = !queued && VideoAudioEnded(playing.decoder);
        bool stalled = queued && nowMs - clock.lastSoundChange > kSoundStallMs;
        if (!soundOver && !stalled) return sound;
        clock.followSound = false;
        clock.wallStart = nowMs - std::max(sound, 0.0) * 1000.0;
    }
    return (nowMs - clock.wallStart) / 1000.0;
}

void StartClock(PlayClock& clock) {
    clock = PlayClock();
    clock.wallStart = NowMilliseconds();
    clock.lastSoundChange = clock.wallStart;
    clock.followSound = playing.streamOpen;
}

void MoveSound() {
    if (!playing.streamOpen) return;
    static std::vector<int16_t> samples;
    samples.clear();
    double origin = 0;
    size_t frames = VideoTakeAudio(playing.decoder, samples, origin);
    if (frames) PlatformAudioStreamQueue(samples.data(), frames);
}

// Ends what PlayVideo set up: the stream, the decoder, the textures, the GL.
void EndPlayback() {
    if (playing.streamOpen) PlatformAudioStreamClose();
    playing.streamOpen = false;
    VideoClose(playing.decoder);
    playing.decoder = nullptr;
    FreeTexture(playing.picture);
    FreeTexture(playing.saved);
    LeaveVideoState();
}

}  // namespace

// ---------------------------------------------------------------------------
// Public

VideoFit FitVideo(int sourceWidth, int sourceHeight, int clientWidth, int clientHeight) {
    VideoFit fit;
    if (sourceWidth <= 0 || sourceHeight <= 0 || clientWidth <= 0 || clientHeight <= 0) return fit;
    double scale = std::min((double)clientWidth / sourceWidth, (double)clientHeight / sourceHeight);
    fit.width = (int)std::lround(sourceWidth * scale);
    fit.height = (int)std::lround(sourceHeight * scale);
    fit.x = (clientWidth - fit.width) / 2;
    fit.y = (clientHeight - fit.height) / 2;
    return fit;
}

double PlayVideo(const RuntimeString& fileName, double loop) {
    bool found = false;
    BeginLoad();
    std::string path = ResolveSoundFile(fileName, found);
    if (!found) {
        NoteLoadFailure("no such file");
        ReportLoadFailure(fileName.Text());
    }
    if (!found || !engine.screen || !engine.screen->window || !engine.screen->glReady) return 3.0;
    OpenGLZadudedo& screen = *engine.screen;

    const bool device = engine.sound && engine.sound->deviceOpen;
    int frequency = 0, channels = 0;
    if (device) {
        frequency = engine.sound->frequency;
        channels = engine.sound->channels;
    }
    playing.decoder = VideoOpenFile(path.c_str(), frequency, channels);
    if (!playing.decoder) {
        NoteLoadFailure("not a video this program plays");
        ReportLoadFailure(fileName.Text());
        return 3.0;
    }
    if (VideoHasAudio(playing.decoder)) {
        int streamFrequency = 0, streamChannels = 0;
        playing.streamOpen = PlatformAudioStreamOpen(streamFrequency, streamChannels) &&
                             streamFrequency == frequency && streamChannels == channels;
        if (!playing.streamOpen) PlatformAudioStreamClose();
    }

    lastPlayback = VideoPlayback();
    lastPlayback.width = VideoWidth(playing.decoder);
    lastPlayback.height = VideoHeight(playing.decoder);
    lastPlayback.sound = playing.streamOpen;

    // What the script has drawn so far is kept, to be put back afterwards.
    FlushDrawBatch();
    EndActiveSurface();
    EnterVideoState(screen);
    std::vector<uint8_t> pixels((size_t)screen.width * (size_t)screen.height * 4);
    glReadPixels(0, 0, screen.width, screen.height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    MakeTexture(playing.saved, screen.width, screen.height);
    Upload(playing.saved, pixels.data());
    MakeTexture(playing.picture, lastPlayback.width, lastPlayback.height);
    const VideoFit fit = FitVideo(lastPlayback.width, lastPlayback.height, screen.width, screen.height);

    // A key or button still held from before does not end the video at once.
    while (AnyCharacterKey() || AnyMouseButton()) {
        MessagePump(screen);
        PlatformSleep(1);
    }
    // From here any new press ends it: counted as the events come in, so a
    // tap let go before the next pass looks still counts, and so do keys that
    // give no character, ESC among them.
    const uint64_t pressesBefore = PlatformPressCount();

    const double period = VideoFramePeriod(playing.decoder);
    PlayClock clock;
    StartClock(clock);
    double lastShown = 0;
    // Pictures taken on this pass, shown or dropped: a pass without any ends
    // a looping video, which would otherwise rewind for ever.
    long passPictures = 0;
    double result = 0.0;
    bool endedByPress = false;
    for (;;) {
        MessagePump(screen);
        if (PlatformPressCount() != pressesBefore) {
            endedByPress = true;
            break;
        }
        VideoReadAhead(playing.decoder, 4, 0.5, 64);
        MoveSound();
        double now = ClockSeconds(clock);

        bool drew = false;
        double due = 0;
        while (VideoPeekPicture(playing.decoder, due) && due <= now) {
            // Behind the clock: a picture whose successor is due as well is
            // dropped unconverted.
            VideoReadAhead(playing.decoder, 2, 0.5, 16);
            double later = 0, time = 0;
            if (VideoPeekSecondPicture(playing.decoder, later) && later <= now) {
                VideoTakePicture(playing.decoder, nullptr, time);
                ++passPictures;
                lastShown = time;
                ++lastPlayback.dropped;
                continue;
            }
            if (!VideoTakePicture(playing.decoder, &pixels, time)) continue;
            ++passPictures;
            lastShown = time;
            Upload(playing.picture, pixels.data());
            glClear(GL_COLOR_BUFFER_BIT);
            DrawPicture(playing.picture, fit.x, fit.y, fit.width, fit.height, false);
            ++lastPlayback.shown;
            lastPlayback.lastPictureTime = time;
            if (frameHook) frameHook();
            PlatformSwapBuffers(screen.window);
            drew = true;
        }

        bool atEnd = VideoPicturesEnded(playing.decoder) && now >= lastShown + period &&
                     (!playing.streamOpen || (VideoAudioEnded(playing.decoder) &&
                                              PlatformAudioStreamQueuedFrames() == 0));
        if (atEnd) {
            lastPlayback.endClock = now;
            if (loop == 0.0) break;
            if (passPictures == 0) {
                result = 3.0;
                break;
            }
            if (!VideoRewind(playing.decoder)) break;
            passPictures = 0;
            ++lastPlayback.loops;
            if (playing.streamOpen) PlatformAudioStreamClear();
            StartClock(clock);
            lastShown = 0;
            continue;
        }
        if (!drew) PlatformSleep(1);
    }
    lastPlayback.endClock = std::max(lastPlayback.endClock, ClockSeconds(clock));
    // The press that ended the video was for the video: the script's next
    // frame does not report it.
    InputForgetKeyChanges();

    // The frame from before the video, shown and left in the back buffer for
    // the script to go on drawing into.
    for (int turn = 0; turn < 2; ++turn) {
        glClear(GL_COLOR_BUFFER_BIT);
        DrawPicture(playing.saved, 0, 0, screen.width, screen.height, true);
        if (turn == 0) PlatformSwapBuffers(screen.window);
    }
    EndPlayback();
    // Nor does it find the key or button still held a moment after the press
    // (an ESC would end the program there): the command returns once they
    // are let go, as it starts once the ones held before are.
    while (endedByPress && (InputForgottenKeyHeld() || AnyMouseButton())) {
        MessagePump(screen);
        PlatformSleep(1);
    }
    return result;
}

void StopVideo() {
    if (playing.decoder || playing.glSaved) EndPlayback();
}

VideoPlayback LastVideoPlayback() { return lastPlayback; }

void SetVideoFrameHook(void (*hook)()) { frameHook = hook; }
