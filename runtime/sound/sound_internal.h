// Shared between the files of the sound subsystem only.
#pragma once

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
