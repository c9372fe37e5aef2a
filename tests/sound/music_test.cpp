// Music through SDL's disk audio driver: it repeats past the end of a short
// file, stops on stop, a new piece replaces the old, the volume command, and
// names resolved through the data archive.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <thread>

#include "archive_writer.h"
#include "core/engine.h"
#include "files/archive.h"
#include "sound/sound.h"
#include "sound/sound_support.h"

namespace {

using Music = SoundFixture;

// Output frames still on their way to the file when a command returns: the
// buffer being mixed and the bytes the driver's file has not flushed yet.
constexpr size_t kInFlightFrames = 4096;

std::vector<int16_t> Frames(const std::vector<int16_t>& side, size_t from, size_t to) {
    from = std::min(from, side.size());
    to = std::min(to, side.size());
    return std::vector<int16_t>(side.begin() + (long)from, side.begin() + (long)std::max(from, to));
}

}  // namespace

TEST_F(Music, RepeatsPastTheEndOfAShortFileUntilStopped) {
    ASSERT_TRUE(OpenDevice());
    std::string piece = WriteTone("piece.wav", 0.25, 441, 8000);
    const size_t pieceFrames = 22050 / 4;
    int64_t start = std::max<int64_t>(FileSize(outputPath), 0);
    ASSERT_EQ(PlayMusic(piece.c_str()), 1);
    WaitForOutput(start + kOutputBytesPerSecond * 3 / 2);
    StopMusic();
    size_t stopFrame = (size_t)FileSize(outputPath) / 4;
    WaitForOutput((int64_t)stopFrame * 4 + kOutputBytesPerSecond / 2);
    CloseDevice();

    StereoOutput out = ReadOutput(outputPath);
    std::vector<int16_t> playing = Frames(out.left, 0, stopFrame);
    std::vector<int16_t> stopped = Frames(out.left, stopFrame + kInFlightFrames, out.left.size());
    EXPECT_GE(CountAbove(playing, 100), 3 * pieceFrames) << "the piece played three times over";
    EXPECT_EQ(PeakOf(playing), TonePeak(8000)) << "at full volume";
    ASSERT_GT(stopped.size(), 1000u);
    EXPECT_EQ(PeakOf(stopped), 0) << "silence after the stop";
}

TEST_F(Music, NewPieceReplacesTheOldAndTheVolumeScalesIt) {
    ASSERT_TRUE(OpenDevice());
    std::string loud = WriteTone("loud.wav", 0.25, 441, 8000);
    std::string quiet = WriteTone("quiet.wav", 0.25, 882, 2000);
    int64_t start = std::max<int64_t>(FileSize(outputPath), 0);
    ASSERT_EQ(PlayMusic(loud.c_str()), 1);
    WaitForOutput(start + kOutputBytesPerSecond / 2);
    ASSERT_EQ(PlayMusic(quiet.c_str()), 1);
    size_t switchFrame = (size_t)FileSize(outputPath) / 4;
    WaitForOutput((int64_t)switchFrame * 4 + kOutputBytesPerSecond * 3 / 4);
    MusicVolume(0.5);
    size_t volumeFrame = (size_t)FileSize(outputPath) / 4;
    WaitForOutput((int64_t)volumeFrame * 4 + kOutputBytesPerSecond * 3 / 4);
    EXPECT_EQ(PlayMusic("absent.ogg"), 0);
    size_t missingFrame = (size_t)FileSize(outputPath) / 4;
    WaitForOutput((int64_t)missingFrame * 4 + kOutputBytesPerSecond / 2);
    CloseDevice();

    StereoOutput out = ReadOutput(outputPath);
    EXPECT_EQ(PeakOf(Frames(out.right, 0, switchFrame)), TonePeak(8000));
    EXPECT_EQ(PeakOf(Frames(out.right, switchFrame + kInFlightFrames, volumeFrame)), TonePeak(2000, 882))
        << "only the new piece plays";
    EXPECT_NEAR(PeakOf(Frames(out.right, volumeFrame + kInFlightFrames, missingFrame)), TonePeak(2000, 882) / 2, 1)
        << "half volume";
    EXPECT_EQ(PeakOf(Frames(out.right, missingFrame + kInFlightFrames, out.right.size())), 0)
        << "a name that cannot be resolved still stops the music";
}

TEST_F(Music, PiecesResolveThroughTheDataArchive) {
    ASSERT_TRUE(OpenDevice());
    std::string piece = WriteTone("packed.wav", 0.25, 441, 8000);
    std::string archive = dir + "/data.vaz", error;
    ASSERT_TRUE(CreateArchive(archive, {piece}, error)) << error;
    std::remove(piece.c_str());
    DataArchivesCreate();
    SetDataArchives(archive.c_str(), "");

    int64_t start = std::max<int64_t>(FileSize(outputPath), 0);
    ASSERT_EQ(PlayMusic("packed.wav"), 1);
    // The next lookup deletes the unpacked file; the playing piece keeps going.
    LoadSound("packed.wav", 0, 1);
    EXPECT_EQ(engine.soundBuffers[0].voiceCount, 1);
    WaitForOutput(start + kOutputBytesPerSecond);
    size_t stopFrame = (size_t)FileSize(outputPath) / 4;
    StopMusic();
    CloseDevice();

    StereoOutput out = ReadOutput(outputPath);
    EXPECT_GE(CountAbove(Frames(out.left, 0, stopFrame), 100), 3 * 22050u / 4);
}

// The player divides by a WAV file's format figures: files the WAV reader
// refuses never reach it, whether the name or the RIFF WAVE words mark them.
TEST_F(Music, MalformedWaveFilesAreRefusedBeforeThePlayerSeesThem) {
    ASSERT_TRUE(OpenDevice("dummy"));
    struct Case {
        const char* name;
        std::function<void(WaveLayout&)> change;
    } cases[] = {
        {"no_channels.wav", [](WaveLayout& s) { s.channels = 0; }},
        // Sound effects play this as mono; the player would read 0 channels.
        {"no_channels_aligned.wav", [](WaveLayout& s) { s.channels = 0; s.blockAlign = 2; }},
        {"three_channels_aligned.wav", [](WaveLayout& s) { s.channels = 3; s.blockAlign = 4; s.bitsPerSample = 16; }},
        {"no_channels.mus", [](WaveLayout& s) { s.channels = 0; }},
        {"NO_RATE.WAV", [](WaveLayout& s) { s.samplesPerSecond = 0; }},
        {"no_bits.wav", [](WaveLayout& s) { s.bitsPerSample = 0; s.blockAlign = 0; }},
        {"no_alignment.wav", [](WaveLayout& s) { s.blockAlign = 0; }},
        {"data_past_the_end.wav", [](WaveLayout& s) { s.dataSizeField = 1 << 20; }},
    };
    for (const Case& c : cases) {
        WaveLayout layout;
        layout.data = SineBytes(0.25, 441, 8000);
        c.change(layout);
        EXPECT_EQ(PlayMusic(WriteWave(c.name, layout).c_str()), 0) << c.name;
        // Time for the mixer to run, had the file reached it.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    std::vector<uint8_t> cut = BuildWave(WaveLayout{});
    cut.resize(30);
    WriteBytes(dir + "/cut.wav", cut);
    EXPECT_EQ(PlayMusic((dir + "/cut.wav").c_str()), 0);

    EXPECT_EQ(PlayMusic(WriteTone("good.wav", 0.25, 441, 8000).c_str()), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    StopMusic();
}
