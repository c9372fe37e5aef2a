// Sound effects through SDL's disk audio driver: voice choice, handles, slot
// limits, volume and pan as heard in the output file, independent WAV files,
// the data archive, and the behaviour without a device.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "archive_writer.h"
#include "core/engine.h"
#include "files/archive.h"
#include "sound/sound.h"
#include "sound/sound_support.h"

namespace {

using SoundVoices = SoundFixture;
using SoundLevels = SoundFixture;
using SoundFiles = SoundFixture;
using SoundWithoutDevice = SoundFixture;

double Decibels(double a, double b) { return 20.0 * std::log10(a / b); }

}  // namespace

// ---------------------------------------------------------------------------
// Voices and handles

TEST_F(SoundVoices, OneVoiceSlotDoesNotPlayAgainWhileItStillPlays) {
    ASSERT_TRUE(OpenDevice());
    LoadSound(WriteTone("long.wav", 8.0).c_str(), 3, 1);
    ASSERT_EQ(engine.soundBuffers[3].voiceCount, 1);

    double handle = PlaySound(3, 0, 1);
    EXPECT_EQ(handle, 3 * 256);
    EXPECT_EQ(SoundPlaying(handle), 1);
    EXPECT_EQ(PlaySound(3, 0, 1), -1);
    EXPECT_EQ(SoundPlaying(handle), 1) << "the refused play must not cut the voice";

    StopAllSounds();
    EXPECT_EQ(SoundPlaying(handle), 0);
    EXPECT_EQ(PlaySound(3, 0, 1), 3 * 256) << "a stopped voice plays again";
    StopAllSounds();
}

TEST_F(SoundVoices, FourVoicesTakeTurnsAndAFifthPlayCutsTheOldest) {
    ASSERT_TRUE(OpenDevice());
    LoadSound(WriteTone("long.wav", 8.0).c_str(), 5, 4);
    ASSERT_EQ(engine.soundBuffers[5].voiceCount, 4);
    for (int voice = 0; voice < 4; ++voice) EXPECT_EQ(PlaySound(5, 0, 1), 5 * 256 + voice);
    for (int voice = 0; voice < 4; ++voice) EXPECT_EQ(SoundPlaying(5 * 256 + voice), 1);

    EXPECT_EQ(PlaySound(5, 0, 1), 5 * 256 + 0);
    EXPECT_EQ(PlaySound(5, 0, 1), 5 * 256 + 1);
    for (int voice = 0; voice < 4; ++voice) EXPECT_EQ(SoundPlaying(5 * 256 + voice), 1);
    StopAllSounds();
}

TEST_F(SoundVoices, HandleNamesSlotTimes256PlusVoice) {
    ASSERT_TRUE(OpenDevice());
    LoadSound(WriteTone("long.wav", 8.0).c_str(), 2, 4);
    double last = -1;
    for (int i = 0; i < 4; ++i) last = PlaySound(2, 0, 1);
    EXPECT_EQ(last, 515);
    EXPECT_EQ(SoundPlaying(515), 1);

    // Handles naming no loaded voice are simply not playing.
    EXPECT_EQ(SoundPlaying(2 * 256 + 4), 0);
    EXPECT_EQ(SoundPlaying(7 * 256), 0);
    EXPECT_EQ(SoundPlaying(-1), 0);
    EXPECT_EQ(SoundPlaying(300 * 256), 0);
    EXPECT_EQ(SoundPlaying(1e12), 0);
    StopAllSounds();
    EXPECT_EQ(SoundPlaying(515), 0);
}

TEST_F(SoundVoices, SlotsAbove127ActAs127AndNegativeSlotsAreRefused) {
    ASSERT_TRUE(OpenDevice());
    std::string tone = WriteTone("long.wav", 8.0);
    LoadSound(tone.c_str(), 200, 1);
    EXPECT_EQ(engine.soundBuffers[127].voiceCount, 1);
    EXPECT_EQ(engine.soundBuffers[200].voiceCount, 0);
    EXPECT_EQ(PlaySound(200, 0, 1), 127 * 256);
    EXPECT_EQ(SoundPlaying(127 * 256), 1);

    LoadSound(tone.c_str(), 0, 2);
    LoadSound("missing.wav", -1, 1);
    EXPECT_EQ(engine.soundBuffers[0].voiceCount, 2) << "a negative slot touches nothing";
    EXPECT_EQ(PlaySound(-1, 0, 1), -1);
    EXPECT_EQ(PlaySound(-0.5, 0, 1), 0) << "-0.5 truncates to slot 0";
    StopAllSounds();
}

TEST_F(SoundVoices, VoicesAreHeldToOneToFourAndReloadingReplacesTheSlot) {
    ASSERT_TRUE(OpenDevice());
    std::string tone = WriteTone("long.wav", 8.0);
    LoadSound(tone.c_str(), 1, 9);
    EXPECT_EQ(engine.soundBuffers[1].voiceCount, 4);
    LoadSound(tone.c_str(), 1, 0);
    EXPECT_EQ(engine.soundBuffers[1].voiceCount, 1);

    double handle = PlaySound(1, 0, 1);
    ASSERT_EQ(SoundPlaying(handle), 1);
    LoadSound(tone.c_str(), 1, 2);
    EXPECT_EQ(SoundPlaying(handle), 0) << "a load stops what the slot played";
    EXPECT_EQ(engine.soundBuffers[1].currentVoice, 0);
}

// ---------------------------------------------------------------------------
// Volume and pan

TEST_F(SoundLevels, VolumeAndPanBecomeHundredthsOfADecibel) {
    ASSERT_TRUE(OpenDevice());
    LoadSound(WriteTone("long.wav", 8.0).c_str(), 4, 4);
    struct Case {
        double pan, volume;
        int32_t wantVolume, wantPan;
    } cases[] = {
        {0, 1, 0, 0}, {0, 0.5, -5000, 0}, {0, 2, 0, 0}, {2, 1, 0, 10000},
        {-0.25, 0, -10000, -2500}, {-7, -1, -10000, -10000}, {NAN, NAN, -10000, 0},
    };
    for (const Case& c : cases) {
        StopAllSounds();
        double handle = PlaySound(4, c.pan, c.volume);
        int32_t volume = 1, pan = 1;
        ASSERT_TRUE(GetVoiceLevels(handle, volume, pan));
        EXPECT_EQ(volume, c.wantVolume) << "volume " << c.volume;
        EXPECT_EQ(pan, c.wantPan) << "pan " << c.pan;
    }
    StopAllSounds();
}

// Full level on the left (pan -1) and volume 0.5 on the right (pan 1), played
// together: the right side is 50 dB below the left.
TEST_F(SoundLevels, HalfVolumeIsFiftyDecibelsBelowFullLevelInTheOutput) {
    ASSERT_TRUE(OpenDevice());
    std::string tone = WriteTone("tone.wav", 0.5);
    LoadSound(tone.c_str(), 10, 1);
    LoadSound(tone.c_str(), 11, 1);
    double full = PlaySound(10, -1, 1);
    double half = PlaySound(11, 1, 0.5);
    ASSERT_GE(full, 0);
    ASSERT_GE(half, 0);
    WaitWhilePlaying(full);
    WaitWhilePlaying(half);
    CloseDevice();

    StereoOutput out = ReadOutput(outputPath);
    double left = Rms(out.left), right = Rms(out.right);
    ASSERT_GT(right, 0);
    EXPECT_NEAR(Decibels(left, right), 50.0, 0.5);
    // Full level passes the samples through unchanged.
    EXPECT_EQ(PeakOf(out.left), TonePeak(16000));
    EXPECT_NEAR((double)ActiveSpan(out.left, 100), 11025.0, 3.0);
}

// Volume 2 is held to full level (samples pass unchanged) and pan 2 to fully
// right, which leaves the left side silent.
TEST_F(SoundLevels, VolumeAndPanBeyondTheirRangesAreHeldToFullLevelAndFullyRight) {
    ASSERT_TRUE(OpenDevice());
    LoadSound(WriteTone("tone.wav", 0.3).c_str(), 0, 1);
    double handle = PlaySound(0, 2, 2);
    ASSERT_GE(handle, 0);
    WaitWhilePlaying(handle);
    CloseDevice();

    StereoOutput out = ReadOutput(outputPath);
    EXPECT_EQ(PeakOf(out.left), 0);
    EXPECT_EQ(PeakOf(out.right), TonePeak(16000));
}

// ---------------------------------------------------------------------------
// Files

// Files made by an independent tool, at rates and sizes other than the
// device's, play for their own length at their own pitch.
TEST_F(SoundFiles, WavFilesMadeBySoxPlayConverted) {
    if (std::system("command -v sox >/dev/null 2>&1") != 0) GTEST_SKIP() << "sox is not installed";
    struct Case {
        const char* name;
        const char* options;
    } cases[] = {
        {"s16.wav", "-r 44100 -c 2 -b 16"},
        {"u8.wav", "-r 11025 -c 1 -b 8"},
    };
    ASSERT_TRUE(OpenDevice());
    int slot = 30;
    for (const Case& c : cases) {
        std::string path = dir + "/" + c.name;
        std::string command = std::string("sox -n ") + c.options + " '" + path + "' synth 0.5 sine 1000 vol 0.5";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        LoadSound(path.c_str(), slot, 1);
        ASSERT_EQ(engine.soundBuffers[slot].voiceCount, 1) << c.name;
        ++slot;
    }
    // One after the other, so each leaves its own stretch in the output.
    for (int s = 30; s < slot; ++s) {
        double handle = PlaySound(s, s == 30 ? -1 : 1, 1);
        ASSERT_GE(handle, 0);
        WaitWhilePlaying(handle);
    }
    CloseDevice();

    StereoOutput out = ReadOutput(outputPath);
    for (const std::vector<int16_t>* side : {&out.left, &out.right}) {
        size_t span = ActiveSpan(*side, 2000);
        EXPECT_NEAR((double)span, 11025.0, 11025.0 * 0.01) << "half a second at the device's rate";
        size_t crossings = 0;
        for (size_t i = 1; i < side->size(); ++i)
            crossings += ((*side)[i - 1] < 0) != ((*side)[i] < 0);
        EXPECT_NEAR((double)crossings, 1000.0, 20.0) << "a 1000 Hz tone for half a second";
    }
}

TEST_F(SoundFiles, SoundsResolveThroughTheDataArchive) {
    ASSERT_TRUE(OpenDevice());
    std::string tone = WriteTone("packed.wav", 0.2);
    std::string archive = dir + "/data.vaz", error;
    ASSERT_TRUE(CreateArchive(archive, {tone}, error)) << error;
    std::remove(tone.c_str());
    DataArchivesCreate();
    SetDataArchives(archive.c_str(), "");

    LoadSound("packed.wav", 6, 2);
    EXPECT_EQ(engine.soundBuffers[6].voiceCount, 2);
    EXPECT_GE(PlaySound(6, 0, 1), 0);
    LoadSound("absent.wav", 7, 2);
    EXPECT_EQ(engine.soundBuffers[7].voiceCount, 0);
    StopAllSounds();
}

// ---------------------------------------------------------------------------
// Without a device

TEST_F(SoundWithoutDevice, LoadsLeaveSlotsEmptyAndPlaysReturnMinusOne) {
    EXPECT_FALSE(OpenDevice("none"));
    ASSERT_NE(engine.sound, nullptr);
    ASSERT_NE(engine.soundBuffers, nullptr);
    std::string tone = WriteTone("tone.wav", 0.2);
    LoadSound(tone.c_str(), 0, 4);
    EXPECT_EQ(engine.soundBuffers[0].voiceCount, 0);
    EXPECT_EQ(PlaySound(0, 0, 1), -1);
    EXPECT_EQ(SoundPlaying(0), 0);
    StopAllSounds();
    EXPECT_EQ(PlayMusic(tone.c_str()), 0);
    MusicVolume(0.5);
    StopMusic();
    CloseDevice();
    EXPECT_EQ(engine.sound, nullptr);
    EXPECT_EQ(engine.soundBuffers, nullptr);
}

TEST_F(SoundWithoutDevice, CommandsBeforeStartUpOrAfterShutdownDoNothing) {
    CloseDevice();
    std::string tone = WriteTone("tone.wav", 0.2);
    LoadSound(tone.c_str(), 0, 1);
    EXPECT_EQ(PlaySound(0, 0, 1), -1);
    EXPECT_EQ(SoundPlaying(0), 0);
    StopAllSounds();
    EXPECT_EQ(PlayMusic(tone.c_str()), 0);
    MusicVolume(1);
    StopMusic();
    EXPECT_EQ(SoundInitialise(nullptr), 0);
}
