// Record and replay of a run: the journal started before start-up, and the
// frame routine's part in it (marking frames, ending or holding a replay).
#include <cstdio>

#include "core/core_internal.h"
#include "platform/journal.h"

// ---------------------------------------------------------------------------
// State

static bool endAtUntilFrame = false;

// ---------------------------------------------------------------------------
// Internal helpers

// The replay can go no further, or the recording ended here: an ordinary end.
[[noreturn]] static void EndReplay() {
    engine.errorNumber = 0;
    engine.errorLine = engine.currentLine;
    EndProgram();
}

static bool ReadFile(const std::string& path, std::string& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, n);
    std::fclose(file);
    return true;
}

// The script is read every frame; it is noted once, at the start.
static void NoteScript(const std::string& script) {
    // A relative name is the program's own: start-up moves there.
    std::string path = script;
    if (path.empty() || path[0] != '/') {
        std::string program = PlatformProgramPath();
        path = program.substr(0, program.rfind('/') + 1) + path;
    }
    std::string bytes;
    bool found = ReadFile(path, bytes);
    JournalFileRead(script, found ? bytes.data() : nullptr, bytes.size());
}

// ---------------------------------------------------------------------------
// Public

bool BeginRecording(const std::string& journal, const std::string& script, const std::string& arguments,
                    std::string& error) {
    if (!JournalStartRecording(journal.c_str(), {{"program", "ReVev"}, {"script", script}, {"arguments", arguments}},
                               error))
        return false;
    NoteScript(script);
    return true;
}

bool BeginReplay(const std::string& journal, std::string& script, double speed, long untilFrame, bool endAtUntil,
                 std::string& error) {
    JournalReplaySettings settings;
    settings.speed = speed;
    settings.untilFrame = untilFrame;
    if (!JournalStartReplay(journal.c_str(), settings, error)) return false;
    endAtUntilFrame = endAtUntil;
    JournalSetEndHandler(EndReplay);
    if (script.empty()) script = JournalInfo("script");
    NoteScript(script);
    return true;
}

void JournalFrameShown() {
    switch (JournalFrameEnd()) {
    case JournalFrameStep::Go:
        return;
    case JournalFrameStep::End:
        EndReplay();
    case JournalFrameStep::Hold:
        if (!endAtUntilFrame) JournalWaitWhileHeld();
        EndReplay();
    }
}
