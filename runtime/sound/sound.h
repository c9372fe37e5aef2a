// Sound and music: the sound object with its 256 sound-buffer slots, WAV files
// loaded into slots of 1 to 4 voices and played round-robin with volume and
// pan, and one piece of music that repeats for ever.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/platform.h"
#include "strings/runtime_string.h"

// ---------------------------------------------------------------------------
// Types

constexpr int kSoundSlotCount = 256;    // slots in `engine.soundBuffers`
constexpr int kSoundCommandSlots = 128; // slots the commands reach: 0..127
constexpr int kSoundMaxVoices = 4;

// Output format of the device: 22050 Hz, 16 bits, stereo.
constexpr int kSoundDeviceFrequency = 22050;
constexpr int kSoundDeviceChannels = 2;

// The sound object (`engine.sound`): whether the device is open, and its format.
struct SoundDevice {
    bool deviceOpen = false;
    int32_t frequency = 0;
    int32_t channels = 0;
};

// One sound-buffer slot. Voice v of slot s plays on the layer's voice
// s x kSoundMaxVoices + v; all voices of a slot share the one loaded sound.
struct SoundBuffer {
    int32_t voiceCount = 0;     // voices loaded, 1..4; 0 when empty
    int32_t currentVoice = 0;   // the voice used last
    std::string fileName;       // the name the slot was loaded from
    SoundDevice* device = nullptr;
    PlatformSound* data = nullptr;
    int32_t firstVoice = 0;     // the layer's voice of voice 0
    // Volume (hundredths of a decibel, -10000..0) and pan (-10000..10000) that
    // each voice was last played with.
    int32_t volume[kSoundMaxVoices] = {0, 0, 0, 0};
    int32_t pan[kSoundMaxVoices] = {0, 0, 0, 0};
};

// A WAV file as the loader reads it: the format the sound is played in and
// where its samples lie within the file's bytes.
struct WaveSound {
    uint16_t formatTag = 0;         // as the file says; the samples count as PCM
    uint16_t channels = 0;          // 1 or 2
    uint32_t samplesPerSecond = 0;
    uint32_t bytesPerSecond = 0;    // samplesPerSecond x blockAlign
    uint16_t blockAlign = 0;
    uint16_t bitsPerSample = 0;     // 8 or 16
    size_t dataOffset = 0;
    uint32_t dataSize = 0;          // the data chunk's size, all of it present
};

// ---------------------------------------------------------------------------
// Lifecycle (start-up and shutdown call these in their fixed order)

// Creates the sound object, without a device, and the 256 empty slots.
// Does nothing for whichever already exists.
void SoundCreate();
// Opens the device: 22050 Hz, 16 bits, stereo. `window` is accepted for the
// start-up order; the device is not tied to a window. Returns 1 on success,
// 0 when there is no device or no sound object (then loads leave slots empty
// and plays return -1).
int SoundInitialise(PlatformWindow* window);
// Stops and releases every slot, last first, and frees the array;
// `engine.soundBuffers` is null afterwards. Safe when none exist.
void SoundSlotsDestroy();
// Stops the music, closes the device and deletes the sound object; `engine.sound`
// is null afterwards. Safe when none exists.
void SoundRelease();

// ---------------------------------------------------------------------------
// WAV reader

// Reads a WAV file held in `bytes`: the RIFF header, a "fmt " chunk of at least
// 16 bytes (longer ones skipped by their stated size), an optional "fact"
// chunk, then the "data" chunk, whose bytes must all be present. The format
// must be one the device takes: 1 or 2 channels (more count as 2), 8 or 16
// bits, a block alignment of channels x bits / 8, 100 to 200000 samples per
// second and at least one whole frame. False, with `out` unspecified, otherwise.
bool ReadWave(const uint8_t* bytes, size_t size, WaveSound& out);

// ---------------------------------------------------------------------------
// Sound commands

// Loads the WAV file `fileName`, resolved through the primary data archive,
// into `slot` (above 127 taken as 127; negative refused, leaving everything
// untouched) with `voices` voices (held to 1..4). Whatever the slot held is
// stopped and released first; without a device, or when the file is missing
// or malformed, the slot stays empty.
void LoadSound(const RuntimeString& fileName, double slot, double voices);
// Plays the sound of `slot` (above 127 taken as 127) once, with `pan` -1..1
// (left..right) and `volume` 0..1 (silent..full level), on the next voice
// round-robin: a slot of one voice that is still playing does not play; with
// more voices, a voice still playing is cut. Returns the handle
// slot x 256 + voice, or -1 when nothing plays.
double PlaySound(double slot, double pan, double volume);
// 1 while the voice named by `handle` plays, else 0 (also for -1 and handles
// naming no loaded voice).
double SoundPlaying(double handle);
// Stops every voice of slots 0 to 127.
void StopAllSounds();
// Reads the volume (hundredths of a decibel) and pan a loaded voice was last
// played with. False when `handle` names no loaded voice.
bool GetVoiceLevels(double handle, int32_t& volume, int32_t& pan);

// ---------------------------------------------------------------------------
// Music commands

// Stops any music, then plays the file `fileName`, resolved through the
// primary data archive, repeating for ever at full volume. Returns 1 when it
// plays; 0 when the name cannot be resolved, there is no device, or the file
// cannot be played.
double PlayMusic(const RuntimeString& fileName);
// Sets the music volume to `volume` x 1000 truncated, held to 0 (silent) ..
// 1000 (full).
void MusicVolume(double volume);
// Stops and forgets the music. Safe when none plays.
void StopMusic();

// ---------------------------------------------------------------------------
// Video (video.cpp)

// Where a picture goes in the client area: scaled by the smaller of the two
// ratios of client to source size, rounded, and centred. All 0 for a size of
// 0 or less.
struct VideoFit {
    int x = 0, y = 0, width = 0, height = 0;
};
VideoFit FitVideo(int sourceWidth, int sourceHeight, int clientWidth, int clientHeight);
// Plays the video `fileName`, resolved through the primary data archive, in
// the game window, fitted by FitVideo over black, its sound track through the
// device when there is one. Blocks: first until no character key is newly
// pressed and no mouse button is down, then until the end (with `loop` not
// 0.0, from the start again, for ever) or a newly pressed character key or a
// mouse button; messages are dispatched meanwhile. The frame the script was
// drawing is shown again afterwards, and the GL state is as before.
// Returns 0.0 after playing; 3.0 when the name cannot be resolved, the file
// cannot be opened, has no video stream the installed decoders take, or a
// picture of size 0 or above 16384 a side or 2^26 pixels, or there is no window.
double PlayVideo(const RuntimeString& fileName, double loop);
// Shutdown's video step: ends a video that is playing (the program ended
// from inside its message dispatch). Safe when none plays.
void StopVideo();
// What the last PlayVideo did, for tests and the bench.
struct VideoPlayback {
    int width = 0, height = 0;   // the picture's size
    bool sound = false;          // its sound track went to the device
    int shown = 0;               // pictures drawn
    int dropped = 0;             // pictures skipped behind the clock
    int loops = 0;               // restarts from the beginning
    double lastPictureTime = 0;  // seconds of the last picture drawn
    double endClock = 0;         // the play clock, in seconds, when it ended
};
VideoPlayback LastVideoPlayback();
// Test hook: called with each picture drawn in the back buffer, just before
// it is shown; null for none.
void SetVideoFrameHook(void (*hook)());
