// The journal of a run: everything from outside that can differ between two
// runs (input events, clock readings, random seeds, outside data a script
// receives, the files it read), written while recording and handed back in
// place of the live sources while replaying. The layer's event fetches and the
// core's clock and seed go through it; the format is in journal_format.h and
// docs/journal.md. Only the main thread is journaled: other threads read live.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

enum class JournalMode { Off, Record, Replay };

// ---------------------------------------------------------------------------
// Life of the journal

// Creates the journal file and writes its header block with the info pairs.
// False, with the reason in error, when the file cannot be written.
bool JournalStartRecording(const char* path, const std::vector<std::pair<std::string, std::string>>& info,
                           std::string& error);
struct JournalReplaySettings {
    double speed = 1.0;    // 1: as recorded; 0: no pacing at all
    long untilFrame = 0;   // stop after this frame; 0: at the recording's end
};
// Reads the journal for a replay. False, with the reason in error, when it is
// not a journal or one of another version. A damaged or cut journal is taken
// up to its last whole block, with a warning on stderr.
bool JournalStartReplay(const char* path, const JournalReplaySettings& settings, std::string& error);
JournalMode JournalCurrentMode();
// A header value of the journal being replayed; empty when it has none.
std::string JournalInfo(const std::string& key);
// Called when a replay can go no further (the journal ends early, or the run
// asks for something the recording did not): ends the program. Without one
// the journal falls back to the live sources.
void JournalSetEndHandler(void (*end)());
// Ends the journal: a recording writes its end record and last block. Returns
// the exit code the program should end with: `exitCode`, or 3 when a replay
// ended short of the recording's end (the reason was said on stderr).
int JournalFinish(int exitCode);
// The same from the end-on-signal watchdog's thread, while the main thread
// may be anywhere: a recording writes its end record and last block.
int JournalFinishFromWatchdog(int exitCode);

// ---------------------------------------------------------------------------
// Readings

// The counter's frequency and one counter reading: recorded, or the
// recording's in place of `live`.
uint64_t JournalCounterFrequency(uint64_t live);
uint64_t JournalCounter(uint64_t live);
uint32_t JournalSeed(uint32_t live);

// Outside data a script receives, by channel. Recording keeps `bytes`;
// replaying replaces them with what the recording received and returns false
// when the journal holds nothing of that channel here (the replay then ends).
enum class JournalChannel : int {
    JoystickCount = 1,
    JoystickRead = 2,
    JoystickName = 3,
    Network = 4,
    Http = 5,
    Dialog = 6,
    Program = 7,
    JoystickOpen = 8,
    JoystickForce = 9,
    // No data: a signal the message pump did not take ended the recording here.
    OutsideEnd = 10,
    // No data: the recording ended inside a pass of the script, after the
    // last frame shown, so the replay runs that pass before it ends.
    ScriptEnd = 11,
};
bool JournalData(JournalChannel channel, std::string& bytes);
// The application runs a pass of the script (true) or has come back from it:
// an end inside the pass is told apart from one at a frame's end.
void JournalScriptPass(bool running);

// The bytes of one piece of outside data: integers (zigzag varints) and texts
// (a varint length, then the bytes), read back in the order they were put.
class JournalBytes {
public:
    JournalBytes() = default;
    explicit JournalBytes(std::string bytes) : bytes(std::move(bytes)) {}
    JournalBytes& Int(int64_t value);
    JournalBytes& Text(const std::string& text);
    const std::string& Bytes() const { return bytes; }
    std::string& Bytes() { return bytes; }
    // Reading: 0 or the empty text past the end or on bytes that do not
    // decode, and Failed() from then on.
    int64_t TakeInt();
    std::string TakeText();
    bool Failed() const { return failed; }
    bool AtEnd() const { return at >= bytes.size(); }

private:
    std::string bytes;
    size_t at = 0;
    bool failed = false;
};
// Replaying: takes the channel's next piece into `bytes` (false when the
// journal holds none here: the replay has ended). Recording: keeps `bytes`.
// Otherwise does nothing. The pattern of every source:
//   if (JournalReplaying()) { take and decode; return the recorded answer; }
//   live work, inside a JournalQuiet; if (JournalRecording()) keep it.
bool JournalData(JournalChannel channel, JournalBytes& bytes);
// The two halves of that pattern. JournalReplayed: false when not replaying;
// else true with the channel's recorded piece in `bytes` (empty when the
// replay has ended). JournalKeep: a recording keeps `bytes`.
bool JournalReplayed(JournalChannel channel, JournalBytes& bytes);
void JournalKeep(JournalChannel channel, JournalBytes& bytes);
// Replaying: the recorded piece did not decode as its source wrote it; says
// so and ends the replay (exit code 3).
void JournalDataUnreadable();
// Doubles travel as their bits.
inline int64_t JournalDoubleBits(double value) {
    int64_t bits;
    static_assert(sizeof bits == sizeof value, "a double is 64 bits");
    __builtin_memcpy(&bits, &value, sizeof bits);
    return bits;
}
inline double JournalBitsDouble(int64_t bits) {
    double value;
    __builtin_memcpy(&value, &bits, sizeof value);
    return value;
}
// Whether the journal is recording or replaying this thread's readings (a
// caller that replays a whole result skips its live work when replaying).
bool JournalRecording();
bool JournalReplaying();

// While a result is journaled whole, the readings its live work makes are not.
struct JournalQuiet {
    JournalQuiet();
    ~JournalQuiet();
    JournalQuiet(const JournalQuiet&) = delete;
    JournalQuiet& operator=(const JournalQuiet&) = delete;
};

// A file the run read: its name, size and hash go into the journal; a replay
// warns once per name when the file it reads differs. Null data: missing.
void JournalFileRead(const std::string& name, const void* data, size_t size);
// The same for a file opened for reading: its size and hash are taken from
// the open descriptor without moving it, hashed once per name, size and
// modification time in a run. Missing: fd < 0.
void JournalFileOpened(const char* name, int fd);

// ---------------------------------------------------------------------------
// Frames

// While held, every event fetch belongs to one point of the run: the wait for
// the next frame, whose number of fetches depends on timing alone.
void JournalHoldFetches(bool held);
enum class JournalFrameStep { Go, End, Hold };
// A frame was shown. Recording marks it; replaying checks it and says whether
// to go on, end (the recording ended here, or --replay-until with a picture
// to save) or hold the window (--replay-until).
JournalFrameStep JournalFrameEnd();
// Replaying: waits until the frame is due at the replay's speed.
void JournalPace();
long JournalFramesShown();
// Holding: shows the window and takes live events until it is closed, ESC is
// pressed or the program is asked to end.
void JournalWaitWhileHeld();
