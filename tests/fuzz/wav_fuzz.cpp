// Fuzz target: the WAV reader. The input is a WAV file; what the reader
// accepts must lie inside the input and have a format the device takes, and
// is then converted to the device's format as a load would.
#include <cstdint>
#include <cstdlib>

#include "core/engine.h"
#include "sound/sound.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    SoundCreate();
    SoundInitialise(nullptr);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    WaveSound wave;
    if (!ReadWave(data, size, wave)) return 0;
    if (wave.dataOffset > size || wave.dataSize > size - wave.dataOffset) std::abort();
    if (wave.channels < 1 || wave.channels > 2) std::abort();
    if (wave.blockAlign != wave.channels * wave.bitsPerSample / 8 || wave.dataSize < wave.blockAlign)
        std::abort();
    PlatformPcmFormat format;
    format.channels = wave.channels;
    format.samplesPerSecond = (int)wave.samplesPerSecond;
    format.bitsPerSample = wave.bitsPerSample;
    PlatformSoundFree(PlatformSoundCreate(format, data + wave.dataOffset, wave.dataSize));
    return 0;
}
