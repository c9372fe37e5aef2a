// Load failures on stderr: the reason a reader noted, the name the command
// was given, and the script's place from the front, once per name and command.
#include "core/engine.h"

#include <cstdio>
#include <set>
#include <string>

// ---------------------------------------------------------------------------
// State

static const char* notedReason = nullptr;
static bool (*contextOf)(std::string& command, std::string& where) = nullptr;
static std::set<std::string> reported;

// A script that tries ever new names must not grow the set without end; past
// this many lines nothing more is written.
static const size_t kMostReports = 1000;

// ---------------------------------------------------------------------------
// Public

void BeginLoad() { notedReason = nullptr; }

void NoteLoadFailure(const char* reason) {
    if (!notedReason) notedReason = reason;
}

void ReportLoadFailure(const char* name) {
    const char* reason = notedReason ? notedReason : "cannot be read";
    notedReason = nullptr;
    if (!name) name = "";
    std::string command, where;
    if (contextOf && !contextOf(command, where)) {
        command.clear();
        where.clear();
    }
    if (reported.size() >= kMostReports) return;
    if (!reported.insert(std::string(name) + '\n' + command).second) return;
    std::string line = std::string("revev: ") + (*name ? name : "\"\"") + ": " + reason;
    if (!command.empty()) line += " (" + command + (where.empty() ? "" : ", " + where) + ")";
    line += '\n';
    std::fputs(line.c_str(), stderr);
}

void SetLoadFailureContext(bool (*context)(std::string& command, std::string& where)) { contextOf = context; }
