// Configuration files: sections of key=value entries loaded whole into an
// IniFile, read and changed in memory, written back when changed. The script
// commands work on one process-wide object; other parts of the runtime (the
// 3D scene files) load their own.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

#include "strings/runtime_string.h"

// ---------------------------------------------------------------------------
// Types

struct IniEntry {
    RuntimeString key;
    RuntimeString value;
};

struct IniSection {
    RuntimeString name;
    std::vector<IniEntry> entries;
};

struct IniFile {
    std::vector<IniSection> sections;  // in file order
    RuntimeString iniPath;             // where the object saves to (absolute)
    uint8_t modified = 0;
};

// ---------------------------------------------------------------------------
// Operations on any object

// Replaces the object's contents with the file `name`, found through the data
// archive. The object saves to `name` on disk taken from the current
// directory at this call, also when it came from the archive (whose temporary
// copy is deleted once read). A missing or unreadable file leaves the object
// empty; a name longer than the resolver takes leaves it empty with no path,
// so it is never saved.
void IniLoad(IniFile& ini, const char* name);
// Parses an open file into the object (sections and entries only; neither the
// path nor `modified` is touched). Reads until a line yields nothing.
void IniLoadFromFile(IniFile& ini, FILE* file);
// Writes the object to `iniPath` when it is modified and has a path:
// "[name]" lines, then "key=value" lines, each ended by "\r\n". The file is
// replaced whole or not at all; a failure leaves the old file as it was and
// appends one line to the error log. `modified` stays set.
void IniSave(IniFile& ini);
// The value of `key` in `section` (both without regard to the case of A-Z),
// from the first section and the first entry that match; "NO_DATA" otherwise.
RuntimeString IniGet(const IniFile& ini, const char* section, const char* key);

// ---------------------------------------------------------------------------
// Script commands on the process-wide object

// Saves the process-wide object if modified, then loads `name` into it.
void IniOpen(const char* name);
RuntimeString IniGetValue(const char* section, const char* key);
// An empty key removes the whole section (without marking a change); an empty
// value removes the entry (or adds "key=" when it is new); otherwise the value
// is set or added. A removed element's place is taken by the last one.
void IniPutValue(const char* section, const char* key, const char* value);
// The process-wide object (for tests and the exit handler).
IniFile& ProcessIniFile();
// Saves the process-wide object if modified (program exit).
void IniSaveAtExit();
