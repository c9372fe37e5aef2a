// The sound object and the 256 sound-buffer slots: created at start-up, the
// device opened on the window, and both released at shutdown.
#include "sound/sound.h"
#include "sound/sound_internal.h"

#include "core/engine.h"

// ---------------------------------------------------------------------------
// Public

void SoundCreate() {
    if (!engine.sound) engine.sound = new SoundDevice();
    if (!engine.soundBuffers) {
        engine.soundBuffers = new SoundBuffer[kSoundSlotCount];
        for (int slot = 0; slot < kSoundSlotCount; ++slot)
            engine.soundBuffers[slot].firstVoice = slot * kSoundMaxVoices;
    }
}

int SoundInitialise(PlatformWindow*) {
    SoundDevice* device = engine.sound;
    if (!device) return 0;
    if (device->deviceOpen) return 1;
    if (!PlatformAudioOpen(kSoundDeviceFrequency, kSoundDeviceChannels,
                           kSoundSlotCount * kSoundMaxVoices))
        return 0;
    device->deviceOpen = true;
    device->frequency = kSoundDeviceFrequency;
    device->channels = kSoundDeviceChannels;
    return 1;
}

void SoundSlotsDestroy() {
    if (!engine.soundBuffers) return;
    for (int slot = kSoundSlotCount - 1; slot >= 0; --slot) ReleaseSlot(engine.soundBuffers[slot]);
    delete[] engine.soundBuffers;
    engine.soundBuffers = nullptr;
}

void SoundRelease() {
    // The music plays on the same device, so it cannot outlive it.
    StopMusic();
    if (!engine.sound) return;
    if (engine.sound->deviceOpen) PlatformAudioClose();
    delete engine.sound;
    engine.sound = nullptr;
}
