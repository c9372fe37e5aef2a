// Shared between the files of the sound subsystem only.
#pragma once

#include <cstdint>
#include <string>

#include "sound/sound.h"

// Stops and releases every voice of the slot and leaves it empty, its device
// forgotten.
void ReleaseSlot(SoundBuffer& slot);

// Where the loaders find `fileName`: its name resolved through the primary
// data archive. When the lookup fails, what it leaves (empty, or the name
// itself when the archive is switched off) is returned all the same.
std::string ResolveSoundFile(const RuntimeString& fileName, bool& found);

// Linear gains of the left and right output for a volume in hundredths of a
// decibel (-10000..0) and a pan (-10000 left .. 10000 right): the side away
// from the pan is attenuated by the pan's amount, and -10000 or less is silence.
void DecibelGains(int32_t volume, int32_t pan, float& left, float& right);

// ReadWave's rules on the first `available` bytes of a file of `fileSize`
// bytes (the chunk headers must lie within those bytes; the data chunk only
// within the file), so a long file can be judged by its start.
// `statedChannels`, when not null, gets the channel count the file itself
// states (ReadWave plays 0 as 1 and more than 2 as 2).
bool ReadWaveHeader(const uint8_t* bytes, size_t available, uint64_t fileSize, WaveSound& out,
                    uint16_t* statedChannels);
