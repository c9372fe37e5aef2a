// The audio half of the layer over SDL2_mixer: the device, sounds converted to
// its format, voices that play them with per-side gains, and the music player.
#include "platform/platform.h"
#include "platform/sdl_internal.h"

#include <SDL2/SDL_mixer.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <memory>

// ---------------------------------------------------------------------------
// Types

struct PlatformSound {
    Mix_Chunk* chunk = nullptr;
    Uint8* samples = nullptr;  // owned here; the chunk only points at it
};

// Gains of one voice, read by the mixer thread while the voice plays.
struct VoiceGain {
    std::atomic<float> left{1.0f};
    std::atomic<float> right{1.0f};
};

// ---------------------------------------------------------------------------
// State

static bool audioOpen = false;
static int deviceFrequency = 0;
static int deviceChannels = 0;
static int voiceTotal = 0;
static std::unique_ptr<VoiceGain[]> voiceGains;
static Mix_Music* music = nullptr;

// A converted sound larger than this is refused rather than risking the
// whole memory on one file.
static constexpr size_t kMaxConvertedBytes = size_t(1) << 30;

// ---------------------------------------------------------------------------
// Internal helpers

// The mixer's own volumes are 0..128 steps, far too coarse for attenuations
// down to -100 dB, so each voice scales its samples itself.
static void SDLCALL ApplyVoiceGain(int, void* stream, int length, void* data) {
    const VoiceGain* gain = static_cast<const VoiceGain*>(data);
    float left = gain->left.load(std::memory_order_relaxed);
    float right = gain->right.load(std::memory_order_relaxed);
    Sint16* samples = static_cast<Sint16*>(stream);
    int count = length / (int)sizeof(Sint16);
    if (deviceChannels == 2) {
        for (int i = 0; i + 1 < count; i += 2) {
            samples[i] = (Sint16)std::lrint(samples[i] * left);
            samples[i + 1] = (Sint16)std::lrint(samples[i + 1] * right);
        }
    } else {
        float both = (left + right) * 0.5f;
        for (int i = 0; i < count; ++i) samples[i] = (Sint16)std::lrint(samples[i] * both);
    }
}

static bool VoiceUsable(int voice) { return audioOpen && voice >= 0 && voice < voiceTotal; }

static float ClampGain(float gain) { return gain > 0.0f ? std::min(gain, 1.0f) : 0.0f; }

// ---------------------------------------------------------------------------
// Device

static void IgnoreAlsaMessage(const char*, int, const char*, int, const char*, ...) {}

// ALSA writes every failed device probe to stderr (on a machine without a
// sound card, a dozen lines a run); the runtime reports a missing device
// itself by its results.
static void QuietenAlsa() {
    static bool done = false;
    if (done) return;
    done = true;
    void* library = SDL_LoadObject("libasound.so.2");  // kept loaded with the handler
    if (!library) return;
    using Handler = void (*)(const char*, int, const char*, int, const char*, ...);
    auto setHandler = reinterpret_cast<int (*)(Handler)>(SDL_LoadFunction(library, "snd_lib_error_set_handler"));
    if (setHandler) setHandler(&IgnoreAlsaMessage);
}

bool PlatformAudioOpen(int frequency, int channels, int voices) {
    if (audioOpen) return true;
    if (voices < 1 || channels < 1 || channels > 2) return false;
    QuietenAlsa();
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    Mix_Init(MIX_INIT_FLAC | MIX_INIT_MOD | MIX_INIT_MP3 | MIX_INIT_OGG | MIX_INIT_MID |
             MIX_INIT_OPUS);
    // No format changes allowed: SDL converts to the hardware, so the voices'
    // gain step always sees 16-bit samples of `channels` channels.
    if (Mix_OpenAudioDevice(frequency, AUDIO_S16SYS, channels, 1024, nullptr, 0) != 0) {
        // The audio subsystem stays up: quitting it here would wait for the
        // device-detection thread (up to 100 ms) in the middle of start-up.
        Mix_Quit();
        return false;
    }
    Uint16 format = 0;
    Mix_QuerySpec(&deviceFrequency, &format, &deviceChannels);
    voiceGains.reset(new VoiceGain[voices]);
    voiceTotal = Mix_AllocateChannels(voices);
    audioOpen = true;
    return true;
}

void PlatformAudioClose() {
    if (!audioOpen) return;
    PlatformMusicStop();
    Mix_HaltChannel(-1);
    Mix_CloseAudio();
    Mix_Quit();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    audioOpen = false;
    voiceTotal = 0;
    voiceGains.reset();
}

bool PlatformAudioIsOpen() { return audioOpen; }

// ---------------------------------------------------------------------------
// Sounds

PlatformSound* PlatformSoundCreate(const PlatformPcmFormat& format, const void* data,
                                   size_t bytes) {
    if (!audioOpen || !data) return nullptr;
    if (format.channels < 1 || format.channels > 2) return nullptr;
    if (format.bitsPerSample != 8 && format.bitsPerSample != 16) return nullptr;
    if (format.samplesPerSecond <= 0) return nullptr;
    size_t frameBytes = (size_t)format.channels * (size_t)format.bitsPerSample / 8;
    size_t frames = bytes / frameBytes;
    if (frames == 0) return nullptr;

    SDL_AudioCVT cvt;
    SDL_AudioFormat source = format.bitsPerSample == 8 ? AUDIO_U8 : AUDIO_S16LSB;
    if (SDL_BuildAudioCVT(&cvt, source, (Uint8)format.channels, format.samplesPerSecond,
                          AUDIO_S16SYS, (Uint8)deviceChannels, deviceFrequency) < 0)
        return nullptr;
    size_t length = frames * frameBytes;
    if (length > kMaxConvertedBytes / (size_t)cvt.len_mult) return nullptr;
    cvt.len = (int)length;
    cvt.buf = static_cast<Uint8*>(SDL_malloc(length * (size_t)cvt.len_mult));
    if (!cvt.buf) return nullptr;
    std::memcpy(cvt.buf, data, length);
    if (cvt.needed && SDL_ConvertAudio(&cvt) != 0) {
        SDL_free(cvt.buf);
        return nullptr;
    }
    size_t converted = cvt.needed ? (size_t)cvt.len_cvt : length;
    converted -= converted % ((size_t)deviceChannels * sizeof(Sint16));
    Mix_Chunk* chunk = converted ? Mix_QuickLoad_RAW(cvt.buf, (Uint32)converted) : nullptr;
    if (!chunk) {
        SDL_free(cvt.buf);
        return nullptr;
    }
    PlatformSound* sound = new PlatformSound;
    sound->chunk = chunk;
    sound->samples = cvt.buf;
    return sound;
}

void PlatformSoundFree(PlatformSound* sound) {
    if (!sound) return;
    // Freeing the chunk first halts every channel still playing it.
    Mix_FreeChunk(sound->chunk);
    SDL_free(sound->samples);
    delete sound;
}

// ---------------------------------------------------------------------------
// Voices

bool PlatformVoicePlay(int voice, PlatformSound* sound, float leftGain, float rightGain) {
    if (!VoiceUsable(voice) || !sound) return false;
    // Effects are dropped whenever a channel finishes, so the gain step is put
    // back for every play, on a halted channel so that nothing unscaled slips out.
    Mix_HaltChannel(voice);
    Mix_UnregisterAllEffects(voice);
    VoiceGain& gain = voiceGains[voice];
    gain.left.store(ClampGain(leftGain), std::memory_order_relaxed);
    gain.right.store(ClampGain(rightGain), std::memory_order_relaxed);
    if (!Mix_RegisterEffect(voice, ApplyVoiceGain, nullptr, &gain)) return false;
    return Mix_PlayChannel(voice, sound->chunk, 0) == voice;
}

bool PlatformVoicePlaying(int voice) { return VoiceUsable(voice) && Mix_Playing(voice) != 0; }

void PlatformVoiceStop(int voice) {
    if (VoiceUsable(voice)) Mix_HaltChannel(voice);
}

// ---------------------------------------------------------------------------
// Music

bool PlatformMusicPlay(const char* path) {
    if (!audioOpen || !path) return false;
    PlatformMusicStop();
    music = Mix_LoadMUS(path);
    if (!music) return false;
    if (Mix_PlayMusic(music, -1) != 0) {
        Mix_FreeMusic(music);
        music = nullptr;
        return false;
    }
    return true;
}

void PlatformMusicVolume(float volume) {
    if (!audioOpen) return;
    Mix_VolumeMusic((int)std::lround(ClampGain(volume) * MIX_MAX_VOLUME));
}

void PlatformMusicStop() {
    if (!music) return;
    Mix_HaltMusic();
    Mix_FreeMusic(music);
    music = nullptr;
}

bool PlatformMusicPlaying() { return audioOpen && music && Mix_PlayingMusic() != 0; }
