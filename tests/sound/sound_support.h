// Test support for sound: WAV files built byte by byte, tones, a device on
// SDL's disk or dummy driver, and the disk driver's output read back.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

// A WAV file to build. Fields left at -1 are derived from the others.
struct WaveLayout {
    uint32_t formatSize = 16;     // 18 and 40 add zero bytes after the first 16
    uint16_t formatTag = 1;
    uint16_t channels = 1;
    uint32_t samplesPerSecond = 22050;
    uint16_t bitsPerSample = 16;
    int blockAlign = -1;
    bool fact = false;
    uint32_t factSize = 4;
    int64_t dataSizeField = -1;   // the data chunk's stated size
    std::vector<uint8_t> data;
};

std::vector<uint8_t> BuildWave(const WaveLayout& layout);
// 16-bit mono sine samples as little-endian bytes.
std::vector<uint8_t> SineBytes(double seconds, double frequency, double amplitude,
                               int samplesPerSecond = 22050);
// Largest sample magnitude of such a sine (its peak falls between samples).
int TonePeak(double amplitude, double frequency = 441.0, int samplesPerSecond = 22050);
void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);

// Interleaved 16-bit stereo frames of the disk driver's output.
struct StereoOutput {
    std::vector<int16_t> left;
    std::vector<int16_t> right;
};
StereoOutput ReadOutput(const std::string& path, size_t fromByte = 0);
double Rms(const std::vector<int16_t>& samples);
// Frames from the first to the last sample whose magnitude exceeds `threshold`.
size_t ActiveSpan(const std::vector<int16_t>& samples, int threshold);
size_t CountAbove(const std::vector<int16_t>& samples, int threshold);
int PeakOf(const std::vector<int16_t>& samples);
int64_t FileSize(const std::string& path);

// A fresh temporary directory per test, the sound object and slots, and the
// device opened on the driver of the test's choice (disk by default, writing
// to `outputPath`). TearDown releases slots and device, which flushes the output.
class SoundFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Opens the device; false when it cannot be opened.
    bool OpenDevice(const char* driver = "disk");
    // Releases slots and device; the output file is complete afterwards.
    void CloseDevice();
    std::string WriteWave(const std::string& name, const WaveLayout& layout);
    std::string WriteTone(const std::string& name, double seconds, double frequency = 441.0,
                          double amplitude = 16000.0);
    // Waits while the handle's voice plays (bounded, so a stuck voice fails
    // the test instead of hanging it).
    void WaitWhilePlaying(double handle);
    // Waits until the output file has grown to `bytes`.
    void WaitForOutput(int64_t bytes);

    std::string dir;
    std::string outputPath;
};

// Bytes of device output per second: 22050 frames of 2 x 16 bits.
constexpr int64_t kOutputBytesPerSecond = 22050 * 4;
