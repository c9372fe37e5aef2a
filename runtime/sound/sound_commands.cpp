// The sound commands: loading WAV files into slots, playing them round-robin
// on the slot's voices with volume and pan, and asking or stopping voices.
#include "sound/sound.h"
#include "sound/sound_internal.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "core/engine.h"
#include "files/archive.h"
#include "files/file_io.h"
#include "strings/script_numbers.h"

// ---------------------------------------------------------------------------
// Internal helpers

namespace {

// The largest file read for a sound: the biggest sound buffer the device
// takes (0x0FFFFFFF bytes) plus room for the headers.
constexpr int64_t kMaxWaveFileBytes = 0x0FFFFFFF + 4096;

int ClampInt(int value, int low, int high) { return value < low ? low : value > high ? high : value; }

// Slot number of a command: above 127 taken as 127; -1 when negative.
int CommandSlot(double slot) {
    int number = TruncateToInt(slot);
    if (number < 0) return -1;
    return number > kSoundCommandSlots - 1 ? kSoundCommandSlots - 1 : number;
}

bool ReadWholeFile(const char* path, std::vector<uint8_t>& bytes) {
    FILE* file = OpenForReading(path);
    if (!file) {
        NoteLoadFailure("cannot be opened");
        return false;
    }
    int64_t length = FileLength(file);
    bool ok = length > 0;
    if (!ok) NoteLoadFailure("empty file");
    if (ok) {
        // Past the cap the data chunk cannot be complete, which the reader
        // then refuses as a short file.
        bytes.resize((size_t)(length < kMaxWaveFileBytes ? length : kMaxWaveFileBytes));
        ok = ReadExact(file, bytes.data(), bytes.size());
    }
    std::fclose(file);
    return ok;
}

// Loads the wave file at `path` into a sound of the device's format. Null
// when the file is unreadable or malformed or the device refuses it.
PlatformSound* LoadWaveFile(const char* path, bool& deviceRefused) {
    deviceRefused = false;
    std::vector<uint8_t> bytes;
    WaveSound wave;
    if (!ReadWholeFile(path, bytes)) return nullptr;
    if (!ReadWave(bytes.data(), bytes.size(), wave)) {
        const bool riffWave = bytes.size() >= 12 && std::memcmp(bytes.data(), "RIFF", 4) == 0 &&
                              std::memcmp(bytes.data() + 8, "WAVE", 4) == 0;
        NoteLoadFailure(riffWave ? "a WAV of a kind this program does not read, or damaged" : "not a WAV file");
        return nullptr;
    }
    PlatformPcmFormat format;
    format.channels = wave.channels;
    format.samplesPerSecond = (int)wave.samplesPerSecond;
    format.bitsPerSample = wave.bitsPerSample;
    PlatformSound* sound = PlatformSoundCreate(format, bytes.data() + wave.dataOffset, wave.dataSize);
    deviceRefused = sound == nullptr;
    if (deviceRefused) NoteLoadFailure("the sound device refused it");
    return sound;
}

// The voice to play next, or -1. The voice used last is taken again when it
// has finished; otherwise the next one in turn, cut if it still plays. A slot
// of one voice never cuts itself.
int ChooseVoice(SoundBuffer& slot) {
    if (!PlatformVoicePlaying(slot.firstVoice + slot.currentVoice)) return slot.currentVoice;
    if (slot.voiceCount == 1) return -1;
    slot.currentVoice = (slot.currentVoice + 1) % slot.voiceCount;
    int voice = slot.firstVoice + slot.currentVoice;
    if (PlatformVoicePlaying(voice)) PlatformVoiceStop(voice);
    return slot.currentVoice;
}

// The loaded slot and voice a handle names, or false.
bool HandleVoice(double handle, SoundBuffer*& slot, int& voice) {
    int number = TruncateToInt(handle);
    if (number < 0 || !engine.soundBuffers) return false;
    int slotNumber = number / 256;
    voice = number % 256;
    // Handles are made only for slots 0..127; anything past them names nothing.
    if (slotNumber >= kSoundCommandSlots) return false;
    slot = &engine.soundBuffers[slotNumber];
    return voice < slot->voiceCount && slot->data;
}

float DecibelGain(int32_t hundredths) {
    if (hundredths <= -10000) return 0.0f;
    return (float)std::pow(10.0, hundredths / 2000.0);
}

}  // namespace

// ---------------------------------------------------------------------------
// Shared within the subsystem

void ReleaseSlot(SoundBuffer& slot) {
    for (int voice = 0; voice < kSoundMaxVoices; ++voice) PlatformVoiceStop(slot.firstVoice + voice);
    PlatformSoundFree(slot.data);
    slot.data = nullptr;
    slot.voiceCount = 0;
    slot.currentVoice = 0;
    slot.fileName.clear();
    slot.device = nullptr;
}

std::string ResolveSoundFile(const RuntimeString& fileName, bool& found) {
    char path[kDataPathMax + 1] = {0};
    // A name too long for the lookup is not cut down to another name.
    if (fileName.Length() <= (uint32_t)kDataPathMax) std::memcpy(path, fileName.Text(), fileName.Length() + 1);
    found = ResolveDataFile(engine.dataArchives, path, path) != 0;
    return path;
}

void DecibelGains(int32_t volume, int32_t pan, float& left, float& right) {
    left = DecibelGain(volume - (pan > 0 ? pan : 0));
    right = DecibelGain(volume - (pan < 0 ? -pan : 0));
}

// ---------------------------------------------------------------------------
// Public

void LoadSound(const RuntimeString& fileName, double slotNumber, double voices) {
    int number = CommandSlot(slotNumber);
    if (number < 0 || !engine.soundBuffers) return;
    BeginLoad();
    // The name the lookup leaves is loaded whether or not the lookup found it.
    bool found = false;
    std::string path = ResolveSoundFile(fileName, found);
    if (!found) NoteLoadFailure("no such file");

    SoundBuffer& slot = engine.soundBuffers[number];
    ReleaseSlot(slot);
    slot.device = engine.sound;
    int count = ClampInt(TruncateToInt(voices), 1, kSoundMaxVoices);
    if (!slot.device || !slot.device->deviceOpen) {
        NoteLoadFailure("no sound device");
        ReportLoadFailure(fileName.Text());
        return;
    }

    bool deviceRefused = false;
    slot.data = LoadWaveFile(path.c_str(), deviceRefused);
    if (!slot.data) {
        ReportLoadFailure(fileName.Text());
        // A failed load leaves the slot empty, so no play reaches a voice that
        // holds nothing.
        if (deviceRefused) slot.device = nullptr;
        return;
    }
    slot.voiceCount = count;
    slot.fileName = path;
}

double PlaySound(double slotNumber, double pan, double volume) {
    int number = CommandSlot(slotNumber);
    if (number < 0 || !engine.soundBuffers) return -1;
    SoundBuffer& slot = engine.soundBuffers[number];
    if (!slot.device || slot.voiceCount < 1 || !slot.data) return -1;

    // A pan that is not a number is centred; such a volume is silent.
    double panUnits = pan < -1.0 ? -1.0 : pan > 1.0 ? 1.0 : pan;
    double level = volume * 100.0;
    level = !(level > 0.0) ? 0.0 : level > 100.0 ? 100.0 : level;
    int32_t panValue = TruncateToInt(panUnits * 10000.0);
    int32_t volumeValue = TruncateToInt(100.0 * level - 10000.0);

    int voice = ChooseVoice(slot);
    if (voice < 0) return -1;
    slot.volume[voice] = volumeValue;
    slot.pan[voice] = panValue;
    float left = 0, right = 0;
    DecibelGains(volumeValue, panValue, left, right);
    if (!PlatformVoicePlay(slot.firstVoice + voice, slot.data, left, right)) return -1;
    return voice + 256.0 * number;
}

double SoundPlaying(double handle) {
    SoundBuffer* slot = nullptr;
    int voice = 0;
    if (!HandleVoice(handle, slot, voice)) return 0;
    return PlatformVoicePlaying(slot->firstVoice + voice) ? 1 : 0;
}

void StopAllSounds() {
    if (!engine.soundBuffers) return;
    for (int number = 0; number < kSoundCommandSlots; ++number) {
        SoundBuffer& slot = engine.soundBuffers[number];
        for (int voice = 0; voice < slot.voiceCount; ++voice) PlatformVoiceStop(slot.firstVoice + voice);
    }
}

bool GetVoiceLevels(double handle, int32_t& volume, int32_t& pan) {
    SoundBuffer* slot = nullptr;
    int voice = 0;
    if (!HandleVoice(handle, slot, voice)) return false;
    volume = slot->volume[voice];
    pan = slot->pan[voice];
    return true;
}
