// The audio stream: PCM queued by the program (a video's sound track) and
// added to the device's output after the voices and the music are mixed.
// Its clock is the count of frames the device has taken.
#include "platform/platform.h"
#include "platform/sdl_internal.h"

#include <SDL2/SDL_mixer.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <mutex>

// ---------------------------------------------------------------------------
// State

namespace {

struct AudioStream {
    std::mutex lock;
    std::deque<int16_t> samples;  // interleaved, in the device's channel count
    uint64_t framesPlayed = 0;
    uint64_t tickAtLastMix = 0;   // counter reading of the last mix, for the clock
    bool open = false;
};

AudioStream stream;
int streamChannels = 0;
int streamFrequency = 0;

// ---------------------------------------------------------------------------
// Internal helpers

void SDLCALL MixStream(void*, Uint8* bytes, int length) {
    std::lock_guard<std::mutex> guard(stream.lock);
    if (!stream.open || streamChannels <= 0) return;
    Sint16* out = reinterpret_cast<Sint16*>(bytes);
    size_t count = (size_t)length / sizeof(Sint16);
    size_t take = std::min(count, stream.samples.size());
    take -= take % (size_t)streamChannels;
    for (size_t i = 0; i < take; ++i) {
        int sum = (int)out[i] + (int)stream.samples[i];
        out[i] = (Sint16)std::clamp(sum, -32768, 32767);
    }
    stream.samples.erase(stream.samples.begin(), stream.samples.begin() + (std::ptrdiff_t)take);
    stream.framesPlayed += take / (size_t)streamChannels;
    stream.tickAtLastMix = SDL_GetPerformanceCounter();
}

}  // namespace

// ---------------------------------------------------------------------------
// Public

bool PlatformAudioStreamOpen(int& frequency, int& channels) {
    frequency = 0;
    channels = 0;
    if (!PlatformAudioIsOpen()) return false;
    Uint16 format = 0;
    int freq = 0, chans = 0;
    if (Mix_QuerySpec(&freq, &format, &chans) == 0 || format != AUDIO_S16SYS) return false;
    if (chans < 1 || chans > 2 || freq <= 0) return false;
    {
        std::lock_guard<std::mutex> guard(stream.lock);
        stream.samples.clear();
        stream.framesPlayed = 0;
        stream.tickAtLastMix = 0;
        stream.open = true;
        streamChannels = chans;
        streamFrequency = freq;
    }
    Mix_SetPostMix(MixStream, nullptr);
    frequency = freq;
    channels = chans;
    return true;
}

void PlatformAudioStreamClose() {
    if (!stream.open) return;
    Mix_SetPostMix(nullptr, nullptr);
    std::lock_guard<std::mutex> guard(stream.lock);
    stream.open = false;
    stream.samples.clear();
    stream.samples.shrink_to_fit();
}

void PlatformAudioStreamQueue(const int16_t* samples, size_t frames) {
    std::lock_guard<std::mutex> guard(stream.lock);
    if (!stream.open || !samples) return;
    stream.samples.insert(stream.samples.end(), samples, samples + frames * (size_t)streamChannels);
}

void PlatformAudioStreamClear() {
    std::lock_guard<std::mutex> guard(stream.lock);
    stream.samples.clear();
    stream.framesPlayed = 0;
    stream.tickAtLastMix = 0;
}

size_t PlatformAudioStreamQueuedFrames() {
    std::lock_guard<std::mutex> guard(stream.lock);
    return streamChannels > 0 ? stream.samples.size() / (size_t)streamChannels : 0;
}

double PlatformAudioStreamSeconds() {
    std::lock_guard<std::mutex> guard(stream.lock);
    if (!stream.open || streamFrequency <= 0) return 0;
    double seconds = (double)stream.framesPlayed / streamFrequency;
    // The device takes a whole buffer at a time; between mixes the clock goes
    // on with the wall clock, but never past what is queued.
    if (stream.tickAtLastMix != 0 && !stream.samples.empty()) {
        double since = (double)(SDL_GetPerformanceCounter() - stream.tickAtLastMix) /
                       (double)SDL_GetPerformanceFrequency();
        double queued = (double)(stream.samples.size() / (size_t)streamChannels) / streamFrequency;
        seconds += std::min(since, std::min(queued, 0.1));
    }
    return seconds;
}
