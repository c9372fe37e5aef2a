// The WAV reader: the layouts it takes (format chunks of 16, 18 and 40 bytes,
// a fact chunk, 8 and 16 bits, any format tag) and a table of truncated and
// malformed files, each of which leaves the slot empty.
#include <gtest/gtest.h>

#include <functional>

#include "core/engine.h"
#include "sound/sound.h"
#include "sound/sound_internal.h"
#include "sound/sound_support.h"

namespace {

using WaveReader = SoundFixture;

WaveLayout Tone(double seconds = 0.05) {
    WaveLayout layout;
    layout.data = SineBytes(seconds, 441, 8000);
    return layout;
}

bool Reads(const std::vector<uint8_t>& bytes, WaveSound& out) {
    return ReadWave(bytes.data(), bytes.size(), out);
}

}  // namespace

// ---------------------------------------------------------------------------
// Accepted layouts

TEST_F(WaveReader, AcceptedLayoutsFindTheirSamples) {
    struct Case {
        const char* what;
        std::function<void(WaveLayout&)> change;
        size_t dataOffset;
        uint16_t channels;
    } cases[] = {
        {"plain 16-byte format", [](WaveLayout&) {}, 44, 1},
        {"18-byte format", [](WaveLayout& s) { s.formatSize = 18; }, 46, 1},
        {"40-byte extensible format", [](WaveLayout& s) { s.formatSize = 40; s.formatTag = 0xFFFE; }, 68, 1},
        {"odd format size with its pad byte", [](WaveLayout& s) { s.formatSize = 17; }, 46, 1},
        {"fact chunk", [](WaveLayout& s) { s.fact = true; }, 56, 1},
        {"odd fact chunk with its pad byte", [](WaveLayout& s) { s.fact = true; s.factSize = 5; }, 58, 1},
        {"any format tag plays as PCM", [](WaveLayout& s) { s.formatTag = 3; }, 44, 1},
        {"stereo", [](WaveLayout& s) { s.channels = 2; }, 44, 2},
        {"no channels count as one", [](WaveLayout& s) { s.channels = 0; s.blockAlign = 2; }, 44, 1},
        {"8 bits", [](WaveLayout& s) { s.bitsPerSample = 8; }, 44, 1},
        {"data size odd: the last part-frame is dropped", [](WaveLayout& s) { s.data.push_back(7); }, 44, 1},
    };
    for (const Case& c : cases) {
        WaveLayout layout = Tone();
        c.change(layout);
        std::vector<uint8_t> bytes = BuildWave(layout);
        WaveSound wave;
        ASSERT_TRUE(Reads(bytes, wave)) << c.what;
        EXPECT_EQ(wave.dataOffset, c.dataOffset) << c.what;
        EXPECT_EQ(wave.dataSize, layout.data.size()) << c.what;
        EXPECT_EQ(wave.channels, c.channels) << c.what;
        EXPECT_EQ(wave.formatTag, layout.formatTag) << c.what;
        EXPECT_EQ(wave.bytesPerSecond, wave.samplesPerSecond * wave.blockAlign) << c.what;
    }
}

TEST_F(WaveReader, EighteenByteFormatAndFactChunkFilesLoadAndPlay) {
    ASSERT_TRUE(OpenDevice("dummy"));
    WaveLayout eighteen = Tone(2.0);
    eighteen.formatSize = 18;
    WaveLayout fact = Tone(2.0);
    fact.fact = true;
    fact.bitsPerSample = 8;
    fact.data.resize(fact.data.size() / 2, 0x80);
    LoadSound(WriteWave("eighteen.wav", eighteen).c_str(), 1, 1);
    LoadSound(WriteWave("fact.wav", fact).c_str(), 2, 1);
    EXPECT_EQ(engine.soundBuffers[1].voiceCount, 1);
    EXPECT_EQ(engine.soundBuffers[2].voiceCount, 1);
    EXPECT_EQ(PlaySound(1, 0, 1), 256);
    EXPECT_EQ(PlaySound(2, 0, 1), 512);
    EXPECT_EQ(SoundPlaying(256), 1);
    StopAllSounds();
}

// ---------------------------------------------------------------------------
// Refused files

TEST_F(WaveReader, EveryTruncationOfAFileIsRefused) {
    WaveLayout layout = Tone(0.002);
    layout.fact = true;
    layout.formatSize = 18;
    std::vector<uint8_t> whole = BuildWave(layout);
    WaveSound wave;
    ASSERT_TRUE(Reads(whole, wave));
    for (size_t size = 0; size < whole.size(); ++size) {
        std::vector<uint8_t> cut(whole.begin(), whole.begin() + (long)size);
        EXPECT_FALSE(Reads(cut, wave)) << "cut to " << size << " bytes";
    }
    EXPECT_FALSE(ReadWave(nullptr, 100, wave));
}

// Music is judged by the start of its file: every prefix that holds the
// chunk headers gives what the whole file gives, and no shorter one is
// read past its end (each prefix sits in a block of its own size).
TEST_F(WaveReader, TheStartOfAFileIsJudgedWithinItsBytes) {
    for (bool fact : {false, true}) {
        WaveLayout layout = Tone(0.01);
        layout.fact = fact;
        layout.formatSize = 40;
        layout.channels = 0;
        layout.blockAlign = 2;
        std::vector<uint8_t> whole = BuildWave(layout);
        WaveSound full;
        ASSERT_TRUE(Reads(whole, full));
        const size_t headers = full.dataOffset;
        for (size_t size = 0; size <= whole.size(); ++size) {
            std::vector<uint8_t> start(whole.begin(), whole.begin() + (long)size);
            WaveSound wave;
            uint16_t stated = 7;
            const bool read = ReadWaveHeader(start.data(), start.size(), whole.size(), wave, &stated);
            EXPECT_EQ(read, size >= headers) << size;
            if (!read) continue;
            EXPECT_EQ(wave.dataOffset, full.dataOffset);
            EXPECT_EQ(wave.dataSize, full.dataSize);
            EXPECT_EQ(wave.channels, 1);
            EXPECT_EQ(stated, 0);
        }
        // The data chunk must still lie within the file.
        WaveSound wave;
        EXPECT_FALSE(ReadWaveHeader(whole.data(), headers, headers + full.dataSize - 1, wave, nullptr));
        EXPECT_FALSE(ReadWaveHeader(whole.data(), whole.size(), whole.size() - 1, wave, nullptr));
    }
}

TEST_F(WaveReader, MalformedFilesLeaveTheSlotEmpty) {
    struct Case {
        const char* what;
        std::function<void(std::vector<uint8_t>&)> damage;
    } cases[] = {
        {"empty file", [](std::vector<uint8_t>& b) { b.clear(); }},
        {"no format chunk id", [](std::vector<uint8_t>& b) { b[12] = 'x'; }},
        {"format chunk shorter than 16", [](std::vector<uint8_t>& b) { b[16] = 14; }},
        {"format size past the end", [](std::vector<uint8_t>& b) { b[16] = 0xFF; b[17] = 0xFF; b[18] = 0xFF; b[19] = 0x7F; }},
        {"format size of 4 GiB", [](std::vector<uint8_t>& b) { b[16] = b[17] = b[18] = b[19] = 0xFF; }},
        {"unknown chunk before data", [](std::vector<uint8_t>& b) { b[36] = 'L'; b[37] = 'I'; b[38] = 'S'; b[39] = 'T'; }},
        {"data size past the end", [](std::vector<uint8_t>& b) { b[40] += 1; b[41] += 1; }},
        {"data size of 4 GiB", [](std::vector<uint8_t>& b) { b[40] = b[41] = b[42] = b[43] = 0xFF; }},
        {"data size 0", [](std::vector<uint8_t>& b) { b[40] = b[41] = b[42] = b[43] = 0; }},
        {"12 bits per sample", [](std::vector<uint8_t>& b) { b[34] = 12; }},
        {"32 bits per sample", [](std::vector<uint8_t>& b) { b[34] = 32; b[32] = 4; }},
        {"0 bits per sample", [](std::vector<uint8_t>& b) { b[34] = 0; }},
        {"block alignment not channels x bytes", [](std::vector<uint8_t>& b) { b[32] = 3; }},
        {"block alignment 0", [](std::vector<uint8_t>& b) { b[32] = 0; }},
        {"six channels (taken as two, alignment wrong)", [](std::vector<uint8_t>& b) { b[22] = 6; b[32] = 12; }},
        {"rate 0", [](std::vector<uint8_t>& b) { b[24] = b[25] = b[26] = b[27] = 0; }},
        {"rate 4 GHz", [](std::vector<uint8_t>& b) { b[24] = b[25] = b[26] = b[27] = 0xFF; }},
        {"a fact chunk past the end", [](std::vector<uint8_t>& b) { b[36] = 'f'; b[37] = 'a'; b[38] = 'c'; b[39] = 't'; b[40] = 0xF0; b[41] = 0xFF; }},
        {"two fact chunks", [](std::vector<uint8_t>& b) {
             const uint8_t fact[] = {'f', 'a', 'c', 't', 4, 0, 0, 0, 1, 2, 3, 4};
             b.insert(b.begin() + 36, fact, fact + 12);
             b.insert(b.begin() + 36, fact, fact + 12);
         }},
    };
    ASSERT_TRUE(OpenDevice("dummy"));
    std::string good = WriteWave("good.wav", Tone(2.0));
    int index = 0;
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes = BuildWave(Tone());
        c.damage(bytes);
        WaveSound wave;
        EXPECT_FALSE(Reads(bytes, wave)) << c.what;

        // A slot that held a sound is emptied by the failed load.
        LoadSound(good.c_str(), 9, 2);
        ASSERT_EQ(engine.soundBuffers[9].voiceCount, 2);
        double handle = PlaySound(9, 0, 1);
        std::string path = dir + "/bad" + std::to_string(index++) + ".wav";
        WriteBytes(path, bytes);
        LoadSound(path.c_str(), 9, 2);
        EXPECT_EQ(engine.soundBuffers[9].voiceCount, 0) << c.what;
        EXPECT_EQ(SoundPlaying(handle), 0) << c.what;
        EXPECT_EQ(PlaySound(9, 0, 1), -1) << c.what;
    }
    LoadSound((dir + "/missing.wav").c_str(), 9, 2);
    EXPECT_EQ(engine.soundBuffers[9].voiceCount, 0);
    LoadSound(dir.c_str(), 9, 2);
    EXPECT_EQ(engine.soundBuffers[9].voiceCount, 0) << "a directory";
    LoadSound(std::string(400, 'a').c_str(), 9, 2);
    EXPECT_EQ(engine.soundBuffers[9].voiceCount, 0) << "an over-long name";
}
