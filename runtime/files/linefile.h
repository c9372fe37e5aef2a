// Line files and directory listing. A line file is a text file held in memory
// as up to 256 lines of up to 1023 bytes, addressed by number; one is held at
// a time and written back when it was changed and another file is asked for,
// or at program exit.
#pragma once

#include <cstdint>

#include "strings/runtime_string.h"

class TextArray;

// ---------------------------------------------------------------------------
// Types

constexpr int kLineFileLines = 256;
constexpr int kLineFileWidth = 1024;

struct LineFile {
    char name[kLineFileWidth];                    // empty when no file is held
    char lines[kLineFileLines][kLineFileWidth];   // zero-filled
    int32_t lastLine;                             // highest line number in use
    uint8_t modified;
};

// ---------------------------------------------------------------------------
// Line files
//
// Every command first makes `name` the held file (writing the old one back if
// it was changed). A line number is truncated toward zero; outside 0..255 it
// records error number 7 in `engine.errorNumber` without ending the program.

// The line's text with trailing bytes below 32 removed ("NO_DATA" when
// nothing remains) in `text`; returns 0. A bad line number gives "NO_DATA"
// and 7; a file that cannot be loaded gives "NO_FILE" and 3 (and records 3).
// A name of 1024 bytes or more cannot be held and counts as not loadable.
double LineFileGet(const char* name, double line, RuntimeString& text);
// The line read as a number (text-to-number rule; "NO_DATA" reads as 0).
double LineFileGetNumber(const char* name, double line, double& value);
// Stores text (cut to 1023 bytes) as the line; a missing file is created when
// written back. A name that cannot be held is ignored.
void LineFilePut(const char* name, double line, const char* text);
// Stores the number's text (10 significant digits, no trailing point).
void LineFilePutNumber(const char* name, double line, double value);
// Writes the held file back if it was changed, to its name taken from the
// directory current when it was loaded: the lines put, each ended by "\r\n",
// up to lastLine; every other line, and whatever lies past the lines read,
// byte for byte as in the file. The file is replaced whole or not at all: a
// failure leaves it as it was, keeps the change in memory and appends one
// line to the error log.
void LineFileWriteBack();
// The process-wide object (for tests).
const LineFile& ProcessLineFile();

// ---------------------------------------------------------------------------
// Directory listing

// Wildcard match: * any run (also none), ? any one character except ".",
// letters compared without case.
bool WildcardMatch(const char* pattern, const char* name);
// Lists the current directory into `names`: every directory (with "." and
// ".." first), then the files matching `pattern`. Returns directories x 65536
// + files.
double DirectoryList(const char* pattern, TextArray& names);
