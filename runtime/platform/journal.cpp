// The journal's process-wide state: the writer of a recording, or the image
// and cursor of a replay, and the readings that go through them in the order
// the run makes them.
#include "platform/journal_internal.h"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "platform/platform.h"

// ---------------------------------------------------------------------------
// State

static JournalMode mode = JournalMode::Off;
static std::thread::id mainThread;
static int quietDepth = 0;
static void (*endHandler)() = nullptr;

static JournalWriter writer;
static std::string recordPath;
// The watchdog may end a recording from its own thread.
static std::mutex writerLock;

static JournalImage image;
static JournalCursor cursor;
static std::map<std::string, std::string> info;
static JournalReplaySettings settings;
static std::atomic<bool> replayComplete{false};  // the recording's end was reached
static bool inScriptPass = false;                 // the application runs the script
static std::atomic<bool> replayStopped{false};   // the replay could go no further
static std::atomic<int64_t> recordedExitCode{0};
static uint64_t recordedFrequency = 0;
static std::set<std::string> filesWarned;
// False for a replayed journal of version 1, which kept no outside data and
// no file opens: those are then live.
static bool dataJournaled = true;

// Files hashed in this run, by name: the size and modification time the hash
// was taken at.
struct HashedFile {
    int64_t size = -1;
    int64_t modified = 0;
    uint64_t hash = 0;
};
static std::map<std::string, HashedFile> hashedFiles;

static uint64_t lastCounter = 0;
static uint64_t firstCounter = 0;
static bool counterSeen = false;
static uint64_t fetchCount = 0, currentFetch = 0, lastEventFetch = 0;
static bool fetchesHeld = false;
// Counted as --frames counts them: the frame start-up shows is frame 0.
static long framesShown = -1;
static uint64_t paceStart = 0;

// ---------------------------------------------------------------------------
// Internal helpers

static bool Active() {
    return mode != JournalMode::Off && quietDepth == 0 && std::this_thread::get_id() == mainThread;
}

static const char* TypeName(JournalRecordType type) {
    switch (type) {
    case JournalRecordType::Info: return "header";
    case JournalRecordType::Frame: return "end of frame";
    case JournalRecordType::Clock: return "clock reading";
    case JournalRecordType::Event: return "input event";
    case JournalRecordType::Seed: return "random seed";
    case JournalRecordType::Data: return "outside data";
    case JournalRecordType::File: return "file read";
    case JournalRecordType::End: return "end of the run";
    }
    return "record";
}

// Why the cursor has nothing more to give.
static std::string RunOutReason() {
    if (cursor.Failed()) return "the journal holds a record that does not decode";
    if (!image.whole) return "the journal was cut or damaged here (" + image.problem + ")";
    return "the journal stops here without the end of the run";
}

// The replay can go no further: say so once and end, or fall back to the
// live sources when nothing can end the program.
static void StopReplay(const std::string& why) {
    if (replayStopped) return;
    replayStopped = true;
    std::fprintf(stderr, "revev: replay stopped at frame %ld: %s\n", framesShown + 1, why.c_str());
    std::fflush(stderr);
    mode = JournalMode::Off;
    if (endHandler) endHandler();
}

// The recording ended here, between two frames (an end command, a signal
// that ended a wait, the watchdog): so does the replay, with its exit code.
static void EndAsRecorded(const JournalRecord& end) {
    recordedExitCode = end.number;
    replayComplete = true;
    mode = JournalMode::Off;
    if (endHandler) endHandler();
}

// Whether the next record is the mark of `channel`: a data record that
// carries no bytes, only where it stands.
static bool NextIsMark(JournalChannel channel) {
    JournalRecord record;
    return cursor.Peek(record) && record.type == JournalRecordType::Data && record.number == (int64_t)channel;
}

// A signal ended the recording outside the message pump (the watchdog, a
// wait, a binding's entry, the interpreter's hook): the replay, having made
// the same readings, is sent the same signal here and ends as the recording
// did. What comes next is then the end record.
static void NoteOutsideEnd() {
    if (!NextIsMark(JournalChannel::OutsideEnd)) return;
    cursor.Take();
    JournalRecord record;
    if (cursor.Peek(record) && record.type == JournalRecordType::End) recordedExitCode = record.number;
    replayComplete = true;
    mode = JournalMode::Off;
    std::raise(SIGTERM);
}

// The recording ended inside this pass of the script: the mark is taken and
// the end record comes next.
static void TakeScriptEnd() {
    if (NextIsMark(JournalChannel::ScriptEnd)) cursor.Take();
}

// Takes the next record, which must be of `type`; false (the replay stopped)
// when it is not.
static bool Expect(JournalRecordType type, JournalRecord& record, const char* what) {
    TakeScriptEnd();
    if (cursor.Peek(record) && record.type == JournalRecordType::End && type != JournalRecordType::End) {
        EndAsRecorded(record);
        return false;
    }
    if (!cursor.Peek(record)) {
        StopReplay(std::string("the run asked for a ") + what + " and " + RunOutReason());
        return false;
    }
    if (record.type != type) {
        StopReplay(std::string("the run asked for a ") + what + " where the recording had a " +
                   TypeName(record.type) + " (the run no longer matches the journal)");
        return false;
    }
    cursor.Take();
    NoteOutsideEnd();
    return true;
}

static void Add(const JournalRecord& record) {
    std::lock_guard<std::mutex> hold(writerLock);
    writer.Add(record);
    if (writer.Failed() && writer.IsOpen()) {
        std::fprintf(stderr, "revev: cannot write the journal %s; recording stops here\n", recordPath.c_str());
        writer.Close();
        mode = JournalMode::Off;
    }
}

static bool ReadFile(const char* path, std::string& bytes) {
    std::FILE* file = std::fopen(path, "rb");
    if (!file) return false;
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, n);
    bool ok = !std::ferror(file);
    std::fclose(file);
    return ok;
}

// ---------------------------------------------------------------------------
// Public (layer-internal)

void JournalFetchBegin() {
    currentFetch = fetchCount;
    if (!fetchesHeld) ++fetchCount;
}

bool JournalEventsActive() { return Active(); }

void JournalRecordEvent(const JournalEvent& event) {
    JournalRecord record;
    record.type = JournalRecordType::Event;
    record.poll = currentFetch - lastEventFetch;
    record.event = event;
    lastEventFetch = currentFetch;
    Add(record);
}

bool JournalReplayEvent(JournalEvent& event) {
    JournalRecord record;
    if (!cursor.Peek(record) || record.type != JournalRecordType::Event) return false;
    uint64_t at = lastEventFetch + record.poll;
    if (at > currentFetch) return false;
    if (at < currentFetch) {
        StopReplay("an input event of the recording was not taken where it was (the run no longer matches the journal)");
        return false;
    }
    cursor.Take();
    lastEventFetch = at;
    event = record.event;
    NoteOutsideEnd();
    return true;
}

// ---------------------------------------------------------------------------
// Public: life of the journal

bool JournalStartRecording(const char* path, const std::vector<std::pair<std::string, std::string>>& pairs,
                           std::string& error) {
    if (!writer.Open(path)) {
        error = std::string("cannot write the journal ") + path;
        return false;
    }
    recordPath = path;
    mode = JournalMode::Record;
    mainThread = std::this_thread::get_id();
    JournalRecord record;
    record.type = JournalRecordType::Info;
    record.text = "counter-frequency";
    record.text2 = std::to_string(PlatformCounterFrequency());
    Add(record);
    for (const auto& pair : pairs) {
        record.text = pair.first;
        record.text2 = pair.second;
        Add(record);
    }
    writer.EndBlockIfDue(true);
    return true;
}

bool JournalStartReplay(const char* path, const JournalReplaySettings& wanted, std::string& error) {
    std::string bytes;
    if (!ReadFile(path, bytes)) {
        error = std::string("cannot read the journal ") + path;
        return false;
    }
    if (!JournalParse((const uint8_t*)bytes.data(), bytes.size(), image)) {
        error = std::string(path) + ": " + image.problem;
        return false;
    }
    if (!image.whole) {
        std::fprintf(stderr, "revev: the journal %s is %s at byte %zu; replaying the %zu whole block%s before it\n",
                     path, image.problem.c_str(), image.damageOffset, image.blocks, image.blocks == 1 ? "" : "s");
    }
    cursor = JournalCursor(&image.payload);
    JournalRecord record;
    while (cursor.Peek(record) && record.type == JournalRecordType::Info) {
        info[record.text] = record.text2;
        cursor.Take();
    }
    recordedFrequency = std::strtoull(JournalInfo("counter-frequency").c_str(), nullptr, 10);
    if (recordedFrequency == 0) {
        error = std::string(path) + ": the journal's header is missing or damaged";
        return false;
    }
    settings = wanted;
    dataJournaled = image.version >= 2;
    mode = JournalMode::Replay;
    mainThread = std::this_thread::get_id();
    paceStart = PlatformCounter();
    return true;
}

JournalMode JournalCurrentMode() { return mode; }

std::string JournalInfo(const std::string& key) {
    auto found = info.find(key);
    return found == info.end() ? std::string() : found->second;
}

void JournalSetEndHandler(void (*end)()) { endHandler = end; }

void JournalScriptPass(bool running) { inScriptPass = running; }

// The last records of a recording, under the writer lock: the mark of an end
// a signal made outside the message pump, when it did, then the end itself.
static void CloseWithEnd(int exitCode, bool outsideEnd) {
    JournalRecord record;
    if (outsideEnd || inScriptPass) {
        record.type = JournalRecordType::Data;
        record.number = (int64_t)(outsideEnd ? JournalChannel::OutsideEnd : JournalChannel::ScriptEnd);
        writer.Add(record);
    }
    record.type = JournalRecordType::End;
    record.number = exitCode;
    record.poll = (uint64_t)framesShown;
    writer.Add(record);
    writer.Close();
}

int JournalFinish(int exitCode) {
    if (std::this_thread::get_id() != mainThread && mode == JournalMode::Replay) return exitCode;
    std::unique_lock<std::mutex> hold(writerLock);
    if (writer.IsOpen()) {
        // A signal the message pump did not take ended the run (in a wait, at
        // a binding's entry, in the interpreter's hook): the replay is sent
        // the same signal at the same point.
        CloseWithEnd(exitCode, PlatformEndRequested());
        mode = JournalMode::Off;
        return exitCode;
    }
    if (mode == JournalMode::Replay || replayStopped || replayComplete) {
        mode = JournalMode::Off;
        if (replayComplete) return (int)recordedExitCode;
        if (replayStopped) return 3;
        JournalRecord record;
        TakeScriptEnd();
        if (cursor.Peek(record) && record.type == JournalRecordType::End) return (int)record.number;
        std::fprintf(stderr, "revev: the replay ended at frame %ld, before the recording did\n", framesShown);
        return 3;
    }
    return exitCode;
}

int JournalFinishFromWatchdog(int exitCode) {
    // The main thread holds the writer only for a moment unless the disk is
    // stuck; then the blocks written so far are what is kept.
    std::unique_lock<std::mutex> hold(writerLock, std::defer_lock);
    for (int i = 0; i < 50 && !hold.try_lock(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(4));
    if (hold.owns_lock() && writer.IsOpen()) {
        CloseWithEnd(exitCode, true);
        return exitCode;
    }
    if (replayComplete) return (int)recordedExitCode;
    if (replayStopped) return 3;
    if (mode == JournalMode::Replay) {
        std::fprintf(stderr, "revev: the replay ended at frame %ld, before the recording did\n", framesShown);
        return 3;
    }
    return exitCode;
}

// ---------------------------------------------------------------------------
// Public: readings

uint64_t JournalCounterFrequency(uint64_t live) {
    return mode == JournalMode::Replay ? recordedFrequency : live;
}

uint64_t JournalCounter(uint64_t live) {
    if (!Active()) return live;
    JournalRecord record;
    if (mode == JournalMode::Record) {
        record.type = JournalRecordType::Clock;
        record.number = (int64_t)(live - lastCounter);
        lastCounter = live;
        Add(record);
        return live;
    }
    if (!Expect(JournalRecordType::Clock, record, "clock reading")) return live;
    lastCounter += (uint64_t)record.number;
    if (!counterSeen) {
        firstCounter = lastCounter;
        counterSeen = true;
    }
    return lastCounter;
}

uint32_t JournalSeed(uint32_t live) {
    if (!Active()) return live;
    JournalRecord record;
    if (mode == JournalMode::Record) {
        record.type = JournalRecordType::Seed;
        record.number = live;
        Add(record);
        return live;
    }
    if (!Expect(JournalRecordType::Seed, record, "random seed")) return live;
    return (uint32_t)record.number;
}

bool JournalData(JournalChannel channel, std::string& bytes) {
    if (!Active() || !dataJournaled) return mode != JournalMode::Replay;
    JournalRecord record;
    if (mode == JournalMode::Record) {
        record.type = JournalRecordType::Data;
        record.number = (int)channel;
        record.text = bytes;
        Add(record);
        return true;
    }
    if (!Expect(JournalRecordType::Data, record, "piece of outside data")) return false;
    if (record.number != (int)channel) {
        StopReplay("the run asked for outside data of another kind than the recording received here (the run "
                   "no longer matches the journal)");
        return false;
    }
    bytes = record.text;
    return true;
}

bool JournalData(JournalChannel channel, JournalBytes& bytes) {
    if (!Active()) return mode != JournalMode::Replay;
    if (mode == JournalMode::Replay) bytes = JournalBytes();
    return JournalData(channel, bytes.Bytes());
}

bool JournalReplayed(JournalChannel channel, JournalBytes& bytes) {
    if (!JournalReplaying()) return false;
    JournalData(channel, bytes);
    return true;
}

void JournalKeep(JournalChannel channel, JournalBytes& bytes) {
    if (JournalRecording()) JournalData(channel, bytes);
}

void JournalDataUnreadable() {
    if (mode == JournalMode::Replay) StopReplay("the journal holds outside data that does not decode");
}

bool JournalRecording() { return mode == JournalMode::Record && Active(); }
bool JournalReplaying() { return mode == JournalMode::Replay && dataJournaled && Active(); }

JournalQuiet::JournalQuiet() {
    if (std::this_thread::get_id() == mainThread) ++quietDepth;
}
JournalQuiet::~JournalQuiet() {
    if (std::this_thread::get_id() == mainThread && quietDepth > 0) --quietDepth;
}

static void NoteFile(const std::string& name, int64_t liveSize, uint64_t liveHash);

void JournalFileRead(const std::string& name, const void* data, size_t size) {
    if (!Active()) return;
    NoteFile(name, data ? (int64_t)size : -1, data ? JournalHash(data, size) : 0);
}

static void NoteFile(const std::string& name, int64_t liveSize, uint64_t liveHash) {
    JournalRecord record;
    if (mode == JournalMode::Record) {
        record.type = JournalRecordType::File;
        // As long a name as the reader takes.
        record.text = name.substr(0, 4096);
        record.number = liveSize;
        record.hash = liveHash;
        Add(record);
        return;
    }
    if (!Expect(JournalRecordType::File, record, "file read")) return;
    if ((record.number != liveSize || record.hash != liveHash) && filesWarned.insert(name).second) {
        std::fprintf(stderr, "revev: replay: %s differs from the file the recording read (%lld bytes then, %lld now)\n",
                     name.c_str(), (long long)record.number, (long long)liveSize);
    }
}

void JournalFileOpened(const char* name, int fd) {
    if (!Active() || !dataJournaled || !name) return;
    if (fd < 0) {
        JournalFileRead(name, nullptr, 0);
        return;
    }
    struct stat status;
    if (fstat(fd, &status) != 0) return;
    int64_t modified = (int64_t)status.st_mtim.tv_sec * 1000000000 + status.st_mtim.tv_nsec;
    HashedFile& known = hashedFiles[name];
    if (known.size != (int64_t)status.st_size || known.modified != modified) {
        // Read with pread, which leaves the file's position where the
        // opener has it.
        uint64_t hash = kJournalHashStart;
        char buffer[65536];
        off_t at = 0;
        for (;;) {
            ssize_t n = pread(fd, buffer, sizeof buffer, at);
            if (n < 0) return;
            if (n == 0) break;
            hash = JournalHashMore(hash, buffer, (size_t)n);
            at += n;
        }
        known.size = (int64_t)at;
        known.modified = modified;
        known.hash = hash;
    }
    NoteFile(name, known.size, known.hash);
}

// ---------------------------------------------------------------------------
// Public: frames

void JournalHoldFetches(bool held) {
    if (fetchesHeld && !held) ++fetchCount;
    fetchesHeld = held;
}

JournalFrameStep JournalFrameEnd() {
    if (!Active()) return JournalFrameStep::Go;
    JournalRecord record;
    if (mode == JournalMode::Record) {
        record.type = JournalRecordType::Frame;
        Add(record);
        ++framesShown;
        std::lock_guard<std::mutex> hold(writerLock);
        writer.EndBlockIfDue(false);
        return JournalFrameStep::Go;
    }
    if (!Expect(JournalRecordType::Frame, record, "end of frame")) return JournalFrameStep::End;
    ++framesShown;
    if (cursor.Peek(record) && record.type == JournalRecordType::End) {
        replayComplete = true;
        recordedExitCode = record.number;
        mode = JournalMode::Off;
        return JournalFrameStep::End;
    }
    if (settings.untilFrame > 0 && framesShown >= settings.untilFrame) {
        replayComplete = true;
        recordedExitCode = 0;
        mode = JournalMode::Off;
        return JournalFrameStep::Hold;
    }
    if (!cursor.Peek(record)) {
        std::fprintf(stderr, "revev: replay stopped after frame %ld: %s\n", framesShown, RunOutReason().c_str());
        replayStopped = true;
        mode = JournalMode::Off;
        return JournalFrameStep::End;
    }
    return JournalFrameStep::Go;
}

void JournalPace() {
    if (mode != JournalMode::Replay || settings.speed <= 0 || !counterSeen) return;
    double due = (double)(lastCounter - firstCounter) / (double)recordedFrequency / settings.speed;
    uint64_t frequency = PlatformCounterFrequency();
    if (frequency == 0) return;
    for (;;) {
        double elapsed = (double)(PlatformCounter() - paceStart) / (double)frequency;
        double left = due - elapsed;
        if (left <= 0) return;
        PlatformSleepMicroseconds((int64_t)(std::min(left, 0.05) * 1e6));
    }
}

long JournalFramesShown() { return framesShown; }
