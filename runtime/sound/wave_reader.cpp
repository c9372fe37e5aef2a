// The WAV reader: the RIFF header, the format chunk, an optional fact chunk
// and the data chunk, each length checked against the bytes really there.
#include "sound/sound.h"
#include "sound/sound_internal.h"

#include <cstring>

#include "files/file_io.h"

// ---------------------------------------------------------------------------
// Internal helpers

namespace {

// Bytes of the RIFF header, the "fmt " chunk header and the first 16 format bytes.
constexpr size_t kWaveHeaderBytes = 36;
constexpr size_t kChunkHeaderBytes = 8;
constexpr size_t kFormatBodyOffset = 20;
constexpr uint32_t kMinFrequency = 100;
constexpr uint32_t kMaxFrequency = 200000;

bool IdIs(const uint8_t* at, const char* id) { return std::memcmp(at, id, 4) == 0; }

// Moves `position` past a chunk body of `size` bytes and its pad byte (RIFF
// chunks start on even offsets). False when that runs past the end.
bool SkipChunk(uint64_t& position, uint32_t size, uint64_t total) {
    uint64_t next = position + size + (size & 1u);
    if (next > total) return false;
    position = next;
    return true;
}

}  // namespace

// ---------------------------------------------------------------------------
// Public

bool ReadWaveHeader(const uint8_t* bytes, size_t available, uint64_t fileSize, WaveSound& out,
                    uint16_t* statedChannels) {
    if (!bytes || available > fileSize || available < kWaveHeaderBytes) return false;
    // The RIFF and WAVE words are not compared; the format chunk must be there.
    if (!IdIs(bytes + 12, "fmt ")) return false;
    uint32_t formatSize = ReadLe32(bytes + 16);
    if (formatSize < 16) return false;
    uint16_t fileChannels = ReadLe16(bytes + 22);
    if (statedChannels) *statedChannels = fileChannels;
    out.formatTag = ReadLe16(bytes + 20);
    out.samplesPerSecond = ReadLe32(bytes + 24);
    out.blockAlign = ReadLe16(bytes + 32);
    out.bitsPerSample = ReadLe16(bytes + 34);

    // A longer format chunk (18 bytes, or the 40 of the extensible layout) is
    // skipped by its stated size.
    uint64_t position = kFormatBodyOffset;
    if (!SkipChunk(position, formatSize, fileSize)) return false;

    if (position + kChunkHeaderBytes > available) return false;
    if (IdIs(bytes + position, "fact")) {
        uint32_t factSize = ReadLe32(bytes + position + 4);
        position += kChunkHeaderBytes;
        if (!SkipChunk(position, factSize, fileSize)) return false;
        if (position + kChunkHeaderBytes > available) return false;
    }
    if (!IdIs(bytes + position, "data")) return false;
    out.dataSize = ReadLe32(bytes + position + 4);
    out.dataOffset = (size_t)(position + kChunkHeaderBytes);
    if (out.dataSize > fileSize - out.dataOffset) return false;

    // The samples are played as PCM whatever the tag says, mono or stereo.
    out.channels = fileChannels <= 1 ? 1 : 2;
    if (out.bitsPerSample != 8 && out.bitsPerSample != 16) return false;
    if (out.blockAlign != out.channels * out.bitsPerSample / 8) return false;
    if (out.samplesPerSecond < kMinFrequency || out.samplesPerSecond > kMaxFrequency) return false;
    out.bytesPerSecond = out.samplesPerSecond * out.blockAlign;
    return out.dataSize >= out.blockAlign;
}

bool ReadWave(const uint8_t* bytes, size_t size, WaveSound& out) {
    return ReadWaveHeader(bytes, size, size, out, nullptr);
}
