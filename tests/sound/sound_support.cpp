// Test support for sound: WAV builder, tones, the device fixture and the
// disk driver's output.
#include "sound/sound_support.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "files/archive.h"
#include "sound/sound.h"

// ---------------------------------------------------------------------------
// Internal helpers

static void Put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back((uint8_t)v);
    out.push_back((uint8_t)(v >> 8));
}

static void Put32(std::vector<uint8_t>& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

// Byte by byte: GCC 12 at -O2 takes a range insert into the empty vector for an overflow.
static void PutId(std::vector<uint8_t>& out, const char* id) {
    for (int i = 0; i < 4; ++i) out.push_back((uint8_t)id[i]);
}

// ---------------------------------------------------------------------------
// Files

std::vector<uint8_t> BuildWave(const WaveLayout& layout) {
    uint16_t blockAlign = layout.blockAlign >= 0 ? (uint16_t)layout.blockAlign
                                               : (uint16_t)(layout.channels * layout.bitsPerSample / 8);
    std::vector<uint8_t> out;
    PutId(out, "RIFF");
    Put32(out, 0);  // patched below
    PutId(out, "WAVE");
    PutId(out, "fmt ");
    Put32(out, layout.formatSize);
    Put16(out, layout.formatTag);
    Put16(out, layout.channels);
    Put32(out, layout.samplesPerSecond);
    Put32(out, layout.samplesPerSecond * blockAlign);
    Put16(out, blockAlign);
    Put16(out, layout.bitsPerSample);
    for (uint32_t i = 16; i < layout.formatSize; ++i) out.push_back(0);
    if (layout.formatSize & 1u) out.push_back(0);
    if (layout.fact) {
        PutId(out, "fact");
        Put32(out, layout.factSize);
        for (uint32_t i = 0; i < layout.factSize + (layout.factSize & 1u); ++i) out.push_back(0x11);
    }
    PutId(out, "data");
    Put32(out, layout.dataSizeField >= 0 ? (uint32_t)layout.dataSizeField : (uint32_t)layout.data.size());
    out.insert(out.end(), layout.data.begin(), layout.data.end());
    uint32_t riffSize = (uint32_t)out.size() - 8;
    for (int i = 0; i < 4; ++i) out[4 + i] = (uint8_t)(riffSize >> (8 * i));
    return out;
}

std::vector<uint8_t> SineBytes(double seconds, double frequency, double amplitude,
                               int samplesPerSecond) {
    std::vector<uint8_t> out;
    int frames = (int)(seconds * samplesPerSecond);
    for (int i = 0; i < frames; ++i) {
        double value = amplitude * std::sin(2.0 * M_PI * frequency * i / samplesPerSecond);
        Put16(out, (uint16_t)(int16_t)std::lrint(value));
    }
    return out;
}

int TonePeak(double amplitude, double frequency, int samplesPerSecond) {
    int peak = 0;
    for (int i = 0; i < samplesPerSecond; ++i)
        peak = std::max(peak, (int)std::abs(std::lrint(amplitude * std::sin(2.0 * M_PI * frequency * i / samplesPerSecond))));
    return peak;
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()), (std::streamsize)bytes.size());
}

int64_t FileSize(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 ? (int64_t)info.st_size : -1;
}

// ---------------------------------------------------------------------------
// Output

StereoOutput ReadOutput(const std::string& path, size_t fromByte) {
    std::ifstream file(path, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    StereoOutput out;
    fromByte -= fromByte % 4;
    for (size_t i = fromByte; i + 3 < bytes.size(); i += 4) {
        out.left.push_back((int16_t)(bytes[i] | bytes[i + 1] << 8));
        out.right.push_back((int16_t)(bytes[i + 2] | bytes[i + 3] << 8));
    }
    return out;
}

double Rms(const std::vector<int16_t>& samples) {
    double sum = 0;
    for (int16_t s : samples) sum += (double)s * s;
    return samples.empty() ? 0 : std::sqrt(sum / samples.size());
}

size_t ActiveSpan(const std::vector<int16_t>& samples, int threshold) {
    size_t first = samples.size(), last = 0;
    for (size_t i = 0; i < samples.size(); ++i) {
        if (std::abs(samples[i]) > threshold) {
            if (first == samples.size()) first = i;
            last = i;
        }
    }
    return first == samples.size() ? 0 : last - first + 1;
}

size_t CountAbove(const std::vector<int16_t>& samples, int threshold) {
    size_t n = 0;
    for (int16_t s : samples) n += std::abs(s) > threshold;
    return n;
}

int PeakOf(const std::vector<int16_t>& samples) {
    int peak = 0;
    for (int16_t s : samples) peak = std::max(peak, std::abs((int)s));
    return peak;
}

// ---------------------------------------------------------------------------
// Fixture

void SoundFixture::SetUp() {
    char pattern[] = "/tmp/revev-sound-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
    outputPath = dir + "/output.raw";
    setenv("TMPDIR", dir.c_str(), 1);
    SoundCreate();
}

void SoundFixture::TearDown() {
    CloseDevice();
    DataArchivesRelease();
    std::string command = "rm -rf '" + dir + "'";
    if (std::system(command.c_str()) != 0) ADD_FAILURE() << "could not remove " << dir;
}

bool SoundFixture::OpenDevice(const char* driver) {
    setenv("SDL_AUDIODRIVER", driver, 1);
    setenv("SDL_DISKAUDIOFILE", outputPath.c_str(), 1);
    SoundCreate();
    return SoundInitialise(nullptr) == 1;
}

void SoundFixture::CloseDevice() {
    SoundSlotsDestroy();
    SoundRelease();
}

std::string SoundFixture::WriteWave(const std::string& name, const WaveLayout& layout) {
    std::string path = dir + "/" + name;
    WriteBytes(path, BuildWave(layout));
    return path;
}

std::string SoundFixture::WriteTone(const std::string& name, double seconds, double frequency,
                                    double amplitude) {
    WaveLayout layout;
    layout.data = SineBytes(seconds, frequency, amplitude);
    return WriteWave(name, layout);
}

void SoundFixture::WaitWhilePlaying(double handle) {
    for (int i = 0; i < 6000 && SoundPlaying(handle) == 1; ++i) PlatformSleep(5);
    ASSERT_EQ(SoundPlaying(handle), 0) << "voice " << handle << " never finished";
}

void SoundFixture::WaitForOutput(int64_t bytes) {
    for (int i = 0; i < 6000 && FileSize(outputPath) < bytes; ++i) PlatformSleep(5);
    ASSERT_GE(FileSize(outputPath), bytes) << "the device stopped writing";
}
