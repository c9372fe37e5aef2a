// Music: one file at a time, streamed by the device's music player and
// repeated for ever, with its volume and stop.
#include "sound/sound.h"
#include "sound/sound_internal.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/engine.h"
#include "files/file_io.h"
#include "strings/script_numbers.h"

// ---------------------------------------------------------------------------
// Internal helpers

namespace {

// The chunks before the samples fit in this many bytes in any file the WAV
// reader takes; the rest of a long piece need not be read to judge it.
constexpr size_t kWaveHeadBytes = 4096;

bool NamedAsWave(const std::string& path) {
    size_t length = path.size();
    return length >= 4 && EqualNoCase(path.c_str() + length - 4, ".wav");
}

// The music player divides by the figures of a WAV file's format without
// checking them (a file stating 0 channels ends the program), so a file it
// would take as WAV, by its name or by its RIFF WAVE words, must pass the
// WAV reader's rules first and state the channel count the reader plays.
bool MusicFileIsSafe(const std::string& path) {
    FILE* file = OpenForReading(path.c_str());
    if (!file) {
        NoteLoadFailure("cannot be opened");
        return false;
    }
    const int64_t length = FileLength(file);
    uint8_t head[kWaveHeadBytes];
    const size_t available = length > 0 ? (size_t)std::min<int64_t>(length, (int64_t)kWaveHeadBytes) : 0;
    const bool read = available > 0 && ReadExact(file, head, available);
    std::fclose(file);
    if (!read) {
        NoteLoadFailure(length == 0 ? "empty file" : "cannot be read");
        return false;
    }
    const bool riffWave =
        available >= 12 && std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "WAVE", 4) == 0;
    if (!riffWave && !NamedAsWave(path)) return true;
    WaveSound wave;
    uint16_t statedChannels = 0;
    if (ReadWaveHeader(head, available, (uint64_t)length, wave, &statedChannels) && statedChannels == wave.channels)
        return true;
    NoteLoadFailure("a WAV of a kind this program does not read, or damaged");
    return false;
}

}  // namespace

// ---------------------------------------------------------------------------
// Public

double PlayMusic(const RuntimeString& fileName) {
    StopMusic();
    BeginLoad();
    bool found = false;
    std::string path = ResolveSoundFile(fileName, found);
    if (!found) NoteLoadFailure("no such file");
    else if (!engine.sound || !engine.sound->deviceOpen) NoteLoadFailure("no sound device");
    // The player keeps the file open while it streams, so an archive entry's
    // temporary file may be deleted by the next lookup without cutting it off.
    // It repeats the piece by itself; no watcher is needed to restart it.
    else if (MusicFileIsSafe(path) && PlatformMusicPlay(path.c_str())) {
        PlatformMusicVolume(1.0f);
        return 1;
    }
    // The player says nothing of why it refused a file; its kind is the
    // likeliest reason.
    NoteLoadFailure("not music this program plays");
    ReportLoadFailure(fileName.Text());
    return 0;
}

void MusicVolume(double volume) {
    int32_t level = TruncateToInt(volume * 1000.0);
    level = level < 0 ? 0 : level > 1000 ? 1000 : level;
    PlatformMusicVolume((float)level / 1000.0f);
}

void StopMusic() { PlatformMusicStop(); }
