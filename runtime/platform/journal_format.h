// The journal file: a versioned header, then blocks that each carry their
// length and a CRC-32, each block a run of records. Writing only appends whole
// blocks, so a run cut short keeps every block written before the cut; reading
// keeps the whole blocks and says where and why it stopped. The layout is
// described in docs/journal.md. No SDL here: the fuzz target and the bench
// use this file alone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

constexpr char kJournalMagic[8] = {'R', 'e', 'V', 'e', 'v', 'J', 'n', 'l'};
// Version 2 journals the outside data a script receives and the files it
// opens; a version 1 journal is still read, and replays those live.
constexpr uint32_t kJournalVersion = 2;
constexpr uint32_t kJournalOldestVersion = 1;
constexpr size_t kJournalHeaderBytes = 12;           // magic + version
constexpr uint32_t kJournalMaxBlock = 64u << 20;     // larger lengths are damage
constexpr size_t kJournalEventInts = 8;
constexpr size_t kJournalEventText = 64;

enum class JournalRecordType : uint8_t {
    Info = 'I',    // text = key, text2 = value (the first block)
    Frame = 'F',   // a frame was shown
    Clock = 'C',   // number = counter reading minus the previous one
    Event = 'E',   // poll = fetches since the previous event's, event
    Seed = 'S',    // number = the random seed
    Data = 'D',    // number = channel, text = the bytes the run received
    File = 'R',    // text = file name, number = size (-1: missing), hash
    End = 'Z',     // number = exit code, poll = frames shown
};

// An input event as the layer took it: a small kind number, up to eight
// integers and a short text; journal_events.cpp maps them to and from SDL.
struct JournalEvent {
    uint32_t kind = 0;
    uint32_t count = 0;  // integers used
    int64_t values[kJournalEventInts] = {};
    std::string text;
};

struct JournalRecord {
    JournalRecordType type = JournalRecordType::Frame;
    uint64_t poll = 0;
    int64_t number = 0;
    uint64_t hash = 0;
    std::string text, text2;
    JournalEvent event;
};

// Encodes one record onto out.
void JournalEncode(const JournalRecord& record, std::string& out);

// A whole journal read into memory: the payload of every whole block in order.
struct JournalImage {
    uint32_t version = 0;
    std::string payload;
    size_t blocks = 0;        // whole blocks kept
    bool whole = true;        // false: the file was cut or damaged after them
    size_t damageOffset = 0;  // file offset of the first block not kept
    std::string problem;      // why reading stopped early, or why nothing was read
};
// False when the bytes are not a journal this program reads (no magic, other
// version): problem says which. True otherwise, with the whole blocks kept.
bool JournalParse(const uint8_t* data, size_t size, JournalImage& image);

// Walks the records of a payload. A record that does not decode ends the walk
// with failed set; nothing is read past the payload.
class JournalCursor {
public:
    explicit JournalCursor(const std::string* payload = nullptr) : payload(payload) {}
    // Decodes the next record without taking it; false at the end or on failure.
    bool Peek(JournalRecord& record);
    // Takes the record Peek returned (Peek first).
    void Take() { offset = peekedEnd; peeked = false; }
    bool Failed() const { return failed; }
    size_t Offset() const { return offset; }

private:
    const std::string* payload;
    size_t offset = 0, peekedEnd = 0;
    bool peeked = false, failed = false;
    JournalRecord cached;
};

// Appends records and writes them out as blocks.
class JournalWriter {
public:
    ~JournalWriter();
    // Creates the file and writes the header. False when it cannot be written.
    bool Open(const char* path);
    void Add(const JournalRecord& record);
    // Writes what is pending as one block when `force` or enough has gathered.
    void EndBlockIfDue(bool force);
    // Writes the last block and closes the file.
    void Close();
    bool IsOpen() const { return file != nullptr; }
    bool Failed() const { return failed; }
    uint64_t BytesWritten() const { return written; }

private:
    std::FILE* file = nullptr;
    std::string pending;
    int framesPending = 0;
    bool failed = false;
    uint64_t written = 0;
};

uint32_t JournalCrc32(const void* data, size_t size);
// The hash a File record carries: 64-bit FNV-1a of the file's bytes.
uint64_t JournalHash(const void* data, size_t size);
// The same hash taken piece by piece: start from kJournalHashStart.
constexpr uint64_t kJournalHashStart = 1469598103934665603ull;
uint64_t JournalHashMore(uint64_t hash, const void* data, size_t size);
