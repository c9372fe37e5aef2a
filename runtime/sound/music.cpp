// Music: one file at a time, streamed by the device's music player and
// repeated for ever, with its volume and stop.
#include "sound/sound.h"
#include "sound/sound_internal.h"

#include "core/engine.h"

// ---------------------------------------------------------------------------
// Public

double PlayMusic(const RuntimeString& fileName) {
    StopMusic();
    bool found = false;
    std::string path = ResolveSoundFile(fileName, found);
    if (!found || !engine.sound || !engine.sound->deviceOpen) return 0;
    // The player keeps the file open while it streams, so an archive entry's
    // temporary file may be deleted by the next lookup without cutting it off.
    // It repeats the piece by itself; no watcher is needed to restart it.
    if (!PlatformMusicPlay(path.c_str())) return 0;
    PlatformMusicVolume(1.0f);
    return 1;
}

void MusicVolume(double volume) {
    int32_t level = TruncateToInt(volume * 1000.0);
    level = level < 0 ? 0 : level > 1000 ? 1000 : level;
    PlatformMusicVolume((float)level / 1000.0f);
}

void StopMusic() { PlatformMusicStop(); }
