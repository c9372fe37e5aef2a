// Running other programs: the command line split into words by the quoting
// rules of a command line (no shell sees it), started, and optionally waited for.
#include "core/engine.h"
#include "platform/journal.h"

#include <string>
#include <vector>

// ---------------------------------------------------------------------------
// Public

bool SplitCommandLine(const char* line, std::vector<std::string>& words) {
    words.clear();
    if (!line) return true;
    std::string word;
    bool inWord = false;
    const char* p = line;
    while (*p) {
        char c = *p;
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            if (inWord) words.push_back(word);
            word.clear();
            inWord = false;
            ++p;
        } else if (c == '\'') {
            inWord = true;
            ++p;
            while (*p && *p != '\'') word += *p++;
            if (!*p) return false;
            ++p;
        } else if (c == '"') {
            inWord = true;
            ++p;
            while (*p && *p != '"') {
                // Inside double quotes only a quote, a backslash and a dollar
                // are escaped; any other backslash stands for itself.
                if (*p == '\\' && (p[1] == '"' || p[1] == '\\' || p[1] == '$')) ++p;
                word += *p++;
            }
            if (!*p) return false;
            ++p;
        } else if (c == '\\') {
            inWord = true;
            if (!p[1]) return false;
            word += p[1];
            p += 2;
        } else {
            inWord = true;
            word += c;
            ++p;
        }
    }
    if (inWord) words.push_back(word);
    return true;
}

static double RunLive(const RuntimeString& commandLine, double wait, double& exitCode) {
    exitCode = 0;
    std::vector<std::string> words;
    if (!SplitCommandLine(commandLine.Text(), words) || words.empty()) return 0.0;
    int64_t process = PlatformSpawnProcess(words);
    if (process <= 0) return 0.0;
    if (wait == 0.0) {
        PlatformReleaseProcess(process);
        return 1.0;
    }
    int code = 0;
    // An end request (SIGTERM, Ctrl+C) ends this program through its end path
    // at once, so what it keeps is saved; the started program goes on, as
    // programs a person starts do.
    if (!PlatformWaitProcess(process, code) && PlatformEndRequested()) EndProgram();
    exitCode = code;
    return 1.0;
}

// What a started program answered is outside data: a replay starts nothing
// and hands back the recording's result and exit code.
double RunProgram(const RuntimeString& commandLine, double wait, double show, double& exitCode) {
    // Programs here have no window of their own to show or hide, so `show`
    // changes nothing.
    (void)show;
    JournalBytes data;
    if (JournalReplayed(JournalChannel::Program, data)) {
        double result = JournalBitsDouble(data.TakeInt());
        exitCode = JournalBitsDouble(data.TakeInt());
        if (data.Failed()) JournalDataUnreadable();
        return result;
    }
    double result;
    {
        JournalQuiet quiet;
        result = RunLive(commandLine, wait, exitCode);
    }
    data.Int(JournalDoubleBits(result)).Int(JournalDoubleBits(exitCode));
    JournalKeep(JournalChannel::Program, data);
    return result;
}
